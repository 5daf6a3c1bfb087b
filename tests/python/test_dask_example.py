"""examples/claims_to_csv.py on a local Dask cluster of two worker processes: its outputs are the
command line's, byte for byte, and a file that fails is reported without stopping the others."""

import contextlib
import importlib.util
import io
import os
import shutil
import subprocess
import tempfile
import unittest

KELVANE = os.environ["KELVANE_EXECUTABLE"]
DATA = os.environ["KELVANE_TEST_DATA_DIR"]
EXAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "claims_to_csv.py")


def load_example():
    spec = importlib.util.spec_from_file_location("claims_to_csv", EXAMPLE)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


class DaskExampleTest(unittest.TestCase):
    def test_twenty_files_become_the_command_lines_csv(self):
        example = load_example()
        with tempfile.TemporaryDirectory() as folder:
            inputs = os.path.join(folder, "in")
            outputs = os.path.join(folder, "out")
            os.mkdir(inputs)
            names = sorted(n for n in os.listdir(DATA) if n != "README.md"
                           and not n.startswith("notx12"))[:20]
            for name in names:
                shutil.copy(os.path.join(DATA, name), inputs)
            open(os.path.join(inputs, "zz-empty.edi"), "wb").close()
            # A file of the same name in another folder would overwrite the first one's output.
            again = os.path.join(folder, "again")
            os.mkdir(again)
            with open(os.path.join(again, names[0]), "wb") as other:
                other.write(b"ST*837*1~SE*2*1~")
            printed = io.StringIO()
            with contextlib.redirect_stdout(printed):
                status = example.main([inputs, again, "--output-dir", outputs, "--workers", "2",
                                       "--quiet"])
            self.assertEqual(status, 1, printed.getvalue())
            self.assertIn("zz-empty.edi: ParseError: ", printed.getvalue())
            self.assertIn(f"again/{names[0]}: its output {outputs}/{names[0]}.csv would replace "
                          f"that of {inputs}/{names[0]}", printed.getvalue())
            self.assertEqual(sorted(os.listdir(outputs)), [n + ".csv" for n in names])
            for name in names:
                expected = subprocess.run([KELVANE, "--dump-csv", os.path.join(inputs, name)],
                                          capture_output=True, check=True).stdout
                with open(os.path.join(outputs, name + ".csv"), "rb") as written:
                    self.assertEqual(written.read(), expected, name)


if __name__ == "__main__":
    unittest.main()
