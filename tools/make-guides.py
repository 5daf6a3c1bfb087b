#!/usr/bin/env python3
"""Writes data/guides.txt, the loop structure of the HIPAA implementation
guides, from the XML maps of pyx12 (https://github.com/azoner/pyx12, BSD licence)
and, for two guides pyx12 has no map of, from the definitions of stupidedi
(276 of 005010X212) and of TigerShark (837 of 005010X224A2), both BSD licensed;
tools/guide_sources.py reads those two.

Usage:
    tools/make-guides.py MAP_DIR --stupidedi DIR --tigershark DIR
        [--license FILE] [--source TEXT ...] [--stupidedi-source TEXT]
        [--tigershark-source TEXT] [-o OUT]

MAP_DIR is a pyx12 `pyx12/map` folder; it must also hold the two 5010
eligibility maps, which only pyx12's `map-restructure` branch carries:

    P=<git dir of azoner/pyx12>; D=/tmp/pyx12-maps; mkdir -p $D
    M=8893c59ffd95ccc213cc7661757dc4298b9f430a; B=c260de02f65e6ca0779e0f776a28707438c4c00f
    git --git-dir=$P archive $M pyx12/map LICENSE.txt | tar -x -C $D
    for f in 270.5010.X279.A1.xml 271.5010.X279.A1.xml; do
        git --git-dir=$P show $B:pyx12/map/$f > $D/pyx12/map/$f
    done
    tools/make-guides.py $D/pyx12/map \
        --source "master, commit $M (2026-05-03): every map but the two below" \
        --source "branch map-restructure, commit $B (2014-04-01): 270.5010.X279.A1.xml, 271.5010.X279.A1.xml"

--stupidedi is a checkout of https://github.com/kputnam/stupidedi and
--tigershark one of https://github.com/zentist/TigerShark at its branch
update/ZEN-21440, the only one holding the 837 dental parser:

    S=6ba837e6afabcb560885c14fc8307529985e337f; T=0472bc1d95a308c05527264b6e05549e370b4e6a
    mkdir -p /tmp/stupidedi /tmp/tigershark
    git --git-dir=<git dir of kputnam/stupidedi> archive $S lib LICENSE | tar -x -C /tmp/stupidedi
    git --git-dir=<git dir of zentist/TigerShark> archive $T tigershark/parsers LICENSE | tar -x -C /tmp/tigershark
    tools/make-guides.py $D/pyx12/map --source ... \
        --stupidedi /tmp/stupidedi --stupidedi-source "main, commit $S (2026-07-15)" \
        --tigershark /tmp/tigershark --tigershark-source "branch update/ZEN-21440, commit $T (2024-06-05)"

The pyx12 licence defaults to MAP_DIR/../../LICENSE.txt, the others are read
from the checkouts. Each --source line goes into the header; the header also
records each map's git blob id (a folder's tree id for TigerShark's package),
so anyone can check which file a guide came from.

What is kept of a map: the loops (ID, name, usage, repeat), each loop's own
segments (tag, position, usage, max use) and what identifies the segment that
begins the loop. The interchange and group envelopes are dropped; ST_LOOP
becomes the transaction level; pyx12's wrapper loops (HEADER, DETAIL, FOOTER,
TABLE2AREA*) and its LS_LOOP stand-in for the 834 LS/LE pair are dissolved into
their containing loop. The output grammar is described in the header this
script writes (see HEADER below).
"""

import argparse
import hashlib
import os
import sys
import xml.etree.ElementTree as ET

import guide_sources

