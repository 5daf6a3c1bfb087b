"""Readers for the guide definitions that pyx12 lacks, for make-guides.py.

Each reader turns another library's definition of a guide into the shape of a
pyx12 XML map (loops, segments, elements with their usage, repeat, position
and valid codes, and how often an element may repeat), so that the generator treats it as it treats pyx12's maps.
Nothing of the other library is run: stupidedi's Ruby is read by a small
parser of its definition calls, TigerShark's Python by the `ast` module.

  stupidedi, https://github.com/kputnam/stupidedi (BSD licence):
      lib/stupidedi/transaction_sets/005010/implementations/<name>.rb, with
      element types from lib/stupidedi/versions/005010/segment_defs/<tag>.rb
      and lib/stupidedi/versions/005010/element_defs.rb.
  TigerShark, https://github.com/zentist/TigerShark (BSD licence):
      a parser package under tigershark/parsers/ (Loop, Segment, Composite,
      Element and Properties calls).

Both libraries place segments and loops in file order, and so do the maps
made here: each loop carries order="file", which the generator honours
instead of sorting by position.
"""

import ast
import hashlib
import os
import re
import xml.etree.ElementTree as ET

USAGE = {"Required": "R", "Situational": "S", "NotUsed": "N", "Mandatory": "R", "Optional": "S"}


def git_tree_id(path):
    """The git tree id of a folder of regular, non-executable files."""
    entries = []
    for name in os.listdir(path):
        full = os.path.join(path, name)
        if name == "__pycache__":
            continue
        if os.path.isdir(full):
            entries.append((name + "/", b"40000 " + name.encode() + b"\0" + bytes.fromhex(git_tree_id(full))))
        else:
            with open(full, "rb") as f:
                data = f.read()
            blob = hashlib.sha1(b"blob %d\0" % len(data) + data).hexdigest()
            entries.append((name, b"100644 " + name.encode() + b"\0" + bytes.fromhex(blob)))
    body = b"".join(e for _, e in sorted(entries))
    return hashlib.sha1(b"tree %d\0" % len(body) + body).hexdigest()


def sub(parent, tag, **attrs):
    e = ET.SubElement(parent, tag)
    for k, v in attrs.items():
        if v is not None:
            e.set(k, str(v))
    return e


def add_codes(e, codes):
    if codes:
        v = ET.SubElement(e, "valid_codes")
        for c in codes:
            ET.SubElement(v, "code").text = c


# ---------------------------------------------------------------- stupidedi

TOKEN = re.compile(r'\s*(?:(?P<str>"(?:[^"\\]|\\.)*")|(?P<num>\d+)|(?P<name>[A-Za-z_][\w:.]*)|(?P<sym>[(),]))')


class Call:
    def __init__(self, name, args):
        self.name = name  # e.g. "b::Segment", "d::RepeatCount.bounded", "s::HL"
        self.args = args  # None for a bare name


def parse_ruby_call(text, start):
    """Parses the call expression that begins at text[start]: names (with ::
    and .), numbers, strings and nested calls; nothing else is needed."""
    pos = start

    def token():
        nonlocal pos
        m = TOKEN.match(text, pos)
        if not m:
            raise ValueError("cannot read the definition near: %r" % text[pos : pos + 60])
        pos = m.end()
        return m

    def expr():
        nonlocal pos
        m = token()
        if m.group("str"):
            return m.group("str")[1:-1].replace('\\"', '"')
        if m.group("num"):
            return int(m.group("num"))
        if not m.group("name"):
            raise ValueError("unexpected %r" % m.group(0))
        name = m.group("name")
        save = pos
        n = TOKEN.match(text, pos)
        if not (n and n.group("sym") == "("):
            pos = save
            return Call(name, None)
        pos = n.end()
        args = []
        while True:
            n = TOKEN.match(text, pos)
            if n and n.group("sym") == ")":
                pos = n.end()
                return Call(name, args)
            args.append(expr())
            n = token()
            if n.group("sym") == ")":
                return Call(name, args)
            if n.group("sym") != ",":
                raise ValueError("expected , or ) near: %r" % text[n.start() : n.start() + 60])

    return expr()


def strip_ruby_comments(text):
    return "\n".join(line for line in text.splitlines() if not line.lstrip().startswith("#"))


