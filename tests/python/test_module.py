"""The module against the command line on every fixture and shared sample, the GIL released while
parsing, and documents that outlive what they came from. Run by ctest (tests/CMakeLists.txt)."""

import gc
import json
import os
import re
import subprocess
import tempfile
import threading
import time
import unittest

import kelvane

KELVANE = os.environ["KELVANE_EXECUTABLE"]
DATA_DIRS = [os.environ["KELVANE_TEST_DATA_DIR"], os.environ.get("KELVANE_SAMPLES_DIR", "")]


def sample_files():
    """The fixtures, and the shared samples where this checkout has them."""
    files = []
    for folder in DATA_DIRS:
        if folder and os.path.isdir(folder):
            files += sorted(entry.path for entry in os.scandir(folder)
                            if entry.is_file() and entry.name != "README.md")
    return files


def command_line(option, path):
    run = subprocess.run([KELVANE, option, path], capture_output=True, check=False)
    return run.returncode, run.stdout, run.stderr.decode("utf-8", "replace")


def segment_as_json(segment):
    """A segment as the command line's JSON shows it."""
    shown = {"position": segment.position, "offset": segment.offset, "tag": segment.tag,
             "name": segment.name, "raw": segment.raw, "elements": []}
    for element in segment.elements:
        described = {"ref": element.ref, "name": element.name, "value": element.value}
        if element.display != element.value:
            described["display"] = element.display
        shown["elements"].append(described)
    if segment.loop is not None:
        shown["loop"] = {"id": segment.loop.id, "name": segment.loop.name}
    return shown


def tree_depths(nodes):
    for node in nodes:
        yield node.depth
        yield from tree_depths(node.children)