# (version code, transaction set, map file, selector[, source]) in output
# order. The selector (tag, element, code) tells apart two guides that share a
# set and a version; pyx12 does the same for 278 with BHT02 (its "tspc"). The
# source is pyx12 unless named: a stupidedi implementation file or a
# TigerShark parser package (see tools/guide_sources.py).
GUIDES = [
    ("005010X222A1", "837", "837.5010.X222.A1.xml", None),
    ("005010X223A2", "837", "837Q3.I.5010.X223.A1.xml", None),
    ("005010X224A2", "837", "M837_5010_X224_A2", None, "tigershark"),
    ("005010X221A1", "835", "835.5010.X221.A1.xml", None),
    ("005010X220A1", "834", "834.5010.X220.A1.xml", None),
    ("005010X279A1", "270", "270.5010.X279.A1.xml", None),
    ("005010X279A1", "271", "271.5010.X279.A1.xml", None),
    ("005010X212", "276", "X212-HR276.rb", None, "stupidedi"),
    ("005010X212", "277", "277.5010.X212.xml", None),
    ("005010X214", "277", "277.5010.X214.xml", None),
    ("005010X218", "820", "820.5010.X218.xml", None),
    ("005010X231A1", "999", "999.5010X231.A1.xml", None),
    ("005010X231", "999", "999.5010.xml", None),
    ("004010X098A1", "837", "837.4010.X098.A1.xml", None),
    ("004010X096A1", "837", "837.4010.X096.A1.xml", None),
    ("004010X097A1", "837", "837.4010.X097.A1.xml", None),
    ("004010X091A1", "835", "835.4010.X091.A1.xml", None),
    ("004010X095A1", "834", "834.4010.X095.A1.xml", None),
    ("004010X092A1", "270", "270.4010.X092.A1.xml", None),
    ("004010X092A1", "271", "271.4010.X092.A1.xml", None),
    ("004010X093A1", "276", "276.4010.X093.A1.xml", None),
    ("004010X093A1", "277", "277.4010.X093.A1.xml", None),
    ("004010X070", "277", "277U.4010.X070.xml", None),
    ("004010X094A1", "278", "278.4010.X094.A1.xml", ("BHT", "02", "13")),
    ("004010X094A1", "278", "278.4010.X094.27.A1.xml", ("BHT", "02", "11")),
    ("004010X061A1", "820", "820.4010.X061.A1.xml", None),
]

DISSOLVED_LOOPS = {"LS_LOOP"}

HEADER = """\
The HIPAA X12 implementation guides: their loops, segments and element rules,
for placing segments in loops and checking them against the guide.
Generated by tools/make-guides.py from the XML maps of pyx12 and the
guide definitions of stupidedi and TigerShark; do not edit.

Grammar (one record a line, fields separated by one space, the last field of a
`loop` line is the rest of the line; lines starting with # are comments):
  codes <n> <code>...
      code list number <n>, shared by every element that lists these codes.
  shape <n> <tag> <syntax> <element>...
      element rules number <n> of a segment. <syntax> is "-" or the segment's
      syntax rules separated by commas (P0809: NM108 and NM109 both or neither;
      R0203 at least one; C1110 if NM111 then NM110; E0405 at most one; L010203
      if 01 then 02 or 03). Each <element> is, for positions 01, 02...:
        N                          not used
        <u><type>/<min>/<max>[/<codes>]
                                   <u> R required or S situational; <type> AN,
                                   ID, DT, TM, R, B, or N0-N9 (implied decimals);
                                   <codes> the code list the value must be in
                                   (none when the guide lists none, or names an
                                   external list such as states or countries)
        <u>{<component>,...}       a composite of such components
                                   Either may end in *<n> (*>1 for no limit): the
                                   element repeats up to <n> times, separated by the
                                   repetition separator; without it, once.
  guide <version> <set> <map-file> [<tag> <element> <code>]
      starts a guide: the ST03/GS08 version code, the ST01 transaction set, the
      map it comes from (a pyx12 map, a stupidedi implementation file or a
      TigerShark parser package); the optional selector picks between guides sharing set and
      version (the first <tag> segment's <element> must equal <code>).
  seg <tag> <pos> <usage> <max-use> <shape> [<element> <codes>]
      a segment of the nearest preceding `loop`, or of the transaction level
      when it follows the `guide` line directly. <pos> is its position in the
      loop, <usage> R, S or N, <max-use> a number or >1, <shape> its element
      rules. A segment the guide tells apart by a qualifier (REF*EI, REF*SY) has
      a line per variant, each naming the element that holds the qualifier (01,
      03, or 01-1 for a composite's first component) and the code list it must
      be in. The first `seg` line of a loop is the segment that begins it.
  loop <id> <parent-id or -> <pos> <usage> <repeat> <name>
      a loop at position <pos> of its parent, the nearest open loop with that
      id (- for the transaction level). Loops come parent first, each followed
      by its own `seg` lines, then its child loops. A loop's segments and loops
      are in position order; at equal positions a segment comes first.
  end
      closes the guide.
"""


