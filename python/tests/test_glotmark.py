"""Tests of the glotmark Python module, run by ctest with Debian's python3 and numpy.

Usage: test_glotmark.py SOUND.wav BIN_DIR  (exit status 77: skipped, numpy missing)
"""
import csv
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

try:
    import numpy as np
except ImportError:
    print("numpy is not installed for", sys.executable, "- skipped")
    sys.exit(77)

import glotmark

SOUND, BIN = sys.argv[1], sys.argv[2]


def dump_csv(path, *options):
    """The same file through glotmark-dump --csv: header row and rows, comments dropped."""
    out = subprocess.run([os.path.join(BIN, "glotmark-dump"), "--csv", *options, path],
                         check=True, capture_output=True, text=True).stdout
    rows = list(csv.reader(l for l in out.splitlines() if not l.startswith("#")))
    return rows[0], np.array(rows[1:], dtype=float)


class Analysis(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="glotmark-python-")
        cls.sound = os.path.join(cls.tmp, "voice.wav")
        shutil.copy(SOUND, cls.sound)
        cls.folder = glotmark.analyse(cls.sound, "-S")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def file(self, sig):
        return os.path.join(self.folder, "voice.%s.sdif" % sig)

    def test_analyse_writes_the_folder_beside_the_sound(self):
        self.assertEqual(self.folder, os.path.join(self.tmp, "PSOvoice/"))
        for sig in ("1FQ0", "1ECS", "1VOI", "1MRK", "1VUT", "1PSO"):
            self.assertTrue(os.path.isfile(self.file(sig)), sig)

    def test_read_gives_named_columns_that_agree_with_the_csv_table(self):
        d = glotmark.read(self.file("1PSO"))
        self.assertEqual(d["header"]["Program"], "Glotmark")
        self.assertEqual(d["rate"], 44100.0)
        pso = d["1PSO"]
        names, table = dump_csv(self.file("1PSO"))
        self.assertEqual(names[0], "time_s")
        self.assertEqual(list(pso.keys()), ["time"] + names[1:])
        for k, name in enumerate(names):
            column = pso["time" if k == 0 else name]
            self.assertEqual(column.dtype, np.float64)
            np.testing.assert_array_equal(column.astype(np.float32), table[:, k].astype(np.float32))
        # The rate matrix stays a matrix of its own, the marks' positions are their times.
        np.testing.assert_array_equal(d["ITDS"]["SamplingRate"], 44100.0)
        np.testing.assert_allclose(pso["Position"] / d["rate"], pso["time"], atol=1e-6)

    def test_per_sample_curve_has_sample_and_time(self):
        d = glotmark.read(self.file("1ECS"))
        ecs = d["1ECS"]
        n = len(ecs["EpocsSmallReallocation"])
        # Element i belongs to sample i of the 2 s sound at 44.1 kHz; the energy curve stops 100
        # samples (its filter's length) before the end.
        self.assertEqual(n, 88200 - 100)
        np.testing.assert_array_equal(ecs["sample"], np.arange(n))
        np.testing.assert_allclose(ecs["time"], np.arange(n) / 44100.0)

    def test_zones_and_marks(self):
        z = glotmark.zones(self.file("1VOI"))
        self.assertEqual(z.shape[1], 2)
        self.assertGreater(len(z), 0)
        self.assertTrue(np.all(z[:, 1] > z[:, 0]))
        m = glotmark.marks(self.file("1VUT"))
        self.assertTrue(set(np.unique(m["kind"])) <= {0, 1, 2})
        self.assertTrue(np.all(np.diff(m["time"]) > 0))
        # Voiced marks lie in voiced zones.
        voiced = m["time"][m["kind"] == 1]
        inside = [np.any((z[:, 0] <= t) & (t <= z[:, 1])) for t in voiced]
        self.assertGreater(np.mean(inside), 0.9)

    def test_failures_raise_and_keep_the_interpreter(self):
        with self.assertRaises(OSError) as e:
            glotmark.read(os.path.join(self.tmp, "absent.sdif"))
        self.assertIn("absent.sdif", str(e.exception))
        with self.assertRaises(RuntimeError) as e:
            glotmark.analyse(os.path.join(self.tmp, "absent.wav"), "-S")
        self.assertIn("doesn't exist", str(e.exception))
        self.assertIn("exit status 1", str(e.exception))
        with self.assertRaises(glotmark.Error):
            glotmark.zones(self.file("1FQ0"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
