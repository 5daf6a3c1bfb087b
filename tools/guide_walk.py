#!/usr/bin/env python3
"""Places the segments of a transaction set in the loops of its implementation
guide, using data/guide-loops.txt. A prototype of the walk Kelvane does in C++.

Usage: tools/guide_walk.py [--loops FILE] X12-FILE
Prints, per transaction set, a `#` line naming the set and its guide, then one
line per segment: <position in the set, ST = 1> <tag> <loop id> <loop name>,
with loop id `-` for the transaction level and `?` for a segment not placed.

Choosing the guide
  1. Candidates are the guides for the set's ST01 whose version equals ST03;
     failing that, whose version without its addenda suffix (a trailing A and
     digits: 005010X222A1 -> 005010X222) equals ST03's without it. If ST03 is
     empty or gives no candidate, the same with GS08. No candidate: no guide.
  2. Of several candidates, the first whose selector holds (the first segment
     of the set with the selector's tag has the selector's code in the
     selector's element); if none holds, the first candidate.

Matching a loop's beginning
  A segment begins loop L when its tag is L's `begin` tag and, if L's `begin`
  line names an element, that element's value (for 01-1, the text before the
  first component separator) is one of the listed codes. Values are compared
  exactly, case and spaces included.

The walk
  State: the stack of open loops, the transaction level at the bottom (it is
  always open). For each segment of the set, ST and SE included, in order, try
  each open loop L from the innermost outwards, and stop at the first that
  takes the segment:
  a. If the segment begins one of L's child loops (the first in file order
     that it begins), close every loop deeper than L and open that child; the
     segment is in the child. A repeat of a loop is this case too: a loop is a
     child of its parent, so a segment beginning it again closes it (and what
     is open inside it) and opens a new one.
  b. Else, if L lists the segment's tag among its segments other than its
     first one (at the transaction level: among all of its segments), close
     every loop deeper than L; the segment is in L.
  If no open loop takes it, the segment is not placed and nothing closes.
  Checking (a) before (b) on each loop, innermost first, means a segment of
  an outer loop ends the inner ones, and an NM1*87 after loop 2010AA (whose
  first segment is an NM1) opens 2010AB. Loop and segment counts (repeat,
  max-use, usage) are not checked; placing a segment is never an error.
"""

import argparse
import os
import re
import sys

DEFAULT_LOOPS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "guide-loops.txt")


class Loop:
    def __init__(self, loop_id, name, parent):
        self.id = loop_id
        self.name = name
        self.parent = parent
        self.children = []
        self.tags = set()  # of its segments but the first (all, at the transaction level)
        self.begin_tag = None
        self.begin_element = None  # (element number, component number or 0)
        self.begin_codes = None

    def begins(self, seg, component):
        if seg[0] != self.begin_tag:
            return False
        if self.begin_element is None:
            return True
        number, sub = self.begin_element
        value = seg[number] if number < len(seg) else ""
        if sub:
            parts = value.split(component) if component else [value]
            value = parts[sub - 1] if sub <= len(parts) else ""
        return value in self.begin_codes


class Guide:
    def __init__(self, version, set_id, map_file, selector):
        self.version = version
        self.set_id = set_id
        self.map_file = map_file
        self.selector = selector  # (tag, element number, code) or None
        self.top = Loop("-", "transaction set level", None)