def text(e, name):
    """pyx12 reads a field from an attribute (v2 maps) or a child element."""
    v = e.get(name)
    return v if v else e.findtext(name)


def git_blob_id(data):
    return hashlib.sha1(b"blob %d\0" % len(data) + data).hexdigest()


class Seg:
    def __init__(self, e):
        self.e = e
        self.tag = e.get("xid")
        self.pos = int(text(e, "pos"))
        self.usage = text(e, "usage")
        self.max_use = text(e, "max_use") or ">1"


class Loop:
    def __init__(self, e, parent):
        self.id = e.get("xid")
        self.name = " ".join((text(e, "name") or "").split())
        self.usage = text(e, "usage")
        self.repeat = text(e, "repeat") or ">1"
        self.pos = int(text(e, "pos") or 0)  # 0 until fill() knows its first segment
        self.parent = parent
        self.segs = []
        self.children = []
        self.order = []  # segments and loops as the map orders them


def ordered_children(e):
    """Children by position; at equal position a segment comes before a loop
    (pyx12 puts the loop first, which only matters in 277.5010.X212, where it
    would make the 2000B loop begin 2000A), then in file order. Maps read by
    guide_sources.py keep file order (order="file")."""
    kids = [c for c in e if c.tag in ("loop", "segment")]
    if e.get("order") == "file":
        return kids
    return sorted(kids, key=lambda c: (int(text(c, "pos")), c.tag == "loop"))


def renumber(kids):
    """The reader orders a loop's members by position. Maps kept in file order
    (stupidedi's, TigerShark's) do not always number them in that order, so
    their members are numbered again, in file order, from 1; members that shared
    a position still share one."""
    last, number = None, 0
    for c in kids:
        pos = text(c, "pos")
        if pos != last:
            number += 1
            last = pos
        if c.get("pos") is not None:
            c.set("pos", "%d" % number)
        else:
            c.find("pos").text = "%d" % number


def fill(container, e, top=True):
    kids = ordered_children(e)
    if e.get("order") == "file":
        renumber(kids)
    for c in kids:
        if c.tag == "segment":
            container.segs.append(Seg(c))
            container.order.append(container.segs[-1])
        elif c.get("type") == "wrapper" or c.get("xid") in DISSOLVED_LOOPS:
            fill(container, c, False)
        else:
            loop = Loop(c, container)
            fill(loop, c)
            if not loop.pos and loop.segs:
                loop.pos = loop.segs[0].pos
            container.children.append(loop)
            container.order.append(loop)
    keys = [(m.pos, isinstance(m, Loop)) for m in container.order]
    if top and keys != sorted(keys):
        # A dissolved wrapper numbers its members from its own start: number the
        # container's members again in the map's order, keeping equal positions equal.
        last, number = None, 0
        for m in container.order:
            if m.pos != last:
                number, last = number + 1, m.pos
            m.pos = number


class Dataele:
    def __init__(self, map_dir):
        root = ET.parse(os.path.join(map_dir, "dataele.xml")).getroot()
        self.types = {d.get("ele_num"): d.get("data_type") for d in root}
        self.lengths = {d.get("ele_num"): (d.get("min_len"), d.get("max_len")) for d in root}

    def type_of(self, e):
        return e.get("data_type") or self.types.get(text(e, "data_ele"))

    def lengths_of(self, e):
        own = (e.get("min_len"), e.get("max_len"))
        return own if None not in own else self.lengths.get(text(e, "data_ele"), (None, None))


def repeat_suffix(e):
    """"*<n>" for an element or composite the map lets repeat (its <repeat>, ">1"
    for no limit), else nothing: once."""
    repeat = (text(e, "repeat") or "1").replace("&gt;", ">").strip()
    return "" if repeat == "1" else "*" + repeat


def codes_of(e):
    v = e.find("valid_codes")
    return [] if v is None else [c.text for c in v.findall("code")]


