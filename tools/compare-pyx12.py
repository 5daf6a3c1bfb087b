#!/usr/bin/env python3
"""Compares the errors of `kelvane --check` with those of pyx12's validator.

A developer's check, not a test: for each X12 file it runs pyx12 (a copy of
https://github.com/azoner/pyx12, BSD licence, run as a separate Python) and
`kelvane --check`, places every error of each at a segment of the file, and
prints where both report, where only pyx12 does and where only Kelvane does.
Warnings do not count, on either side.

    tools/compare-pyx12.py [--kelvane PATH] [--pyx12 DIR] [FILE...]

Without FILE it takes every file of tests/data and of ../shared/samples.

Segment numbers count the segments of the file from 1 (ISA is segment 1),
as Kelvane prints them. pyx12 counts the same way ("Line:" in its log is that
count, across every interchange of the file), but it logs an error found at a
trailer (IEA, GE, SE count or control number) at the line of the header that
opened the envelope; this script places such an error at the trailer, where
pyx12 found it, and an envelope left open at the end of the file at its
header. pyx12 is not run through x12valid, which would write a 997/999 beside
the file: a small driver calls pyx12's validator and records each error as it
is raised, with its code and the segment it was raised at.

An error is a (segment, kind) pair. The kind is "envelope" for any error at
ISA, IEA, GS, GE, ST or SE, "element" for an error about one element or
component (pyx12's element errors and its HL01/HL02/LX01 numbering errors;
a Kelvane message that begins with an element reference of its segment, as
in `CLM05-1 "AA" is not ...`), and "segment" otherwise. With --by-segment
only the segment number is compared. The counts of agreed, pyx12-only and
Kelvane-only findings count such pairs, not messages; each pyx12 message is
shown with pyx12's own code (seg:3 is its IK304 3, ele:7 its IK403 7, st:4,
gs:6, isa:023 its envelope codes).

pyx12 cannot run on every file: it has no map for some guides (it stops at
the first GS whose GS08 it does not know), knows only ISA12 00401 and 00501,
and refuses a file that does not begin with a 106-character ISA (a line
break inside the ISA is enough). Such files are listed apart and kept out of
the totals. pyx12 opens files as ASCII; this script hands it the text
instead, without a UTF-8 byte-order mark and decoded as UTF-8 or else
Latin-1 (--strict-ascii lets pyx12 open the file itself). It also stops
reading, without an error, at an empty segment (two segment terminators in a
row) and at text after the last terminator, and it splits the whole file
with the delimiters of its first ISA. When what pyx12 read does not line up
with Kelvane's segments, the file's result says from which segment on, and
the errors from there on are not compared.

Exit status: 0 when every compared file agrees, 1 when some do not, 2 when
the script could not run.
"""

import argparse
import concurrent.futures
import hashlib
import json
import os
import re
import subprocess
import sys

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_DIRS = [os.path.join(REPO, "tests", "data"),
                os.path.normpath(os.path.join(REPO, "..", "shared", "samples"))]
ENVELOPE = {"ISA", "IEA", "GS", "GE", "ST", "SE"}