def load(path=DEFAULT_LOOPS):
    guides, guide, stack, beginning = [], None, [], False
    with open(path, encoding="utf-8") as lines:
        for number, line in enumerate(lines, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            f = line.split(" ")  # fields
            try:
                if f[0] == "guide":
                    sel = (f[4], int(f[5]), f[6]) if len(f) == 7 else None
                    guide = Guide(f[1], f[2], f[3], sel)
                    guides.append(guide)
                    stack = [guide.top]
                elif f[0] == "loop":
                    while stack[-1].id != f[2]:  # the transaction level's id is "-"
                        stack.pop()
                    loop = Loop(f[1], line.split(" ", 5)[5], stack[-1])
                    stack[-1].children.append(loop)
                    stack.append(loop)
                    beginning = True
                elif f[0] == "begin":
                    loop = stack[-1]
                    loop.begin_tag = f[1]
                    if len(f) > 2:
                        number, _, sub = f[2].partition("-")
                        loop.begin_element = (int(number), int(sub or 0))
                        loop.begin_codes = frozenset(f[3:])
                elif f[0] == "seg":
                    if beginning:
                        beginning = False  # a loop's first segment is matched by its `begin` line
                    else:
                        stack[-1].tags.add(f[1])
                elif f[0] == "end":
                    guide, stack = None, []
                else:
                    raise ValueError("unknown record")
            except (IndexError, ValueError) as e:
                raise ValueError("%s:%d: %s: %s" % (path, number, e, line)) from None
    return guides


def base_version(version):
    return re.sub(r"A\d+$", "", version)


def choose_guide(guides, set_id, versions, segments):
    for version in versions:
        if not version:
            continue
        found = [g for g in guides if g.set_id == set_id and g.version == version]
        if not found:
            found = [g for g in guides if g.set_id == set_id and base_version(g.version) == base_version(version)]
        if not found:
            continue
        for g in found:
            if g.selector is None:
                continue
            tag, number, code = g.selector
            first = next((s for s in segments if s[0] == tag), None)
            if first is not None and number < len(first) and first[number] == code:
                return g
        return found[0]
    return None


def guide_for_set(guides, segments, gs08):
    """The guide of a transaction set (segments from ST on), by its ST03, else
    the GS08 of its group."""
    st = segments[0]
    st03 = st[3] if len(st) > 3 else ""
    return choose_guide(guides, st[1] if len(st) > 1 else "", [st03, gs08], segments)


def walk(guide, segments, component=":"):
    """Returns, per segment, (loop, began): loop is guide.top for the
    transaction level, None when not placed; began tells the segment opened
    the loop."""
    stack, placed = [guide.top], []
    for seg in segments:
        result = (None, False)
        for depth in range(len(stack) - 1, -1, -1):
            loop = stack[depth]
            child = next((c for c in loop.children if c.begins(seg, component)), None)
            if child is not None:
                del stack[depth + 1 :]
                stack.append(child)
                result = (child, True)
                break
            if seg[0] in loop.tags:
                del stack[depth + 1 :]
                result = (loop, False)
                break
        placed.append(result)
    return placed


def decode(data):
    if data[:2] in (b"\xff\xfe", b"\xfe\xff") or b"\x00" in data[:64]:
        return data.decode("utf-16-le" if data[1:2] == b"\x00" or data[:2] == b"\xff\xfe" else "utf-16-be").lstrip("\ufeff")
    return data.decode("latin-1")


def read_x12(data):
    """Splits an interchange file into segments, each a list [tag, e1, e2...].
    Delimiters come from the ISA: the element separator follows "ISA", the
    component separator is ISA16 and the segment terminator the character after
    it (a CR or LF there means segments end at line ends). Without an ISA, the
    separator after "GS" is used, with "~" or line ends. Whitespace around
    segments is dropped. Returns (segments, component separator)."""
    text = decode(data)
    start = text.find("ISA")
    if start >= 0:
        element = text[start + 3]
        at = start
        for _ in range(16):
            at = text.index(element, at + 1)
        component, terminator = text[at + 1], text[at + 2]
    else:
        start = text.find("GS")
        element, component = text[start + 2], ":"
        terminator = "~" if "~" in text else "\n"
    body = text[start:]
    if terminator in "\r\n":
        chunks = body.splitlines()
    else:
        chunks = body.split(terminator)
    segments = []
    for chunk in chunks:
        chunk = chunk.strip()
        if chunk:
            segments.append([e.strip() if i == 0 else e for i, e in enumerate(chunk.split(element))])
    return segments, component


def transaction_sets(segments):
    """Yields (GS08, segments from ST to SE) for each transaction set."""
    gs08, current = "", None
    for seg in segments:
        tag = seg[0]
        if tag == "GS":
            gs08 = seg[8] if len(seg) > 8 else ""
        if tag == "ST":
            if current:
                yield gs08, current
            current = [seg]
        elif current is not None:
            if tag in ("GE", "IEA", "GS", "ISA"):
                yield gs08, current
                current = None
            else:
                current.append(seg)
                if tag == "SE":
                    yield gs08, current
                    current = None
    if current:
        yield gs08, current


def main():
    ap = argparse.ArgumentParser(description="Prints the guide loop of each segment of an X12 file.")
    ap.add_argument("file")
    ap.add_argument("--loops", default=DEFAULT_LOOPS, help="the loop table (default data/guide-loops.txt)")
    args = ap.parse_args()
    guides = load(args.loops)
    with open(args.file, "rb") as f:
        segments, component = read_x12(f.read())
    out = sys.stdout
    for gs08, ts in transaction_sets(segments):
        guide = guide_for_set(guides, ts, gs08)
        st = ts[0] + ["", "", ""]
        if guide is None:
            out.write("# ST %s %s: no guide for %s\n" % (st[1], st[2], st[3] or gs08 or "(no version)"))
            continue
        out.write("# ST %s %s: guide %s (%s)\n" % (st[1], st[2], guide.version, guide.map_file))
        for n, (seg, (loop, _)) in enumerate(zip(ts, walk(guide, ts, component)), 1):
            if loop is None:
                out.write("%d %s ? not placed\n" % (n, seg[0]))
            else:
                out.write("%d %s %s %s\n" % (n, seg[0], loop.id, loop.name))


if __name__ == "__main__":
    main()