class ModuleTest(unittest.TestCase):
    def test_outputs_are_the_command_lines(self):
        files = sample_files()
        self.assertGreater(len(files), 20)
        documents = list(kelvane.read_many(files, workers=2))
        for path, document in zip(files, documents):
            with self.subTest(path=os.path.basename(path)):
                status, out, err = command_line("--dump-json", path)
                if status != 0:
                    # The command line names the problem; the module raises it.
                    self.assertIsInstance(document, (OSError, kelvane.ParseError))
                    self.assertTrue(err.startswith("error: "))
                    self.assertTrue(str(document).endswith(err[len("error: "):].rstrip("\n")))
                    with self.assertRaises(type(document)):
                        kelvane.read(path)
                    continue
                self.assertEqual(document.to_json().encode(), out)
                self.assertEqual(kelvane.read(path).to_json().encode(), out)
                parsed = json.loads(out)
                segments = document.segments
                self.assertEqual([segment_as_json(s) for s in segments], parsed["segments"])
                self.assertEqual(segments[-1].position, len(segments))
                self.assertEqual([s.raw for s in segments[::-2]],
                                 [s["raw"] for s in parsed["segments"][::-2]])
                self.assertEqual(document.delimiters._asdict(), parsed["delimiters"])
                self.assertEqual(document.transaction_sets, parsed["transactionSets"])
                self.assertEqual(document.summary_line, parsed["summaryLine"])

                status, out, _ = command_line("--dump-csv", path)
                self.assertEqual(document.to_csv().encode(), out)
                self.assertEqual(list(document.rows()),
                                 [tuple(row) for row in _csv_rows(out.decode())])

                status, out, _ = command_line("--check", path)
                self.assertEqual(document.check_text().encode(), out)
                finding_lines = re.findall(r"^segment \d+ \(.*\)( loop \S+)?: (?:error|warning): ",
                                           out.decode(), re.MULTILINE)
                self.assertEqual(len(finding_lines), len(document.findings))

                # The tree must be UTF-8 for the command line; the module reads it as JSON does.
                status, out, _ = command_line("--dump-tree", path)
                if status == 0:
                    self.assertEqual(document.tree_text().encode(), out)
                    indents = [len(line) - len(line.lstrip(" "))
                                for line in out.decode().splitlines()]
                    self.assertEqual(list(tree_depths(document.tree)), [i // 2 for i in indents])

    def test_parse_takes_text_and_bytes_and_raises_the_command_lines_errors(self):
        text = "ISA*00*          *00*          *ZZ*A*ZZ*B*240101*1200*^*00501*1*0*P*:~ST*837*1~SE*2*1~"
        self.assertEqual(kelvane.parse(text, file_name="a.x12").to_json(),
                         kelvane.parse(text.encode("latin-1"), file_name="a.x12").to_json())
        self.assertEqual(kelvane.parse("ST*837*\u00e91~").segments[0].values,
                         kelvane.parse(b"ST*837*\xe91~").segments[0].values)
        for data, message in [(b"", "The file is empty."),
                              (b"~~~", "No X12 segments were found. This does not look like "
                                         "an X12/EDI file.")]:
            with self.assertRaisesRegex(kelvane.ParseError, message):
                kelvane.parse(data)
        with tempfile.TemporaryDirectory() as folder:
            missing = os.path.join(folder, "missing.edi")
            _, _, err = command_line("--dump-json", missing)
            with self.assertRaises(OSError) as raised:
                kelvane.read(missing)
            self.assertEqual("error: " + str(raised.exception) + "\n", err)

    def test_parsing_releases_the_gil(self):
        """A thread ticks while another reads a large file: with the GIL held throughout the read,
        no tick could fall inside it."""
        claim = "NM1*85*2*MEDICAL GROUP*****XX*1234567890~N3*3901 CALVERTON BLVD~"
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "large.837")
            with open(path, "w") as out:
                out.write("ISA*00*          *00*          *ZZ*A*ZZ*B*240101*1200*^*00501*1*0*P"
                          "*:~GS*HC*A*B*20240101*1200*1*X*005010X222A1~ST*837*1~")
                out.write(claim * ((48 << 20) // len(claim)))
                out.write("SE*2*1~GE*1*1~IEA*1*1~")
            span = []

            def read():
                start = time.perf_counter()
                kelvane.read(path)
                span.extend([start, time.perf_counter()])

            ticks = []
            reader = threading.Thread(target=read)
            reader.start()
            while reader.is_alive():
                ticks.append(time.perf_counter())
                for _ in range(200):
                    pass
            reader.join()
            start, end = span
            millisecond_buckets = {int(t * 1000) for t in ticks if start < t < end}
            self.assertGreater(end - start, 0.01)
            # Under load the ticking thread may wait for a core too; held, the GIL would allow
            # it at most one switch interval (5 ms) of the read.
            self.assertGreater(len(millisecond_buckets), 0.1 * (end - start) * 1000)

    def test_documents_outlive_their_sources_and_are_shared_between_threads(self):
        path = os.path.join(DATA_DIRS[0], "837p-x12_valid.txt")
        expected = kelvane.read(path)
        reads = kelvane.read_many([path, path])
        first = next(reads)
        del reads  # stops the reading that is left
        segments = first.segments[1::3]
        iterator = iter(first.segments)
        element = first.segments[8].elements[2]
        node = first.tree[0].children[0]
        with open(path) as file:
            text = file.read()
        parsed = kelvane.parse(text)
        last = parsed.segments[-1]
        del first, text, parsed
        gc.collect()
        self.assertEqual([s.raw for s in segments], [s.raw for s in expected.segments[1::3]])
        self.assertEqual(next(iterator).raw, expected.segments[0].raw)
        self.assertEqual((element.ref, element.value, element.segment.tag),
                         ("NM103", "MEDICAL GROUP", "NM1"))
        self.assertEqual(node.segment.document.to_csv(), expected.to_csv())
        self.assertEqual(last.raw, expected.segments[-1].raw)

        # The guide walk is made on first use: threads that ask at once share one.
        shared = kelvane.read(path)
        results = [None] * 4

        def look(i):
            results[i] = ([s.loop for s in shared.segments], shared.findings)

        threads = [threading.Thread(target=look, args=(i,)) for i in range(4)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        self.assertTrue(all(r == results[0] for r in results))
        self.assertEqual(results[0][1], expected.findings)

    def test_careless_and_hostile_calls_raise_and_never_crash(self):
        path = os.path.join(DATA_DIRS[0], "837p-x12_valid.txt")
        # A NUL ends the path for the system: the file read would be another one.
        with self.assertRaisesRegex(ValueError, "embedded null byte"):
            kelvane.read(path + "\0.x12")
        # Segments, elements and iterators come from documents only.
        document = kelvane.read(path)
        for made in (document.segments[0], document.segments[0].elements[0],
                     iter(document.segments)):
            with self.assertRaises(TypeError):
                type(made)()
        # Far more workers than files or cores; two threads taking from one iterator get every
        # file once between them.
        paths = [path] * 40
        reads = kelvane.read_many(paths, workers=10**6)
        taken = [[], []]

        def take(mine):
            for read in reads:
                mine.append(read.summary_line)

        threads = [threading.Thread(target=take, args=(mine,)) for mine in taken]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        self.assertEqual(sorted(taken[0] + taken[1]), [document.summary_line] * len(paths))
        with self.assertRaises(ValueError):
            kelvane.read_many(paths, workers=0)


def _csv_rows(text):
    import csv
    import io
    return list(csv.reader(io.StringIO(text, newline="")))


if __name__ == "__main__":
    unittest.main()