# Runs inside pyx12's Python: validates argv[1] and prints one JSON object.
# The error handler's methods are wrapped so that each error is recorded with
# the line pyx12 logs and the segment being read when it was raised.
DRIVER = r'''
import io, json, logging, sys
import pyx12.error_handler, pyx12.errors, pyx12.params, pyx12.x12file, pyx12.x12n_document

out = sys.stdout
sys.stdout = sys.stderr
errors, tags, readers = [], {}, []
state = {"refusal": None, "eof": False}
log = logging.getLogger("pyx12")
log.addHandler(logging.NullHandler())
log.propagate = False


def reading():
    if state["eof"] or not readers:
        return None
    return readers[-1].get_cur_line()


H = pyx12.error_handler.err_handler


def envelope(kind, attr):
    original = getattr(H, kind + "_error")

    def wrapped(self, code, text):
        node = getattr(self, attr)
        line = node.get_cur_line() if node is not None else None
        at = reading()
        errors.append({"kind": kind, "code": code, "message": text, "line": line,
                       "segment": at if at is not None else line})
        original(self, code, text)
    setattr(H, kind + "_error", wrapped)


for kind, attr in (("isa", "cur_isa_node"), ("gs", "cur_gs_node"), ("st", "cur_st_node")):
    envelope(kind, attr)

seg_error = H.seg_error


def wrapped_seg_error(self, code, text, value=None, src_line=None):
    seg_error(self, code, text, value, src_line)
    line = src_line or (self.cur_seg_node.get_cur_line() if self.cur_seg_node is not None else None)
    errors.append({"kind": "seg", "code": code, "message": text, "value": value,
                   "line": line, "segment": line})


H.seg_error = wrapped_seg_error
ele_error = H.ele_error


def wrapped_ele_error(self, code, text, value, refdes=None):
    ele_error(self, code, text, value, refdes)
    line = self.cur_seg_node.get_cur_line()
    errors.append({"kind": "ele", "code": code, "message": text, "value": value,
                   "element": refdes, "line": line, "segment": line})


H.ele_error = wrapped_ele_error

R = pyx12.x12file.X12Reader
reader_init, reader_close, reader_cleanup = R.__init__, R.close, R.cleanup


def init(self, *args, **kwargs):
    try:
        reader_init(self, *args, **kwargs)
    except pyx12.errors.X12Error as e:
        state["refusal"] = str(e)
        raise
    self.rest = ""
    readers.append(self)


def close(self):
    if not self.fd_in.closed:
        self.rest = self.raw.buffer + self.fd_in.read()
    reader_close(self)


def cleanup(self):
    state["eof"] = True
    reader_cleanup(self)


R.__init__, R.close, R.cleanup = init, close, cleanup


def seen(seg, src, node, valid):
    tags[src.get_cur_line()] = seg.get_seg_id()


result = {"status": "ok"}
source = sys.argv[1]
if sys.argv[2] == "decode":
    with open(source, "rb") as f:
        data = f.read()
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
        result["read_as"] = "UTF-8 without its byte-order mark"
    try:
        source = io.StringIO(data.decode("ascii"), newline="")
    except UnicodeDecodeError:
        try:
            source = io.StringIO(data.decode("utf-8"), newline="")
            result["read_as"] = "UTF-8"
        except UnicodeDecodeError:
            source = io.StringIO(data.decode("latin-1"), newline="")
            result["read_as"] = "Latin-1"
param = pyx12.params.params(None)
param.set("exclude_external_codes", "")
try:
    pyx12.x12n_document.x12n_document(param=param, src_file=source, fd_997=None,
                                      fd_html=None, fd_xmldoc=None, callback=seen)
    if state["refusal"] is not None:
        result.update(status="refused", reason=state["refusal"])
except UnicodeDecodeError as e:
    result.update(status="not ascii", reason=str(e))
except pyx12.errors.EngineError as e:
    if str(e).startswith("Map not found"):
        result.update(status="map not found", reason=str(e))
    else:
        result.update(status="crashed", reason="EngineError: %s" % e)
except pyx12.errors.X12Error as e:
    result.update(status="refused", reason=state["refusal"] or str(e))
except Exception as e:
    result.update(status="crashed", reason="%s: %s" % (type(e).__name__, e))
if readers and not readers[-1].fd_in.closed:
    readers[-1].close()
result["errors"] = errors
result["tags"] = [tags.get(i, "") for i in range(1, max(tags) + 1)] if tags else []
result["unread"] = readers[-1].rest.strip()[:60] if readers else ""
out.write(json.dumps(result))
'''

KELVANE_LINE = re.compile(r"^segment (\d+) \((.*?)\)(?: loop ([^:]*?))?: (error|warning): (.*)$")


def error_class(tag, kind, code, message):
    """The coarse kind an error is compared by: envelope, segment or element."""
    if tag in ENVELOPE:
        return "envelope"
    if kind == "ele" or (kind == "seg" and code in ("HL1", "HL2", "LX")):
        return "element"
    if kind == "kelvane" and re.match(re.escape(tag) + r"\d\d(?!\d)", message):
        return "element"
    return "segment"


