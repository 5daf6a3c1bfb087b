#!/usr/bin/env python3
"""Converts X12 files to CSV or JSON Lines, or checks them, on a Dask cluster: one task a file.

    claims_to_csv.py claims/ --output-dir out/               # on a local cluster
    claims_to_csv.py 'claims/**/*.837' --output-dir /shared/out --scheduler tcp://host:8786
    claims_to_csv.py claims/ --check                          # the findings, no files written

Each input gives one output file in the output folder, named after it: claims.edi gives
claims.edi.csv, exactly what `kelvane --dump-csv claims.edi` prints (or claims.edi.jsonl, the
line `kelvane --dump-json` prints for it among several files). A file is never split, however
large. On a cluster of several machines the workers read the inputs and write the outputs
themselves, so both folders must be at the same paths on every machine (a shared file system),
and every worker needs the kelvane module (the Debian package kelvane installs it).

A file that cannot be read or parsed is reported and the others go on, as is one whose output
would replace that of an earlier file of the run (claims.edi in two folders); the run ends with a
table of what was done. The exit status is 1 when a file failed, 3 when --check found findings.
"""

import argparse
import glob
import os
import sys
import time

SUFFIXES = {"csv": ".csv", "jsonl": ".jsonl"}


def input_files(inputs):
    """The files named: a folder's files (not its subfolders'), a glob's matches, or a path as it
    is, even a missing one, so that it is reported rather than dropped."""
    files = []
    for name in inputs:
        if os.path.isdir(name):
            files += sorted(
                entry.path for entry in os.scandir(name) if entry.is_file())
        elif glob.has_magic(name):
            files += sorted(path for path in glob.glob(name, recursive=True)
                            if os.path.isfile(path))
        else:
            files.append(name)
    return files


def output_path(path, output_dir, mode):
    return os.path.join(output_dir, os.path.basename(path) + SUFFIXES[mode])


def process_file(path, mode, output_dir):
    """One task, run on a worker: reads and parses one file, and writes its output or collects
    its findings. Never raises for a file's sake: the failure is in the result."""
    import kelvane

    start = time.perf_counter()
    result = {"path": path, "ok": False, "segments": 0, "bytes": 0,
              "findings": [], "error": None}
    try:
        document = kelvane.read(path)
        result["segments"] = len(document.segments)
        if mode == "check":
            result["findings"] = [tuple(finding) for finding in document.findings]
        else:
            target = output_path(path, output_dir, mode)
            # Written aside and renamed, so that an output is whole or absent; streamed from the
            # document, never held whole in memory.
            partial = target + ".part"
            with open(partial, "wb") as out:
                if mode == "csv":
                    document.write_csv(out)
                else:
                    document.write_json(out, one_line=True)
            os.replace(partial, target)
            result["bytes"] = os.path.getsize(target)
        result["ok"] = True
    except (OSError, ValueError, MemoryError) as error:  # ParseError is a ValueError
        result["error"] = f"{type(error).__name__}: {error}"
    result["seconds"] = time.perf_counter() - start
    return result


def failure(path, error):
    return {"path": path, "ok": False, "segments": 0, "bytes": 0, "findings": [],
            "seconds": 0.0, "error": error}


def refused_names(files, mode, output_dir):
    """The files whose output would replace that of an earlier file of the run (claims.edi in two
    folders, or one file named twice), each with its reason: they are not converted."""
    refused = {}
    if mode == "check":
        return refused
    first = {}
    for path in files:
        target = output_path(path, output_dir, mode)
        if target in first:
            refused[path] = f"its output {target} would replace that of {first[target]}"
        else:
            first[target] = path
    return refused


def run(client, files, mode, output_dir, show_progress=True):
    """Submits a task a file and waits for them all; the results in the order of `files`."""
    from dask.distributed import progress, wait

    refused = refused_names(files, mode, output_dir)
    todo = [(i, path) for i, path in enumerate(files) if path not in refused]
    futures = client.map(process_file, [path for _, path in todo], mode=mode,
                         output_dir=output_dir, key=[f"kelvane-{mode}-{i}" for i, _ in todo])
    if show_progress:
        progress(futures)
    else:
        wait(futures)
    done = {}
    for (i, path), future in zip(todo, futures):
        if future.status == "finished":
            done[i] = future.result()
        else:  # the task itself failed: a worker died, or the module is missing on it
            done[i] = failure(path, f"task failed: {future.exception()!r}")
    return [done[i] if i in done else failure(path, refused[path])
            for i, path in enumerate(files)]


