#!/usr/bin/env python3
"""The Python module's speed on one large file: kelvane.read() against the kelvane_parse tool on
the same file, then segment tags and element values read from Python.

    PYTHONPATH=build/python python3 bench/python_bench.py build/bench/kelvane_parse FILE
"""

import subprocess
import sys
import time

import kelvane


def best(runs, work):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return min(times)


def main(parse_tool, path):
    tool = best(5, lambda: subprocess.run([parse_tool, path], check=True, capture_output=True))
    empty = best(5, lambda: subprocess.run(["true"], check=True))
    read = best(5, lambda: kelvane.read(path))
    print(f"kelvane_parse (process, less an empty one's start) {tool - empty:.3f} s")
    print(f"kelvane.read()                                   {read:.3f} s  "
          f"ratio {read / (tool - empty):.2f}")

    segments = kelvane.read(path).segments
    def tags():
        for s in segments:
            s.tag
    seconds = best(3, tags)
    print(f"segment tags      {len(segments) / seconds / 1e6:6.2f} million/s")
    count = sum(len(s.values) for s in segments)

    def values():
        for s in segments:
            for _ in s.values:
                pass
    seconds = best(3, values)
    print(f"values            {count / seconds / 1e6:6.2f} million/s")

    def elements():
        for s in segments:
            for e in s.elements:
                e.value
    seconds = best(1, elements)
    print(f"elements' .value  {count / seconds / 1e6:6.2f} million/s")


if __name__ == "__main__":
    main(*sys.argv[1:])