def begin_key(seg, dataele):
    """Which element identifies the segment, as pyx12's segment_if.is_match
    (map_if/_segment.py, _resolve_unique_key_field with with_qual=False)
    decides: (element, codes) or None when the tag alone matches."""
    e = seg.e
    kids = sorted((c for c in e if c.tag in ("element", "composite")), key=lambda c: int(text(c, "seq")))

    def simple(i):
        return i < len(kids) and kids[i].tag == "element"

    def first_component(i):
        if i < len(kids) and kids[i].tag == "composite":
            subs = sorted(kids[i].findall("element"), key=lambda c: int(text(c, "seq")))
            return subs[0] if subs else None
        return None

    if simple(0) and dataele.type_of(kids[0]) == "ID" and text(kids[0], "usage") == "R" and codes_of(kids[0]):
        return ("01", codes_of(kids[0]))
    if seg.tag == "ENT" and simple(1) and dataele.type_of(kids[1]) == "ID" and codes_of(kids[1]):
        return ("02", codes_of(kids[1]))
    sub = first_component(0)
    if seg.tag == "CTX" and sub is not None and dataele.type_of(sub) == "AN" and codes_of(sub):
        return ("01-1", codes_of(sub))
    if sub is not None and dataele.type_of(sub) == "ID" and codes_of(sub):
        return ("01-1", codes_of(sub))
    if seg.tag == "HL" and simple(2) and codes_of(kids[2]):
        return ("03", codes_of(kids[2]))
    return None


def find(e, tag, xid):
    for c in e.iter(tag):
        if c.get("xid") == xid:
            return c
    return None


def repair_271_5010(root):
    """The 5010 271 map has LS, loop 2120x and LE inside loop 2115x (and LE
    inside 2120x), and positions 1710/1800 for 2115x/2120x. pyx12's 4010 271
    map, like the guide, has 2115x holding III only, and LS, 2120x, LE as the
    last members of 2110x; this puts them back there."""
    for s in ("C", "D"):
        l2110, l2115, l2120 = (find(root, "loop", x + s) for x in ("2110", "2115", "2120"))
        ls = l2115.find("segment[@xid='LS']") if l2115 is not None else None
        le = l2120.find("segment[@xid='LE']") if l2120 is not None else None
        if None in (l2110, l2115, l2120, ls, le) or l2115.find("loop[@xid='2120%s']" % s) is None:
            raise SystemExit("271.5010.X279.A1.xml no longer has the shape the repair expects")
        l2115.remove(ls)
        l2115.remove(l2120)
        l2120.remove(le)
        for e in (ls, l2120, le):
            l2110.append(e)
        for loop in (l2115, l2120):
            first = "%04d" % min(int(text(c, "pos")) for c in loop.findall("segment"))
            if loop.get("pos"):
                loop.set("pos", first)
            else:
                loop.find("pos").text = first


def repair_837_x224(root):
    """TigerShark's 837 dental parser names loop 2330F "Other Payer Billing
    Provide" (its professional parser, like pyx12, says "Provider"), and its
    2310B-E and 2420A-D loops begin with NM101 codes at odds with its own
    2330D-H loops for the same parties (2310D "Assistant Surgeon Name" with
    82, 2330H "Other Payer Assistant Surgeon" with DD): 2310C, 2310D, 2310E
    and 2420A-D would begin like a sibling, or with a code no other loop of
    the parser gives the party. Each 2310x/2420x loop takes the NM101 codes
    of the 2330x loop naming the same party; the codes then agree with
    pyx12's 837 professional map for the parties both guides name (Rendering
    Provider 82, Service Facility Location 77, Supervising Provider DQ)."""
    loops = [l for l in root.iter("loop")]
    billing = [l for l in loops if l.get("xid") == "2330F"]
    if not billing or any(l.get("name") != "Other Payer Billing Provide" for l in billing):
        raise SystemExit("M837_5010_X224_A2 no longer has the names the repair expects")
    for l in billing:
        l.set("name", "Other Payer Billing Provider")
    # The claim of a subscriber who is not the patient is in the patient's loop (2000C), so
    # 2300 under 2000B is situational, as in pyx12's professional and institutional maps.
    claims = [c for l in loops if l.get("xid") == "2000B" for c in l.findall("loop") if c.get("xid") == "2300"]
    if len(claims) != 1 or claims[0].get("usage") != "R":
        raise SystemExit("M837_5010_X224_A2 no longer has the 2300 loop the repair expects")
    claims[0].set("usage", "S")

    def nm101(loop):
        return loop.find("segment[@xid='NM1']").find("element[@xid='NM101']").find("valid_codes")

    party = {l.get("name")[len("Other Payer "):]: nm101(l) for l in loops if l.get("xid").startswith("2330")}
    for l in loops:
        if l.get("xid")[:4] in ("2310", "2420") and l.get("xid") != "2310A":
            codes = party.get(l.get("name")[: -len(" Name")] if l.get("name").endswith(" Name") else l.get("name"))
            if codes is None:
                raise SystemExit("M837_5010_X224_A2: no 2330 loop for %s %s" % (l.get("xid"), l.get("name")))
            own = nm101(l)
            own[:] = [ET.fromstring(ET.tostring(c)) for c in codes]


