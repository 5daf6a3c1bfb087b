"""Checks data/guide-loops.txt and the walk in tools/guide_walk.py on real
health-care samples: tests/data and the shared sample folder (KELVANE_SAMPLES,
default /work/shared/samples; samples missing there are skipped).

Run: python3 -m unittest discover -s tools -p 'test_*.py'
Set PYX12_MAPS to a prepared pyx12 map folder, STUPIDEDI_DIR and TIGERSHARK_DIR
to the checkouts (see tools/make-guide-loops.py) to also check that the table
is what the generator makes of them.
"""

import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import guide_walk  # noqa: E402

ROOT = os.path.dirname(HERE)
LOOPS = os.path.join(ROOT, "data", "guide-loops.txt")
SAMPLE_DIRS = [os.path.join(ROOT, "tests", "data"), os.environ.get("KELVANE_SAMPLES", "/work/shared/samples")]

P837 = [("NM1", "85", "2010AA|2330G"), ("NM1", "IL", "2010BA|2330A"), ("CLM", None, "2300"), ("LX", None, "2400"), ("SV1", None, "2400")]
D837 = [("NM1", "85", "2010AA"), ("NM1", "82", "2310B|2420A"), ("CLM", None, "2300"), ("LX", None, "2400"), ("SV3", None, "2400"), ("TOO", None, "2400")]
I837 = [("NM1", "85", "2010AA|2330G"), ("CLM", None, "2300"), ("LX", None, "2400"), ("SV2", None, "2400")]
R835 = [("N1", "PR", "1000A"), ("N1", "PE", "1000B"), ("LX", None, "2000"), ("CLP", None, "2100")]
R276 = [("HL", "19", "2000C"), ("NM1", "1P", "2100C"), ("NM1", "IL", "2100D"), ("TRN", None, "2200D|2200E"), ("SVC", None, "2210E")]
E27X = [("HL", "20", "2000A"), ("HL", "21", "2000B"), ("HL", "22", "2000C"), ("HL", "23", "2000D"), ("NM1", "PR", "2100A")]

