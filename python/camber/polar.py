# SPDX-License-Identifier: MIT
"""Polars and drag-divergence curves, as camber-cli polar computes them."""

import ctypes
import numbers
import os

import numpy as np

from . import _library
from .analysis import Solver, analyze
from .errors import CamberError

# As the program's polar.
MAX_POINTS = 1000
COLUMNS = ("mach", "alpha", "cl", "cd", "cd_wave", "cd_friction", "cm", "xtr_upper", "xtr_lower", "status")


def sweep(text):
    """The values of a sweep "A:B:STEP" exactly as camber-cli polar takes it: from A to B in steps
    of STEP (negative to sweep downwards), B kept when it lies on a step (NumPy array)."""
    try:
        start, stop, step = (float(part) for part in text.split(":"))
    except ValueError:
        raise ValueError(f"a sweep is A:B:STEP, three numbers, not {text!r}") from None
    values = np.zeros(MAX_POINTS)
    error = _library.CamberError()
    n = _library.program().camber_sweep_values(start, stop, step, _library.as_doubles(values), MAX_POINTS,
                                               ctypes.byref(error))
    if n < 0:
        raise ValueError(f"{text}: {error.message.decode()}")
    return values[:n].copy()


def _is_sweep(value):
    return value is not None and not isinstance(value, numbers.Real)


class Polar:
    """The points of a polar in sweep order (Results) and its columns as NumPy arrays (mach,
    alpha, cl, cd, cd_wave, cd_friction, cm, xtr_upper, xtr_lower, status). swept is "mach",
    "cl" or "alpha"."""

    def __init__(self, swept, points):
        self.swept = swept
        self.points = points

    def __len__(self):
        return len(self.points)

    def __iter__(self):
        return iter(self.points)

    def __getitem__(self, index):
        return self.points[index]

    def __getattr__(self, name):
        if name in COLUMNS:
            return np.array([getattr(p, name) for p in self.points],
                            dtype=np.int32 if name == "status" else np.float64)
        raise AttributeError(name)

    @property
    def divergence_mach(self):
        """Of a Mach sweep: the Mach number where dCD/dM between neighbouring converged points
        first rises to 0.1, None when the sweep does not bracket it (or sweeps no Mach number)."""
        found, mach = self._divergence()
        return mach if found else None

    def divergence_text(self):
        """"divergence_mach=M" or "divergence_mach=none", as camber-cli polar prints it."""
        found, mach = self._divergence()
        return _library.text_out(_library.program().camber_divergence_text, found, mach)

    def _divergence(self):
        if self.swept != "mach" or not self.points:
            return 0, 0.0
        mach = np.ascontiguousarray(self.mach)
        cd = np.ascontiguousarray(self.cd)
        status = np.ascontiguousarray(self.status)
        found = ctypes.c_double(0.0)
        n = _library.program().camber_divergence_mach(len(mach), _library.as_doubles(mach),
                                                      _library.as_doubles(cd), _library.as_int32s(status),
                                                      ctypes.byref(found))
        return n, found.value

    def csv_lines(self):
        """The lines of camber-cli polar's CSV file: the header and one line per point."""
        return [_library.program().camber_csv_header().decode()] + [p.csv_line for p in self.points]

    def save_csv(self, path):
        """Writes the CSV file as camber-cli polar does (CR LF line ends), replacing it whole or
        not at all."""
        path = os.fspath(path)
        partial = path + ".partial"
        try:
            with open(partial, "w", newline="\r\n") as out:
                out.write("\n".join(self.csv_lines()) + "\n")
            os.replace(partial, path)
        except OSError as e:
            if os.path.exists(partial):
                os.remove(partial)
            raise CamberError(f"{path}: cannot write the file ({e.strerror or e})") from e


def polar(section, mach, cl=None, alpha=None, re=30e6, ncrit=9, transition=None, viscous=True, level=2,
          method=0):
    """Computes a polar as camber-cli polar does: exactly one of mach, cl and alpha is a sweep,
    either "A:B:STEP" as the batch tool takes it or a sequence of values, in order; the others
    are numbers (a Mach sweep holds the lift coefficient cl). Each point starts from the previous
    one's solution on a solver memory of the polar's own. The other arguments are those of
    analyze. Returns a Polar; a failed point is kept with its status."""
    if (cl is None) == (alpha is None):
        raise TypeError("give either cl (lift coefficients) or alpha (angles, degrees)")
    swept = [name for name, value in (("mach", mach), ("cl", cl), ("alpha", alpha)) if _is_sweep(value)]
    if len(swept) != 1:
        raise ValueError("exactly one of mach, cl and alpha is a sweep (\"A:B:STEP\" or a sequence)")
    name = swept[0]
    if name == "mach" and alpha is not None:
        raise ValueError("a Mach sweep holds the lift coefficient: give cl")
    given = {"mach": mach, "cl": cl, "alpha": alpha}[name]
    values = sweep(given) if isinstance(given, str) else [float(v) for v in given]
    case = {"mach": mach, "cl": cl, "alpha": alpha}
    points = []
    with Solver() as solver:
        for value in values:
            case[name] = value
            points.append(analyze(section, re=re, ncrit=ncrit, transition=transition, viscous=viscous,
                                  level=level, method=method, solver=solver, **case))
    return Polar(name, points)