def repair_277_5010_x212(root):
    """The 5010 277 map numbers loop 2000B 0100 inside 2000A, the position of
    the HL that begins 2000A, though it follows loop 2100A (0500) in the map and
    in the guide: a walk by position would look for 2000B only before 2100A."""
    l2000b = find(root, "loop", "2000B")
    if l2000b is None or text(l2000b, "pos") != "0100":
        raise SystemExit("277.5010.X212.xml no longer has the shape the repair expects")
    l2000b.find("pos").text = "0600"


REPAIRS = {"271.5010.X279.A1.xml": repair_271_5010, "277.5010.X212.xml": repair_277_5010_x212, "M837_5010_X224_A2": repair_837_x224}
REPAIR_NOTES = [
    "271.5010.X279.A1.xml: in 2110C and 2110D, LS, loop 2120C/D and LE moved out of",
    "  loop 2115C/D into 2110C/D, as in pyx12's 4010 271 map; 2115C/D and 2120C/D",
    "  take the position of their first segment.",
    "Wrapper loops (HEADER, DETAIL, FOOTER, TABLE2AREA*) and 834's LS_LOOP are",
    "  dissolved: their segments and loops belong to the containing loop. Where",
    "  that puts the containing loop's members out of position order, they are",
    "  numbered again in order from 1 (members sharing a position still share one).",
    "277.5010.X212.xml: loop 2000B, numbered 0100 in 2000A though it follows loop",
    "  2100A (0500) there, is numbered 0600.",
    "X212-HR276.rb (stupidedi): its tables are dissolved into the transaction level;",
    "  a loop's usage is that of its first segment, its name the capitalised words",
    "  of stupidedi's loop name (or its first segment's name when that says the same).",
    "X212-HR276.rb and M837_5010_X224_A2 keep their members in file order, which",
    "  their position numbers do not always follow: each loop's members are numbered",
    "  again in file order from 1 (members sharing a position still share one).",
    "M837_5010_X224_A2 (TigerShark): segments with no position (TOO in 2400, DMG",
    "  in 2320) take the position of the segment before them; loop 2330F's name",
    "  \"Other Payer Billing Provide\" completed to \"Other Payer Billing Provider\";",
    "  loops 2310B-E and 2420A-D begin with the NM101 codes of the 2330x loop for",
    "  the same party (TigerShark's own codes there were 82 ZZ 82 77 and 72 ZZ 82 DN:",
    "  2310D would never open, and 2420A-D would take other parties' names); loop",
    "  2300 under 2000B made situational (TigerShark: required), as in pyx12's 837P",
    "  and 837I maps, for a subscriber's claim is in 2000C when the patient is",
    "  someone else.",
]


STUPIDEDI_IMPLEMENTATIONS = "lib/stupidedi/transaction_sets/005010/implementations"
TIGERSHARK_PARSERS = "tigershark/parsers"