# file: (guide map file or None when there is no guide, rules, unplaced tags).
# A rule is (tag, value of the segment's first element (its first component)
# or, for HL, of its third, or None for any, loops): every such segment is in
# one of the loops ("2010BA|2330A"), and one at least in the first. The
# unplaced tags are those the walk leaves out, each a fault of the sample.
SAMPLES = {
    # 5010
    "837p-x12_valid.txt": ("837.5010.X222.A1.xml", P837, []),
    "837p-x12_valid_different_separators.txt": ("837.5010.X222.A1.xml", P837, []),
    "837p-x12_no_isa_line.txt": ("837.5010.X222.A1.xml", P837, []),
    "837p-x12_multiple_gs.txt": ("837.5010.X222.A1.xml", P837, []),
    "837p-x12_many_claims.txt": ("837.5010.X222.A1.xml", P837, []),
    "837p-MedicaidExample.txt": ("837.5010.X222.A1.xml", P837 + [("NM1", "DN", "2310A")], []),
    "837p-ST1309-XX.txt": ("837.5010.X222.A1.xml", P837, []),
    "837p-X222-oxygen.edi": ("837.5010.X222.A1.xml", P837 + [("NM1", "DK", "2420E"), ("LQ", None, "2440"), ("FRM", None, "2440")], []),
    "837p-sample837-original.edi": ("837.5010.X222.A1.xml", P837 + [("HL", "23", "2000C"), ("NM1", "QC", "2010CA"), ("LIN", None, "2410")], []),
    "837p-UnicodeExample.txt": ("837.5010.X222.A1.xml", [("NM1", "41", "1000A")], []),  # ends after NM1*41
    # DMG is not in loop 2320 of the 5010 guide (4010 had it there).
    "837i-Spec_3.1.1.txt": ("837Q3.I.5010.X223.A1.xml", I837 + [("CL1", None, "2300"), ("SBR", "P", "2000B"), ("SBR", "S", "2320")], ["DMG"]),
    "835-medicare-part-a.835": ("835.5010.X221.A1.xml", R835 + [("NM1", "QC", "2100"), ("TS3", None, "2000"), ("PLB", None, "-")], []),
    "835-multiLineNotDelimited.edi": ("835.5010.X221.A1.xml", R835 + [("SVC", "HC", "2110")], []),
    "835-oneLine-2-ISA.edi": ("835.5010.X221.A1.xml", R835, []),
    "835-split.edi": ("835.5010.X221.A1.xml", R835, []),
    # SVC01-1 is XX (not a product/service ID qualifier) in most SVCs; each
    # such SVC and the LQ after it stay out, the SVCs with HC open 2110.
    "835-ExampleFromNth.txt": ("835.5010.X221.A1.xml", [("LX", None, "2000"), ("CLP", None, "2100"), ("SVC", "HC", "2110")], ["LQ", "SVC"]),
    "834-834_ls_le_ls.txt": ("834.5010.X220.A1.xml", [("N1", "P5", "1000A"), ("N1", "IN", "1000B"), ("INS", None, "2000"), ("NM1", "74", "2100A"), ("NM1", "70", "2100B"), ("NM1", "31", "2100C"), ("NM1", "QD", "2100G"), ("HD", None, "2300"), ("COB", None, "2320"), ("LS", None, "2000"), ("LX", None, "2700"), ("N1", "75", "2750"), ("LE", None, "2000")], []),
    "270-Example1_IG_0x1D.txt": ("270.5010.X279.A1.xml", [r for r in E27X if r[1] != "23"] + [("EQ", None, "2110C")], []),
    "271-dependent-health-benefit-check.271": ("271.5010.X279.A1.xml", E27X + [("EB", None, "2110D"), ("LS", None, "2110D"), ("NM1", "P3", "2120D"), ("LE", None, "2110D")], []),
    "277-x12_277_x212.txt": ("277.5010.X212.xml", [("HL", "20", "2000A"), ("HL", "21", "2000B"), ("HL", "19", "2000C"), ("HL", "22", "2000D"), ("NM1", "IL", "2100D"), ("TRN", None, "2200D"), ("STC", None, "2200D")], []),
    "277ca-x12_277CA_rejected.txt": ("277.5010.X214.xml", [("HL", "19", "2000C"), ("HL", "PT", "2000D"), ("NM1", "85", "2100C")], []),
    "820-list-bill.edi": ("820.5010.X218.xml", [("ENT", None, "2000B"), ("NM1", "EY", "2100B"), ("RMR", None, "2300B"), ("ADX", None, "2320B")], []),
    "999-x12_999_accepted_ta1.txt": ("999.5010X231.A1.xml", [("AK1", None, "-"), ("AK2", None, "2000"), ("IK3", None, "2100"), ("IK5", None, "2000"), ("AK9", None, "-")], []),
    "276-claim-level-status.276": ("X212-HR276.rb", R276, []),
    "276-stupidedi-case-1.edi": ("X212-HR276.rb", R276, []),
    "278-Example_3_1_1_Request.txt": (None, [], []),
    "837d-claim-from-billing-provider-to-payer-a.edi": ("M837_5010_X224_A2", D837, []),
    # 4010
    "837p-pyx12-simple_837p.txt": ("837.4010.X098.A1.xml", P837, []),
    "837p-837-example.txt": ("837.4010.X098.A1.xml", P837, []),
    "837i-simple_837i.txt": ("837.4010.X096.A1.xml", I837, []),
    "837i-FromSwreed-Batch1.txt": ("837.4010.X096.A1.xml", I837, []),
    "837i-homeowners.837": ("837.4010.X096.A1.xml", [("CLM", None, "2300"), ("SV2", None, "2400")], []),
    # Dental segments under the institutional guide id of GS08 (see test_forced_guide).
    "837d-Spec_4.1.1_PatientIsNotSubscriber.txt": ("837.4010.X096.A1.xml", [("CLM", None, "2300")], ["LX", "NM1", "SV3", "TOO"]),
    "835-835_simple.txt": ("835.4010.X091.A1.xml", [("CLP", None, "2100"), ("SVC", None, "2110")], []),
    "271-271-example-2.txt": ("271.4010.X092.A1.xml", [("HL", "20", "2000A"), ("NM1", "PR", "2120C|2100A"), ("NM1", "IL", "2100C"), ("EB", None, "2110C"), ("LS", None, "2110C"), ("LE", None, "2110C")], []),
}