class StupidediTypes:
    """Element types (ID, AN, ...) and composite members from stupidedi's
    005010 segment and element definitions."""

    def __init__(self, repo):
        self.dir = os.path.join(repo, "lib", "stupidedi", "versions", "005010")
        with open(os.path.join(self.dir, "element_defs.rb"), encoding="utf-8") as f:
            text = f.read()
        self.types = dict(re.findall(r"^\s*(E\w+)\s*=\s*t::(\w+)\.new", text, re.M))
        for e, dec in re.findall(r'^\s*(E\w+)\s*=\s*t::Nn\.new\(\s*:\w+\s*,\s*"[^"]*"\s*,\s*\d+\s*,\s*\d+\s*,\s*(\d+)', text, re.M):
            self.types[e] = "N" + dec  # numeric with implied decimals
        self.lengths = {e: (int(lo), int(hi)) for e, lo, hi in re.findall(r'^\s*(E\w+)\s*=\s*t::\w+\.new\(\s*:\w+\s*,\s*"[^"]*"\s*,\s*(\d+)\s*,\s*(\d+)', text, re.M)}
        self.composites = {}
        for m in re.finditer(r"^\s*(C\w+)\s*=\s*Schema::CompositeElementDef\.build\((.*?)(?=^\s*[CE]\w+\s*=|\Z)", text, re.M | re.S):
            self.composites[m.group(1)] = re.findall(r"\b(E\w+)\s*\.component_use", m.group(2))
        self.segments = {}
        self.repeats = {}
        self.syntax = {}

    def elements(self, tag):
        if tag not in self.segments:
            with open(os.path.join(self.dir, "segment_defs", tag + ".rb"), encoding="utf-8") as f:
                text = f.read()
            self.segments[tag] = re.findall(r"e::([CE]\w+)\s*\.simple_use", text)
            # How often each element may repeat: RepeatCount.bounded(n), or unbounded (">1").
            self.repeats[tag] = [">1" if bound is None or not bound else bound
                                 for bound in re.findall(r"e::[CE]\w+\s*\.simple_use\([^)]*?RepeatCount\.(?:bounded\((\d+)\)|unbounded)", text)]
            self.syntax[tag] = [kind + "".join("%02d" % int(n) for n in re.findall(r"\d+", args))
                                for kind, args in re.findall(r"SyntaxNotes::([PRCEL])\.build\(([^)]*)\)", text)]
        return self.segments[tag]


def repeat_of(call):
    return ">1" if call.name.endswith(".unbounded") else str(call.args[0])


def title(upper, hint):
    """stupidedi spells loop names in capitals ("2000A INFORMATION SOURCE
    LEVEL"); the name of the loop's first segment gives the usual spelling
    when it says the same, else the words are capitalised."""
    if hint and hint.upper() == upper:
        return hint
    small = {"OF", "OR", "AND", "THE", "FOR", "TO", "IN", "A", "AN"}
    words = upper.split()
    return " ".join(w.lower() if i and w in small else w.capitalize() for i, w in enumerate(words))


def stupidedi_map(repo, rb_path):
    """(pyx12-shaped XML root, file bytes) for one stupidedi implementation."""
    with open(os.path.join(repo, rb_path), "rb") as f:
        data = f.read()
    text = strip_ruby_comments(data.decode("utf-8"))
    m = re.search(r"=\s*b\.build\(", text)
    if not m:
        raise SystemExit("%s: no b.build( definition" % rb_path)
    build = parse_ruby_call(text, m.start() + text[m.start() :].index("b.build"))
    types = StupidediTypes(repo)

    root = ET.Element("transaction")
    st_loop = sub(root, "loop", xid="ST_LOOP", usage="R", repeat=">1", order="file")

    def segment(parent, c):
        pos, tag, _name, usage, repeat = c.args[:5]
        tag = tag.name.split("::")[1]
        seg = sub(parent, "segment", xid=tag, pos="%04d" % pos, usage=USAGE[usage.name.split("::")[1]], max_use=repeat_of(repeat), name=_name)
        defs = types.elements(tag)
        repeats = types.repeats[tag]
        for rule in types.syntax[tag]:
            ET.SubElement(seg, "syntax").text = rule
        for i, el in enumerate(a for a in c.args[5:] if isinstance(a, Call) and a.name == "b::Element"):
            ref = defs[i] if i < len(defs) else None
            repeat = repeats[i] if i < len(repeats) and repeats[i] != "1" else None
            if ref and ref.startswith("C"):
                comp = sub(seg, "composite", xid="%s%02d" % (tag, i + 1), seq="%02d" % (i + 1), usage=USAGE[el.args[0].name.split("::")[1]], repeat=repeat)
                members = types.composites.get(ref, [])
                for j, part in enumerate(a for a in el.args[2:] if isinstance(a, Call) and a.name == "b::Element"):
                    element(comp, part, "%s%02d-%d" % (tag, i + 1, j + 1), j + 1, members[j] if j < len(members) else None)
            else:
                element(seg, el, "%s%02d" % (tag, i + 1), i + 1, ref, repeat)

    def element(parent, c, xid, seq, ref, repeat=None):
        lengths = types.lengths.get(ref, (None, None))
        e = sub(parent, "element", xid=xid, seq="%02d" % seq, usage=USAGE[c.args[0].name.split("::")[1]], data_type=types.types.get(ref),
                min_len=lengths[0], max_len=lengths[1], repeat=repeat)
        for a in c.args[2:]:
            if isinstance(a, Call) and a.name == "b::Values":
                add_codes(e, a.args)

    def loop(parent, c):
        loop_id, _, upper = c.args[0].partition(" ")
        first = next(a for a in c.args[2:] if isinstance(a, Call) and a.name == "b::Segment")
        e = sub(parent, "loop", xid=loop_id, name=title(upper, first.args[2]), usage=USAGE[first.args[3].name.split("::")[1]],
                repeat=repeat_of(c.args[1]), pos="%04d" % first.args[0], order="file")
        members(e, c.args[2:])

    def members(parent, args):
        for a in args:
            if not isinstance(a, Call):
                continue
            if a.name == "b::Segment":
                segment(parent, a)
            elif a.name == "d::LoopDef.build":
                loop(parent, a)
            elif a.name.startswith("d::TableDef."):
                members(parent, a.args[1:])  # tables are dissolved into the transaction level

    members(st_loop, build.args[3:])
    return root, data