def load_guide(dirs, map_file, source):
    """(transaction level, set id, "blob <id>" or "tree <id>") of one map."""
    if source == "stupidedi":
        root, data = guide_sources.stupidedi_map(dirs[source], os.path.join(STUPIDEDI_IMPLEMENTATIONS, map_file))
        ident = "blob " + git_blob_id(data)
    elif source == "tigershark":
        root, tree = guide_sources.tigershark_map(os.path.join(dirs[source], TIGERSHARK_PARSERS, map_file))
        ident = "tree " + tree
    else:
        with open(os.path.join(dirs["pyx12"], map_file), "rb") as f:
            data = f.read()
        root = ET.fromstring(data)
        ident = "blob " + git_blob_id(data)
    if map_file in REPAIRS:
        REPAIRS[map_file](root)
    st_loop = find(root, "loop", "ST_LOOP")
    top = Loop(st_loop, None)
    fill(top, st_loop)
    if not any(s.tag == "SE" for s in top.segs):  # 277.5010.X212 keeps SE outside ST_LOOP
        top.segs.append(Seg(find(root, "segment", "SE")))
    st = find(st_loop, "segment", "ST")
    set_id = codes_of(st.find("element"))[0] if st.find("element") is not None else None
    return top, set_id, ident


def check(top, dataele, where):
    """Loops must begin with a segment; no loop may sit in a loop of the same id
    (the reader resolves parents by id); sibling begins must not overlap."""

    def overlap(a, b):
        if a.segs[0].tag != b.segs[0].tag:
            return False
        ka, kb = begin_key(a.segs[0], dataele), begin_key(b.segs[0], dataele)
        return ka is None or kb is None or ka[0] != kb[0] or set(ka[1]) & set(kb[1])

    def visit(loop, ancestors):
        for c in loop.children:
            if not c.segs:
                raise SystemExit("%s: loop %s has no segment of its own" % (where, c.id))
            if c.id in ancestors:
                raise SystemExit("%s: loop %s inside a loop of the same id" % (where, c.id))
            visit(c, ancestors | {c.id})
        for i, a in enumerate(loop.children):
            for b in loop.children[i + 1 :]:
                if overlap(a, b):
                    print("%s: loops %s and %s begin alike; the first one wins" % (where, a.id, b.id), file=sys.stderr)

    visit(top, set())


class Rules:
    """The element rules and code lists of every segment variant, each distinct
    one numbered once for the whole file (`codes` and `shape` lines)."""

    def __init__(self, dataele):
        self.dataele = dataele
        self.codes = {}   # tuple of codes -> number
        self.shapes = {}  # shape text -> number

    def code_list(self, e):
        if e.find("valid_codes") is not None and e.find("valid_codes").get("external"):
            return None  # an external code list (states, countries, ...): not checked
        codes = tuple(dict.fromkeys(c for c in codes_of(e) if c is not None))
        if not codes:
            return None
        return self.codes.setdefault(codes, len(self.codes) + 1)

    def element(self, e, repeats=True):
        usage = text(e, "usage") or "S"
        if usage == "N":
            return "N"
        dtype = self.dataele.type_of(e) or "AN"
        lo, hi = self.dataele.lengths_of(e)
        token = "%s%s/%s/%s" % (usage, dtype, lo or 1, hi or 9999)
        codes = self.code_list(e)
        token = token if codes is None else "%s/%d" % (token, codes)
        return token + repeat_suffix(e) if repeats else token

    def shape(self, seg):
        e = seg.e
        kids = sorted((c for c in e if c.tag in ("element", "composite")), key=lambda c: int(text(c, "seq")))
        tokens, seq = [], 0
        for k in kids:
            n = int(text(k, "seq"))
            while seq + 1 < n:  # a position the map leaves out is not used
                tokens.append("N")
                seq += 1
            seq = n
            if k.tag == "composite":
                usage = text(k, "usage") or "S"
                parts = sorted(k.findall("element"), key=lambda c: int(text(c, "seq")))
                tokens.append("N" if usage == "N" else "%s{%s}%s" % (usage, ",".join(self.element(p, False) for p in parts), repeat_suffix(k)))
            else:
                tokens.append(self.element(k))
        rules = [r.text.strip() for r in e.findall("syntax") if r.text and r.text.strip()]
        body = "%s %s %s" % (seg.tag, ",".join(rules) or "-", " ".join(tokens) or "-")
        return self.shapes.setdefault(body, len(self.shapes) + 1)

    def lines(self):
        out = ["codes %d %s" % (n, " ".join(c)) for c, n in self.codes.items()]
        out += ["shape %d %s" % (n, body) for body, n in self.shapes.items()]
        return out


