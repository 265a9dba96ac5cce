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
import wave

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


def read_wav16(path):
    """Samples of a 16-bit mono WAV file, full scale 1."""
    with wave.open(path) as w:
        return np.frombuffer(w.readframes(w.getnframes()), dtype="<i2") / 32768.0, w.getframerate()


def period_samples(y, sr, start_s, length_s=0.2):
    """Strongest autocorrelation lag of a stretch of y, 2.5-20 ms."""
    x = y[int(start_s * sr):int((start_s + length_s) * sr)]
    x = x - x.mean()
    lags = np.arange(int(0.0025 * sr), int(0.02 * sr))
    r = [np.dot(x[:-k], x[k:]) / np.sqrt(np.dot(x[:-k], x[:-k]) * np.dot(x[k:], x[k:]))
         for k in lags]
    return lags[int(np.argmax(r))]


class Psola(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="glotmark-python-psola-")
        cls.sound = os.path.join(cls.tmp, "voice.wav")
        shutil.copy(SOUND, cls.sound)
        cls.x, cls.sr = read_wav16(cls.sound)
        cls.same = glotmark.psola(cls.sound)  # makes the analysis beside the sound

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def test_factor_one_gives_back_the_input(self):
        self.assertTrue(os.path.isfile(os.path.join(self.tmp, "PSOvoice", "voice.1PSO.sdif")))
        self.assertEqual(self.same.dtype, np.float64)
        np.testing.assert_allclose(self.same, self.x, atol=1e-6)

    def test_pitch_and_time_as_the_program_does(self):
        y = glotmark.psola(self.sound, pitch=1.5)
        self.assertEqual(len(y), len(self.x))
        # The voice of the example is voiced from 0.3 s to 1.7 s.
        ratio = period_samples(self.x, self.sr, 0.8) / period_samples(y, self.sr, 0.8)
        self.assertAlmostEqual(ratio, 1.5, delta=0.05)
        out = os.path.join(self.tmp, "long.wav")
        self.assertEqual(glotmark.psola(self.sound, out, time=2, pitch=1.5), out)
        program = os.path.join(self.tmp, "program.wav")
        subprocess.run([os.path.join(BIN, "glotmark-psola"), "--time=2", "--pitch=1.5",
                        self.sound, program], check=True, capture_output=True)
        with open(out, "rb") as a, open(program, "rb") as b:
            self.assertEqual(a.read(), b.read())
        z, sr = read_wav16(out)
        self.assertEqual(sr, self.sr)
        self.assertLessEqual(abs(len(z) - 2 * len(self.x)), 1)

    def test_curves_as_break_points_or_files(self):
        points = [(0.0, 1.0), (1.0, 2.0)]
        curve = os.path.join(self.tmp, "pitch.txt")
        with open(curve, "w") as f:
            f.write("# time factor\n0 1\n1 2\n")
        a = glotmark.psola(self.sound, pitch_curve=points)
        np.testing.assert_array_equal(a, glotmark.psola(self.sound, pitch_curve=np.array(points)))
        np.testing.assert_array_equal(a, glotmark.psola(self.sound, pitch_curve=curve))
        # f0 doubles towards the end, stays put at the start.
        self.assertGreater(period_samples(self.x, self.sr, 1.3) / period_samples(a, self.sr, 1.3),
                           1.6)
        flat = glotmark.psola(self.sound, intonation=0, analysis=os.path.join(self.tmp, "PSOvoice"))
        self.assertEqual(len(flat), len(self.x))
        self.assertGreater(np.max(np.abs(flat - self.x)), 0.01)

    def test_refusals_say_why(self):
        cases = [
            (dict(pitch=5), ValueError, "pitch must lie in [0.25, 4]"),
            (dict(time=0.1), ValueError, "time must lie in [0.25, 4]"),
            (dict(intonation=9), ValueError, "intonation must lie in [-4, 4]"),
            (dict(pitch_curve=[(0, 1), (0, 2)]), ValueError,
             "pitch_curve: point 2: time is not after"),
            (dict(time_curve=[(0, 9)]), ValueError, "time_curve: point 1: value 9 lies outside"),
            (dict(f0_curve=[1, 2, 3]), ValueError, "f0_curve: expected a file name or"),
            (dict(pitch_curve=os.path.join(self.tmp, "none.txt")), ValueError,
             "none.txt: cannot be read"),
            (dict(out=os.path.join(self.tmp, "o.xyz")), RuntimeError, "cannot tell the sound"),
            (dict(out=self.sound), RuntimeError, "out is the input sound itself"),
            (dict(analysis=os.path.join(self.tmp, "nowhere")), RuntimeError, "nowhere"),
        ]
        for kwargs, error, message in cases:
            with self.subTest(message=message):
                with self.assertRaises(error) as e:
                    glotmark.psola(self.sound, **kwargs)
                self.assertIn(message, str(e.exception))
        # Marks made from another, shorter sound do not fit this one.
        short = os.path.join(self.tmp, "short.wav")
        with wave.open(short, "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(self.sr)
            w.writeframes((self.x[: self.sr // 2] * 32767).astype("<i2").tobytes())
        glotmark.analyse(short, "-S")
        with self.assertRaises(RuntimeError) as e:
            glotmark.psola(self.sound, analysis=os.path.join(self.tmp, "PSOshort"))
        self.assertIn("does not fit", str(e.exception))
        with self.assertRaises(RuntimeError) as e:
            glotmark.psola(os.path.join(self.tmp, "absent.wav"))
        self.assertIn("exit status 1", str(e.exception))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