def summary(results, mode, wall_seconds):
    """The table printed at the end, as lines."""
    failed = [r for r in results if not r["ok"]]
    lines = []
    if mode == "check":
        with_findings = [r for r in results if r["findings"]]
        if with_findings:
            lines.append(f"{'File':<40} {'Errors':>8} {'Warnings':>8}")
            for r in with_findings:
                errors = sum(1 for f in r["findings"] if f[0] == "error")
                lines.append(f"{os.path.basename(r['path']):<40} {errors:>8} "
                             f"{len(r['findings']) - errors:>8}")
            lines.append("")
    for r in failed:
        lines.append(f"failed: {r['path']}: {r['error']}")
    if failed:
        lines.append("")
    done = len(results) - len(failed)
    segments = sum(r["segments"] for r in results)
    megabytes = sum(r["bytes"] for r in results) / 1e6
    task_seconds = sum(r["seconds"] for r in results)
    findings = sum(len(r["findings"]) for r in results)
    header = ["Files", "Done", "Failed", "Segments"]
    row = [len(results), done, len(failed), segments]
    if mode == "check":
        header.append("Findings")
        row.append(findings)
    else:
        header.append("Output MB")
        row.append(f"{megabytes:.1f}")
    header += ["Task s", "Wall s"]
    row += [f"{task_seconds:.2f}", f"{wall_seconds:.2f}"]
    widths = [max(len(str(h)), len(str(v))) for h, v in zip(header, row)]
    lines.append("  ".join(f"{h:>{w}}" for h, w in zip(header, widths)))
    lines.append("  ".join(f"{v:>{w}}" for v, w in zip(row, widths)))
    return lines


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Convert or check X12 files on a Dask cluster, one task a file.")
    parser.add_argument("inputs", nargs="+", metavar="INPUT",
                        help="a file, a folder, or a glob such as 'claims/**/*.837'")
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help="a Dask scheduler, such as tcp://host:8786; "
                             "by default a cluster on this machine")
    parser.add_argument("--workers", type=int, default=os.cpu_count(),
                        help="worker processes of the local cluster (default: one a core)")
    output = parser.add_mutually_exclusive_group()
    output.add_argument("--jsonl", action="store_const", dest="mode", const="jsonl",
                        help="write JSON Lines, as kelvane --dump-json does, instead of CSV")
    output.add_argument("--check", action="store_const", dest="mode", const="check",
                        help="write nothing: collect each file's findings")
    parser.add_argument("--output-dir", default=".", metavar="DIR",
                        help="where the outputs go (default: the current folder)")
    parser.add_argument("--quiet", action="store_true", help="no progress bar")
    args = parser.parse_args(argv)
    mode = args.mode or "csv"

    files = input_files(args.inputs)
    if not files:
        parser.error("no files match")
    output_dir = os.path.abspath(args.output_dir)
    if mode != "check":
        os.makedirs(output_dir, exist_ok=True)
    # Workers elsewhere resolve paths themselves: hand them absolute ones.
    files = [os.path.abspath(path) for path in files]

    from dask.distributed import Client, LocalCluster

    cluster = None
    if args.scheduler:
        client = Client(args.scheduler)
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1,
                               processes=True, dashboard_address=None)
        client = Client(cluster)
    try:
        start = time.perf_counter()
        results = run(client, files, mode, output_dir, show_progress=not args.quiet)
        wall = time.perf_counter() - start
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    if not args.quiet:
        print()
    print("\n".join(summary(results, mode, wall)))
    if any(not r["ok"] for r in results):
        return 1
    if any(r["findings"] for r in results):
        return 3
    return 0


if __name__ == "__main__":
    sys.exit(main())