def run_pyx12(args, path):
    env = dict(os.environ, PYTHONPATH=args.pyx12, PYTHONDONTWRITEBYTECODE="1")
    try:
        reading = "own" if args.strict_ascii else "decode"
        done = subprocess.run([args.python, "-c", DRIVER, os.path.abspath(path), reading],
                              cwd=args.pyx12, env=env, capture_output=True, text=True,
                              timeout=args.timeout)
    except subprocess.TimeoutExpired:
        return {"status": "timed out", "reason": "no result after %d s" % args.timeout}
    try:
        return json.loads(done.stdout)
    except ValueError:
        tail = (done.stderr.strip().splitlines() or ["no output"])[-1]
        return {"status": "crashed", "reason": tail}


def run_kelvane(args, path):
    """Kelvane's errors and the tag of each segment as it numbers them."""
    try:
        check = subprocess.run([args.kelvane, "--check", "--", path], capture_output=True,
                               text=True, errors="replace", timeout=args.timeout)
        dump = subprocess.run([args.kelvane, "--dump-json", "--", path], capture_output=True,
                              text=True, errors="replace", timeout=args.timeout)
    except subprocess.TimeoutExpired:
        return {"status": "timed out", "errors": [], "tags": []}
    if check.returncode not in (0, 3):
        tail = (check.stderr.strip().splitlines() or ["status %d" % check.returncode])[-1]
        return {"status": "failed", "reason": tail, "errors": [], "tags": []}
    errors = []
    for line in (check.stdout + check.stderr).splitlines():
        m = KELVANE_LINE.match(line)
        if m and m.group(4) == "error":
            errors.append({"segment": int(m.group(1)), "tag": m.group(2), "loop": m.group(3),
                           "message": m.group(5)})
        elif not m and re.search(r"(^|: )error: ", line):
            errors.append({"segment": 0, "tag": "", "loop": None, "message": line})
    try:
        document = json.JSONDecoder().raw_decode(dump.stdout.lstrip())[0]
        tags = [s["tag"] for s in document["segments"]]
    except (ValueError, IndexError, KeyError, TypeError):
        tags = []
    return {"status": "ok", "errors": errors, "tags": tags}


def first_difference(a, b):
    """The first segment number at which two tag lists differ, or None."""
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i + 1
    return None if len(a) == len(b) else min(len(a), len(b)) + 1


def compare(args, path):
    py = run_pyx12(args, path)
    kv = run_kelvane(args, path)
    result = {"file": path, "pyx12": py["status"], "kelvane": kv["status"]}
    if py["status"] != "ok" or kv["status"] != "ok":
        result["reason"] = py.get("reason") if py["status"] != "ok" else kv.get("reason", "")
        result["pyx12_errors"] = len(py.get("errors", []))
        result["kelvane_errors"] = len(kv["errors"])
        return result
    # Past the first segment that the two read differently (or past the
    # end of what pyx12 read) the numbers do not name the same segments.
    limit = first_difference(py["tags"], kv["tags"]) if kv["tags"] else None
    beyond = {"pyx12": 0, "kelvane": 0}

    def key(segment, cls):
        return (segment,) if args.by_segment else (segment, cls)

    found = {"pyx12": {}, "kelvane": {}}
    for e in py["errors"]:
        seg = e["segment"] or 0
        if limit is not None and seg >= limit:
            beyond["pyx12"] += 1
            continue
        tag = py["tags"][seg - 1] if 0 < seg <= len(py["tags"]) else ""
        cls = error_class(tag, e["kind"], e["code"], e["message"])
        text = e["message"] + (" (%s)" % e["value"] if e.get("value") else "")
        found["pyx12"].setdefault(key(seg, cls), []).append(
            {"tool": "pyx12", "segment": seg, "tag": tag, "kind": "%s:%s" % (e["kind"], e["code"]),
             "class": cls, "line": e["line"], "message": text})
    for e in kv["errors"]:
        if limit is not None and e["segment"] >= limit:
            beyond["kelvane"] += 1
            continue
        cls = error_class(e["tag"], "kelvane", None, e["message"])
        found["kelvane"].setdefault(key(e["segment"], cls), []).append(
            {"tool": "kelvane", "segment": e["segment"], "tag": e["tag"], "kind": cls, "class": cls,
             "loop": e["loop"], "message": e["message"]})
    p, k = set(found["pyx12"]), set(found["kelvane"])
    result.update({
        "pyx12_errors": len(py["errors"]),
        "kelvane_errors": len(kv["errors"]),
        "segments": {"pyx12": len(py["tags"]), "kelvane": len(kv["tags"])},
        "both": [found["pyx12"][x] + found["kelvane"][x] for x in sorted(p & k)],
        "pyx12_only": [found["pyx12"][x] for x in sorted(p - k)],
        "kelvane_only": [found["kelvane"][x] for x in sorted(k - p)],
    })
    if limit is not None:
        result["numbering_differs_at"] = limit
        result["not_compared"] = beyond
    if py["unread"]:
        result["pyx12_unread"] = py["unread"]
    if py.get("read_as"):
        result["pyx12_read_as"] = py["read_as"]
    return result


