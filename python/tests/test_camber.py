# SPDX-License-Identifier: MIT
"""The Python package against the program's batch tool and the real libraries."""

import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

import numpy as np

import camber

EXAMPLES = Path(os.environ.get("CAMBER_EXAMPLES", Path(__file__).resolve().parents[2] / "examples"))
CLI = os.environ.get("CAMBER_CLI", str(Path(__file__).resolve().parents[2] / "build" / "bin" / "camber-cli"))
NACA2412 = EXAMPLES / "naca2412.ULF"


def cli(*args):
    return subprocess.run([CLI, *map(str, args)], capture_output=True, text=True, check=False)


def cp_fields(line):
    return dict(word.split("=", 1) for word in line.split())


class ReadSection(unittest.TestCase):
    def test_reads_the_contour_the_program_hands_the_solver(self):
        section = camber.read_section(NACA2412)
        self.assertEqual(section.title, "NACA 2412, 61+61 points")
        self.assertEqual(section.stations, 61)
        self.assertEqual(len(section.x), 2 * 61 - 1)
        # Upper trailing edge round the leading edge (the origin) to the lower trailing edge.
        self.assertEqual((section.x[0], section.x[60], section.x[-1]), (1.0, 0.0, 1.0))
        self.assertGreater(section.y[30], 0)
        self.assertLess(section.y[90], 0)

    def test_a_bad_file_raises_an_error_with_its_file_and_line(self):
        with tempfile.TemporaryDirectory() as folder:
            bad = Path(folder) / "bad.ULF"
            bad.write_text("title\nfree\n0 3 3\nX Y\n0 0\n")
            with self.assertRaises(camber.SectionError) as caught:
                camber.read_section(bad)
            self.assertEqual(caught.exception.filename, str(bad))
            self.assertEqual(caught.exception.lineno, 6)
            self.assertIn(f"{bad}: line 6", str(caught.exception))
            with self.assertRaises(camber.SectionError) as missing:
                camber.read_section(Path(folder) / "missing.ULF")
            self.assertIsNone(missing.exception.lineno)
            self.assertIn("cannot open", str(missing.exception))


class WithNaca2412(unittest.TestCase):
    section = None

    @classmethod
    def setUpClass(cls):
        cls.section = camber.read_section(NACA2412)


class Analyze(WithNaca2412):
    def assert_same_as_cp(self, python, args):
        with tempfile.TemporaryDirectory() as folder:
            run = cli("cp", NACA2412, Path(folder) / "out.cpo", *args)
        self.assertIn(run.returncode, (0, 3), run.stderr)
        printed = cp_fields(run.stdout)
        ours = dict(zip(camber.COLUMNS, python.csv_line.split(",")))
        for name in ("alpha", "cl", "cd", "cd_wave", "cd_friction", "cm", "xtr_upper", "xtr_lower", "status"):
            self.assertEqual(ours[name], printed[name], f"{name} of {' '.join(args)}")

    def test_gives_the_batch_tools_numbers_to_the_last_digit(self):
        cases = [
            (dict(mach=0.5, cl=0.4, re=6e6, method=1), ["--mach", "0.5", "--cl", "0.4", "--re", "6", "--method", "1"]),
            (dict(mach=0.3, alpha=3, re=3.5e6, ncrit=5, transition=(0, 0.4), method=1),
             ["--mach", "0.3", "--alpha", "3", "--re", "3.5", "--ncrit", "5", "--transition", "0,0.4",
              "--method", "1"]),
            (dict(mach=0.3, alpha=2, viscous=False, level=3, method=1),
             ["--mach", "0.3", "--alpha", "2", "--inviscid", "--level", "3", "--method", "1"]),
            (dict(mach=0.6, cl=0.3, level=1), ["--mach", "0.6", "--cl", "0.3", "--level", "1"]),
        ]
        for kwargs, args in cases:
            with self.subTest(args=args):
                self.assert_same_as_cp(camber.analyze(self.section, **kwargs), args)

    def test_gives_the_pressure_distribution_and_the_layers(self):
        r = camber.analyze(self.section, mach=0.3, alpha=2, re=6e6, method=1)
        self.assertTrue(r.ok)
        self.assertEqual(r.cp.shape, (129,))
        self.assertLess(abs(r.x[64]), 1e-3)  # the leading edge
        self.assertLess(r.cp[40], 0)  # suction on the upper surface
        self.assertGreater(r.cf[40], 0)
        for layer in (r.upper, r.lower, r.wake):
            self.assertEqual(len(layer.x), len(layer.theta))
            self.assertEqual(len(layer.h), len(layer))
        inviscid = camber.analyze(self.section, mach=0.3, alpha=2, viscous=False, method=1)
        self.assertEqual((inviscid.cd, len(inviscid.upper)), (0.0, 0))
        self.assertTrue(np.all(inviscid.cf == 0))

    def test_a_failed_calculation_is_a_status_not_an_exception(self):
        r = camber.analyze(self.section, mach=0.8, cl=0.5, method=1)
        self.assertEqual(r.status, -3)
        self.assertFalse(r.ok)
        self.assertTrue(np.all(np.isfinite(r.cp)))

    def test_refuses_arguments_the_batch_tool_refuses(self):
        s = self.section
        with self.assertRaises(TypeError):
            camber.analyze(s, mach=0.5, cl=0.4, alpha=2)
        with self.assertRaises(TypeError):
            camber.analyze(s, mach=0.5)
        for kwargs in (dict(re=6.5), dict(re=2e9), dict(ncrit=0.5), dict(transition=1.5), dict(transition=(0.1,)),
                       dict(mach=float("nan"))):
            with self.subTest(**{k: str(v) for k, v in kwargs.items()}):
                with self.assertRaises(ValueError):
                    camber.analyze(s, **{"mach": 0.5, "cl": 0.4, **kwargs})

    def test_a_solver_of_ones_own_warm_starts_and_closes(self):
        with camber.Solver() as solver:
            first = camber.analyze(self.section, mach=0.5, cl=0.4, method=1, solver=solver)
            again = camber.analyze(self.section, mach=0.5, cl=0.4, method=1, solver=solver)
        self.assertAlmostEqual(first.cd, again.cd, delta=1e-4)
        with self.assertRaises(ValueError):
            solver.solve(self.section, camber.analysis.flow_case(0.5, cl=0.4))