# Whole transaction sets checked by hand against the guides' loop layout.
BY_HAND = {
    "999-x12_999_accepted_ta1.txt": "- - 2000 2100 2100 2000 - -",
    "277ca-x12_277CA_rejected.txt": "- - 2000A 2100A 2200A 2200A 2200A 2000B 2100B 2200B 2200B 2200B 2200B "
    "2000C 2100C 2200C 2000D 2100D 2200D 2200D 2200D 2200D 2200D -",
    "835-medicare-part-a.835": "- - - - 1000A 1000A 1000A 1000A 1000B 2000 2000 2000 2100 2100 2100 2100 2100 2100 2100 "
    "2000 2000 2100 2100 2100 2100 2100 - -",
    "271-dependent-health-benefit-check.271": "- - 2000A 2100A 2000B 2100B 2000C 2100C 2100C 2100C 2100C 2000D 2000D "
    "2100D 2100D 2100D 2100D 2100D 2100D 2110D 2110D 2110D 2120D 2110D 2110D 2110D 2110D -",
    "276-claim-level-status.276": "- - 2000A 2100A 2000B 2100B 2000C 2100C 2000D 2000D 2100D 2200D 2200D 2200D 2200D 2200D "
    "2000D 2000D 2100D 2200D 2200D 2200D 2200D 2200D 2000C 2100C 2000D 2100D 2000E 2000E 2100E 2200E 2200E 2210E 2210E -",
    "837d-claim-from-billing-provider-to-payer-a.edi": "- - 1000A 1000A 1000B 2000A 2010AA 2010AA 2010AA 2010AA 2000B 2000B "
    "2010BA 2010BB 2000C 2000C 2010CA 2010CA 2010CA 2010CA 2300 2300 2300 2310B 2310B 2400 2400 2400 -",
}


def paths(name):
    found = [os.path.join(d, name) for d in SAMPLE_DIRS if os.path.isfile(os.path.join(d, name))]
    return found


def walk_file(guides, path, version=None):
    """[(guide, [(segment, loop or None, component separator)])] per transaction set."""
    with open(path, "rb") as f:
        segments, component = guide_walk.read_x12(f.read())
    out = []
    for gs08, ts in guide_walk.transaction_sets(segments):
        if version:
            guide = guide_walk.choose_guide(guides, ts[0][1], [version], ts)
        else:
            guide = guide_walk.guide_for_set(guides, ts, gs08)
        placed = guide_walk.walk(guide, ts, component) if guide else []
        out.append((guide, [(seg, loop, component) for seg, (loop, _) in zip(ts, placed)]))
    return out


def key_value(seg, component):
    """The first element (its first component), or HL03."""
    n = 3 if seg[0] == "HL" else 1
    return seg[n].split(component)[0] if n < len(seg) else ""


class SamplesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.guides = guide_walk.load(LOOPS)

    def test_samples(self):
        tried = 0
        for name, (map_file, rules, unplaced) in SAMPLES.items():
            for path in paths(name):
                tried += 1
                with self.subTest(sample=path):
                    sets = walk_file(self.guides, path)
                    self.assertTrue(sets)
                    self.assertEqual({g.map_file if g else None for g, _ in sets}, {map_file})
                    placed = [p for _, pairs in sets for p in pairs]
                    for tag, value, loop_id in rules:
                        got = [loop.id if loop else "?" for seg, loop, comp in placed if seg[0] == tag and value in (None, key_value(seg, comp))]
                        loops = loop_id.split("|")
                        self.assertIn(loops[0], got, "%s %s" % (tag, value))
                        self.assertLessEqual(set(got), set(loops), "%s %s" % (tag, value))
                    self.assertEqual(sorted({seg[0] for seg, loop, _ in placed if loop is None}), unplaced)
        self.assertGreater(tried, 20)

    def test_by_hand(self):
        for name, expected in BY_HAND.items():
            for path in paths(name):
                with self.subTest(sample=path):
                    [(_, pairs)] = walk_file(self.guides, path)
                    self.assertEqual(" ".join(loop.id for _, loop, _ in pairs), expected)

    def test_forced_guide(self):
        # The sample's REF*87 names the dental guide its GS08 does not.
        for path in paths("837d-Spec_4.1.1_PatientIsNotSubscriber.txt"):
            [(guide, pairs)] = walk_file(self.guides, path, "004010X097")
            self.assertEqual(guide.version, "004010X097A1")
            self.assertNotIn(None, [loop for _, loop, _ in pairs])
            self.assertEqual({loop.id for seg, loop, _ in pairs if seg[0] in ("LX", "SV3", "TOO")}, {"2400"})

    def test_choosing_guides(self):
        def pick(set_id, versions, segments=()):
            return guide_walk.choose_guide(self.guides, set_id, versions, list(segments))

        self.assertEqual(pick("837", ["005010X223", "005010X222"]).map_file, "837Q3.I.5010.X223.A1.xml")
        self.assertEqual(pick("837", ["", "005010X222"]).map_file, "837.5010.X222.A1.xml")
        self.assertEqual(pick("837", ["005010X999", "004010X098A1"]).map_file, "837.4010.X098.A1.xml")
        self.assertEqual(pick("999", ["005010X231"]).map_file, "999.5010.xml")
        self.assertIsNone(pick("835", ["005010X222A1"]))
        response = [["ST", "278", "1"], ["BHT", "0078", "11"]]
        request = [["ST", "278", "1"], ["BHT", "0078", "13"]]
        self.assertEqual(pick("278", ["004010X094A1"], response).map_file, "278.4010.X094.27.A1.xml")
        self.assertEqual(pick("278", ["004010X094A1"], request).map_file, "278.4010.X094.A1.xml")


class TableTest(unittest.TestCase):
    def test_every_loop_can_begin(self):
        """A loop whose beginning another sibling's shadows could never open."""
        for guide in guide_walk.load(LOOPS):
            stack = [guide.top]
            while stack:
                loop = stack.pop()
                for i, a in enumerate(loop.children):
                    with self.subTest(guide=guide.map_file, loop=a.id):
                        self.assertTrue(a.begin_tag)
                        for b in loop.children[:i]:
                            if a.begin_tag == b.begin_tag:
                                self.assertTrue(a.begin_codes and b.begin_codes and not (a.begin_codes & b.begin_codes))
                stack.extend(loop.children)

    @unittest.skipUnless(all(os.environ.get(v) for v in ("PYX12_MAPS", "STUPIDEDI_DIR", "TIGERSHARK_DIR")), "PYX12_MAPS, STUPIDEDI_DIR or TIGERSHARK_DIR not set")
    def test_generator_output_matches(self):
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "loops.txt")
            sources = ["--stupidedi", os.environ["STUPIDEDI_DIR"], "--tigershark", os.environ["TIGERSHARK_DIR"]]
            subprocess.run([sys.executable, os.path.join(HERE, "make-guide-loops.py"), os.environ["PYX12_MAPS"], "-o", out] + sources, check=True, capture_output=True)
            body = lambda p: [line for line in open(p, encoding="utf-8") if not line.startswith("#")]
            self.assertEqual(body(out), body(LOOPS))


if __name__ == "__main__":
    unittest.main()