def short(reason):
    reason = " ".join((reason or "").split())
    return reason if len(reason) <= 100 else reason[:97] + "..."


def print_file(r, only_disagreements):
    name = os.path.relpath(r["file"])
    if r["pyx12"] != "ok" or r["kelvane"] != "ok":
        who = "pyx12" if r["pyx12"] != "ok" else "kelvane"
        status = r["pyx12"] if who == "pyx12" else r["kelvane"]
        print("== %s: %s could not run (%s): %s; kelvane %d errors"
              % (name, who, status, short(r.get("reason")), r["kelvane_errors"]))
        return
    agrees = not r["pyx12_only"] and not r["kelvane_only"]
    if only_disagreements and agrees:
        return
    print("== %s: pyx12 %d errors, kelvane %d errors%s"
          % (name, r["pyx12_errors"], r["kelvane_errors"], "; they agree" if agrees else ""))
    if "pyx12_read_as" in r:
        print("   ! pyx12 was given the file decoded as %s" % r["pyx12_read_as"])
    if "pyx12_unread" in r:
        print("   ! pyx12 stopped reading before %r" % r["pyx12_unread"])
    if "numbering_differs_at" in r:
        print("   ! from segment %d on the two number segments differently (pyx12 read %d,"
              " kelvane %d): %d pyx12 and %d kelvane errors there are not compared"
              % (r["numbering_differs_at"], r["segments"]["pyx12"], r["segments"]["kelvane"],
                 r["not_compared"]["pyx12"], r["not_compared"]["kelvane"]))
    groups = [("pyx12 ", r["pyx12_only"]), ("kelvane", r["kelvane_only"])]
    if not only_disagreements:
        groups.insert(0, ("both   ", r["both"]))
    for label, items in groups:
        for errs in items:
            first = errs[0]
            where = "segment %d (%s)" % (first["segment"], first["tag"])
            if label.startswith("both"):
                kinds = sorted({e["kind"] for e in errs})
                print("   %s %s %s" % (label, where, " ".join(kinds)))
                continue
            for e in errs:
                print("   %s %s %s: %s" % (label, where, e["kind"], e["message"]))