class PolarAgainstTheBatchTool(WithNaca2412):
    def assert_same_file(self, curve, args):
        with tempfile.TemporaryDirectory() as folder:
            ours, theirs = Path(folder) / "python.csv", Path(folder) / "cli.csv"
            run = cli("polar", NACA2412, theirs, *args)
            curve.save_csv(ours)
            self.assertEqual(ours.read_bytes(), theirs.read_bytes(), " ".join(args))
        return run

    def test_a_mach_sweep_writes_the_same_file_and_divergence(self):
        curve = camber.polar(self.section, mach="0.3:0.8:0.05", cl=0.5, re=6e6, method=1)
        run = self.assert_same_file(curve, ["--mach", "0.3:0.8:0.05", "--cl", "0.5", "--re", "6", "--method", "1"])
        self.assertEqual(run.returncode, 3, "the panel method refuses the supersonic points")
        self.assertEqual(run.stdout.strip(), curve.divergence_text())
        self.assertEqual(curve.swept, "mach")
        self.assertEqual(len(curve), 11)
        self.assertEqual(curve.status[0], 0)
        self.assertEqual(curve.status[-1], -3)
        np.testing.assert_allclose(curve.mach, np.float32(camber.sweep("0.3:0.8:0.05")), rtol=0, atol=0)

    def test_lift_and_angle_sweeps_write_the_same_files(self):
        lift = camber.polar(self.section, mach=0.3, cl="1.0:-0.2:-0.3", re=6e6, method=1, transition=0.3)
        self.assert_same_file(lift, ["--mach", "0.3", "--cl", "1.0:-0.2:-0.3", "--re", "6", "--method", "1",
                                     "--transition", "0.3"])
        np.testing.assert_allclose(lift.cl, [1.0, 0.7, 0.4, 0.1, -0.2], atol=1e-4)
        angle = camber.polar(self.section, mach=0.3, alpha=[4, 0, 2], method=1, viscous=False)
        self.assertEqual(list(angle.alpha), [4.0, 0.0, 2.0])
        self.assertIsNone(angle.divergence_mach)
        self.assertEqual(angle.divergence_text(), "divergence_mach=none")

    def test_refuses_what_is_not_one_sweep(self):
        s = self.section
        for kwargs in (dict(mach=0.5, cl=0.4), dict(mach="0.5:0.7:0.1", cl="0:1:0.5"),
                       dict(mach="0.5:0.7:0.1", alpha=2), dict(mach=0.5, cl="0:1"), dict(mach=0.5, cl="0:1:0")):
            with self.subTest(**kwargs):
                with self.assertRaises(ValueError):
                    camber.polar(s, **kwargs)


class FindingTheLibraries(unittest.TestCase):
    """Each case in a fresh interpreter: a process loads the libraries once."""

    def run_python(self, library):
        env = dict(os.environ, CAMBER_LIBRARY=str(library))
        code = ("import camber, sys\n"
                "try:\n"
                f"    print(camber.read_section({str(NACA2412)!r}).stations)\n"
                "except camber.LibraryError as e:\n"
                "    print('LibraryError', e)\n")
        return subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, check=True)

    def test_camber_library_names_the_solver_library_or_its_folder(self):
        folder = Path(os.environ["CAMBER_LIBRARY"])
        folder = folder if folder.is_dir() else folder.parent
        self.assertEqual(self.run_python(folder).stdout.strip(), "61")
        self.assertEqual(self.run_python(folder / "libsmesh.so").stdout.strip(), "61")
        missing = self.run_python("/nonexistent/dll").stdout
        self.assertTrue(missing.startswith("LibraryError CAMBER_LIBRARY=/nonexistent/dll"), missing)


if __name__ == "__main__":
    unittest.main()