# ---------------------------------------------------------------- TigerShark


def tigershark_map(package_dir):
    """(pyx12-shaped XML root, git tree id of the package) for one TigerShark
    parser package: every module's `name = Loop(...)` is read, and the loop
    named ST_LOOP is converted with the loops it names."""
    names = {}
    for folder, _, files in os.walk(package_dir):
        for fname in sorted(files):
            if fname.endswith(".py"):
                with open(os.path.join(folder, fname), encoding="utf-8") as f:
                    tree = ast.parse(f.read())
                for node in tree.body:
                    if isinstance(node, ast.Assign) and isinstance(node.value, ast.Call) and len(node.targets) == 1:
                        names[node.targets[0].id] = node.value

    def props(call):
        p = next((a for a in call.args if isinstance(a, ast.Call) and a.func.id == "Properties"), None)
        return {k.arg: ast.literal_eval(k.value) for k in p.keywords} if p is not None else {}

    def parts(call):
        for a in call.args[1:]:
            if isinstance(a, ast.Name):
                yield names[a.id]
            elif isinstance(a, ast.Call) and a.func.id != "Properties":
                yield a

    def convert(parent, call, last_pos):
        kind = call.func.id
        name = ast.literal_eval(call.args[0])
        p = props(call)
        if kind == "Loop":
            e = sub(parent, "loop", xid=name, name=p.get("desc"), usage=p.get("req_sit"), repeat=p.get("repeat"),
                    pos=p.get("position"), order="file", type="wrapper" if p.get("looptype") == "wrapper" else None)
            pos = p.get("position")
            for c in parts(call):
                pos = convert(e, c, pos)
            return last_pos
        if kind == "Segment":
            pos = p.get("position") or last_pos  # a few segments have none: they take the one before theirs
            e = sub(parent, "segment", xid=name, pos=pos, usage=p.get("req_sit"), max_use=p.get("repeat"), name=p.get("desc"))
            for rule in (p.get("syntax") or "").split():
                ET.SubElement(e, "syntax").text = rule
            for c in parts(call):
                convert(e, c, None)
            return pos
        if kind == "Composite":
            e = sub(parent, "composite", xid=name, seq=p.get("seq"), usage=p.get("req_sit"), repeat=p.get("repeat") or None)
            for c in parts(call):
                convert(e, c, None)
            return last_pos
        if kind == "Element":
            dt = p.get("data_type") or (None, None, None)
            e = sub(parent, "element", xid=name, seq="%02d" % p.get("position"), usage=p.get("req_sit"), data_type=dt[0],
                    min_len=dt[1] if len(dt) > 2 else None, max_len=dt[2] if len(dt) > 2 else None)
            add_codes(e, p.get("codes"))
            return last_pos
        raise SystemExit("%s: unknown call %s" % (package_dir, kind))

    st = next((v for v in names.values() if v.func.id == "Loop" and ast.literal_eval(v.args[0]) == "ST_LOOP"), None)
    if st is None:
        raise SystemExit("%s: no ST_LOOP" % package_dir)
    root = ET.Element("transaction")
    convert(root, st, None)
    return root, git_tree_id(package_dir)