def print_totals(results):
    compared = [r for r in results if r["pyx12"] == "ok" and r["kelvane"] == "ok"]
    skipped = [r for r in results if r not in compared]
    rows = [(os.path.relpath(r["file"]), r["pyx12_errors"], r["kelvane_errors"], len(r["both"]),
             len(r["pyx12_only"]), len(r["kelvane_only"])) for r in compared]
    total = ("total: %d files" % len(compared),) + tuple(sum(row[i] for row in rows)
                                                          for i in range(1, 6))
    width = max([len(row[0]) for row in rows + [total]] + [4])
    head = ("file", "pyx12", "kelvane", "agreed", "pyx12 only", "kelvane only")
    fmt = "%-" + str(width) + "s  %6s  %7s  %6s  %10s  %12s"
    print()
    print(fmt % head)
    for row in rows + [total]:
        print(fmt % row)
    if skipped:
        print()
        print("not compared (%d files):" % len(skipped))
        for r in skipped:
            who = "pyx12" if r["pyx12"] != "ok" else "kelvane"
            print("  %s: %s %s: %s"
                  % (os.path.relpath(r["file"]), who, r[who], short(r.get("reason"))))
    return total


def default_files():
    files = []
    for folder in DEFAULT_DIRS:
        if os.path.isdir(folder):
            files += [os.path.join(folder, n) for n in sorted(os.listdir(folder))
                      if os.path.isfile(os.path.join(folder, n))
                      and not n.startswith(".") and not n.endswith(".md")]
    return files


def distinct(files):
    """The files with contents not seen before, and the copies left out."""
    seen, kept, copies = {}, [], []
    for path in files:
        try:
            with open(path, "rb") as f:
                digest = hashlib.sha1(f.read()).hexdigest()
        except OSError:
            kept.append(path)
            continue
        if digest in seen:
            copies.append((path, seen[digest]))
        else:
            seen[digest] = path
            kept.append(path)
    return kept, copies


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("files", nargs="*", metavar="FILE")
    parser.add_argument("--kelvane", default=os.path.join(REPO, "build-test", "src", "kelvane"))
    parser.add_argument("--pyx12", default=os.environ.get("PYX12_DIR", "/tmp/pyx12"),
                        help="folder holding the pyx12 package")
    parser.add_argument("--python", default="/usr/bin/python3",
                        help="the Python that runs pyx12 (it needs defusedxml)")
    parser.add_argument("--timeout", type=int, default=120, help="seconds per file and tool")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--by-segment", action="store_true",
                        help="compare segment numbers only, not the kind of error")
    parser.add_argument("--only-disagreements", action="store_true")
    parser.add_argument("--strict-ascii", action="store_true",
                        help="let pyx12 open the file itself, refusing one that is not ASCII")
    parser.add_argument("--json", action="store_true", help="print one JSON document instead")
    args = parser.parse_args()
    args.kelvane = os.path.abspath(args.kelvane)
    args.pyx12 = os.path.abspath(args.pyx12)
    driver = os.path.join(args.pyx12, "pyx12", "x12n_document.py")
    for needed in (args.kelvane, args.python, driver):
        if not os.path.exists(needed):
            print("compare-pyx12: %s not found" % needed, file=sys.stderr)
            return 2
    files, copies = distinct(args.files or default_files())
    results = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        for r in pool.map(lambda f: compare(args, f), files):
            results.append(r)
            if not args.json:
                print_file(r, args.only_disagreements)
                sys.stdout.flush()
    compared = [r for r in results if r["pyx12"] == "ok" and r["kelvane"] == "ok"]
    if args.json:
        only = args.only_disagreements
        shown = [r for r in results
                 if not only or r not in compared or r["pyx12_only"] or r["kelvane_only"]]
        totals = {key: sum(len(r[key]) for r in compared)
                  for key in ("both", "pyx12_only", "kelvane_only")}
        totals["files"] = len(compared)
        totals["not_compared"] = len(results) - len(compared)
        totals["copies_left_out"] = len(copies)
        json.dump({"files": shown, "totals": totals,
                   "copies": [{"file": a, "same_as": b} for a, b in copies]}, sys.stdout, indent=1)
        print()
    else:
        print_totals(results)
        if copies:
            print()
            print("left out as copies of a file above: %d" % len(copies))
            for path, original in copies:
                print("  %s (= %s)" % (os.path.relpath(path), os.path.relpath(original)))
    return 1 if any(r["pyx12_only"] or r["kelvane_only"] for r in compared) else 0


if __name__ == "__main__":
    sys.exit(main())