def seg_lines(segs, rules):
    """One line per segment variant (pyx12 has several variants of some
    segments, told apart by a qualifier: REF*EI and REF*SY)."""
    out = []
    for seg in segs:
        key = begin_key(seg, rules.dataele)
        line = "seg %s %04d %s %s %d" % (seg.tag, seg.pos, seg.usage, seg.max_use, rules.shape(seg))
        if key is not None:
            codes = rules.codes.setdefault(tuple(dict.fromkeys(key[1])), len(rules.codes) + 1)
            line += " %s %d" % (key[0], codes)
        out.append(line)
    return out


def emit(out, loop, parent_id, rules):
    out.append("loop %s %s %04d %s %s %s" % (loop.id, parent_id, loop.pos, loop.usage, loop.repeat, loop.name))
    out.extend(seg_lines(loop.segs, rules))
    for c in loop.children:
        emit(out, c, loop.id, rules)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("map_dir")
    ap.add_argument("--license", help="pyx12 LICENSE.txt (default MAP_DIR/../../LICENSE.txt)")
    ap.add_argument("--source", action="append", default=[], help="a provenance line for the header")
    ap.add_argument("--stupidedi", required=True, help="a checkout of kputnam/stupidedi")
    ap.add_argument("--stupidedi-source", default="", help="its branch and commit, for the header")
    ap.add_argument("--tigershark", required=True, help="a checkout of zentist/TigerShark (branch update/ZEN-21440)")
    ap.add_argument("--tigershark-source", default="", help="its branch and commit, for the header")
    ap.add_argument("-o", "--output", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "guides.txt"))
    args = ap.parse_args()

    license_path = args.license or os.path.join(args.map_dir, "..", "..", "LICENSE.txt")
    licences = []
    for who, path in (("pyx12", license_path), ("stupidedi", os.path.join(args.stupidedi, "LICENSE")), ("TigerShark", os.path.join(args.tigershark, "LICENSE"))):
        with open(path, encoding="utf-8") as f:
            licences += ["", "%s's licence (%s):" % (who, os.path.basename(path)), ""] + f.read().rstrip().splitlines()
    dataele = Dataele(args.map_dir)
    dirs = {"pyx12": args.map_dir, "stupidedi": args.stupidedi, "tigershark": args.tigershark}

    body, files = [], []
    rules = Rules(dataele)
    for version, set_id, map_file, selector, *source in GUIDES:
        top, map_set, ident = load_guide(dirs, map_file, (source or ["pyx12"])[0])
        if map_set != set_id:
            raise SystemExit("%s is for set %s, not %s" % (map_file, map_set, set_id))
        check(top, dataele, map_file)
        files.append("  %s  %s" % (map_file, ident))
        body.append("guide %s %s %s%s" % (version, set_id, map_file, "" if selector is None else " " + " ".join(selector)))
        body.extend(seg_lines(top.segs, rules))
        for c in top.children:
            emit(body, c, "-", rules)
        body.append("end")

    head = HEADER.splitlines() + [""]
    head += ["Source: pyx12, https://github.com/azoner/pyx12"] + ["  " + s for s in args.source]
    head += ["Source: stupidedi, https://github.com/kputnam/stupidedi: X212-HR276.rb"]
    head += ["  " + args.stupidedi_source + " (" + STUPIDEDI_IMPLEMENTATIONS + ", element types from lib/stupidedi/versions/005010)"]
    head += ["Source: TigerShark, https://github.com/zentist/TigerShark: M837_5010_X224_A2"]
    head += ["  " + args.tigershark_source + " (" + TIGERSHARK_PARSERS + ")"]
    head += ["Maps (git blob ids, or the package folder's tree id, in their source's history):"] + files
    head += ["Changes made while reading the maps:"] + ["  " + s for s in REPAIR_NOTES]
    head += licences
    lines = [("# " + h).rstrip() for h in head] + rules.lines() + body
    with open(args.output, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    print("%s: %d guides, %d lines, %d bytes" % (args.output, len(GUIDES), len(lines), os.path.getsize(args.output)), file=sys.stderr)


if __name__ == "__main__":
    main()
