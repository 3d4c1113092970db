# SPDX-License-Identifier: MIT
"""One calculation of a section by the flow solver."""

import ctypes
import math

import numpy as np

from . import _library

# The ranges camber-cli accepts: Reynolds numbers of model aircraft to those of a transport
# wing, the free-stream disturbance levels the e^N method knows.
REYNOLDS_RANGE = (0.05e6, 1000e6)
NCRIT_RANGE = (1.0, 20.0)


class Solver:
    """A solver memory of one's own: each calculation on it starts from the last one's solution
    when the section and the flow case changed little, as in an optimisation loop. Calculations
    on one Solver must not overlap; different Solvers may be used from different threads."""

    def __init__(self):
        self._library = _library.solver()
        self._memory = self._library.smesh_new()
        if not self._memory:
            raise MemoryError("the solver has no memory left for a calculation of its own")

    def close(self):
        """Frees the memory; the Solver cannot be used after it."""
        if self._memory:
            self._library.smesh_free(self._memory)
            self._memory = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        self.close()

    def solve(self, section, flow):
        """The SmeshResult of a SmeshCase about the section's contour."""
        if not self._memory:
            raise ValueError("the Solver was closed")
        x = np.ascontiguousarray(section.x, dtype=np.float64)
        y = np.ascontiguousarray(section.y, dtype=np.float64)
        result = _library.SmeshResult()
        self._library.smesh_solve(self._memory, ctypes.byref(flow), len(x), _library.as_doubles(x),
                                  _library.as_doubles(y), ctypes.byref(result))
        return result


class Layer:
    """A boundary layer (from the stagnation point to the trailing edge) or the wake (from the
    trailing edge on), one NumPy array per quantity over its stations: x, y, s (arc length), ue
    (edge speed over the free-stream speed), theta, dstar (momentum and displacement thickness,
    chords), h (shape factor), cf (skin friction). Empty when inviscid."""

    def __init__(self, layer):
        n = layer.count
        for name in _library.LAYER_ARRAYS:
            setattr(self, name, np.array(getattr(layer, name)[:n]))

    def __len__(self):
        return len(self.x)


class Result:
    """What one calculation gave.

    status: 0 converged, 1 turbulent separation, 2 inviscid for an unusable Reynolds number,
    3 loosely coupled layers; negative: the calculation failed (-1 unusable contour, -2 not
    converged, -3 supersonic flow for the panel method, -4 the lift asked for is beyond the
    section's maximum at this Mach number: the numbers are those of the highest lift reached;
    -5 the processor lacks the x86-64-v3 instructions the solver library was built for).
    mach, alpha (degrees), cl, cd, cd_wave,
    cd_friction, cd_pressure, cm (quarter chord, nose up), max_mach, xtr_upper, xtr_lower
    (transition x/c, 1 when laminar to the end), xsep_upper, xsep_lower (separation x/c, 1 when
    attached). NumPy arrays at the 129 pressure points from the upper trailing edge round the
    leading edge: x, y, cp, local_mach, cf, dstar, theta. Layers upper, lower and wake.
    """

    def __init__(self, mach, r):
        self.mach = mach
        self.status = r.status
        self.alpha, self.cl, self.cd = r.alpha, r.cl, r.cd
        self.cd_wave, self.cd_friction, self.cd_pressure = r.cd_wave, r.cd_friction, r.cd_pressure
        self.cm, self.max_mach = r.cm, r.max_mach
        self.xtr_upper, self.xtr_lower = r.transition_upper, r.transition_lower
        self.xsep_upper, self.xsep_lower = r.separation_upper, r.separation_lower
        self.x, self.y, self.cp = np.array(r.cp_x), np.array(r.cp_y), np.array(r.cp)
        self.local_mach, self.cf = np.array(r.cp_mach), np.array(r.cp_cf)
        self.dstar, self.theta = np.array(r.cp_dstar), np.array(r.cp_theta)
        self.upper, self.lower, self.wake = Layer(r.upper), Layer(r.lower), Layer(r.wake)
        self.csv_line = _library.text_out(_library.program().camber_csv_line, mach, ctypes.byref(r))

    @property
    def ok(self):
        """True unless the calculation failed."""
        return self.status >= 0

    def __repr__(self):
        return (f"Result(status={self.status}, mach={self.mach:.4g}, alpha={self.alpha:.4f}, "
                f"cl={self.cl:.4f}, cd={self.cd:.6f})")


def _single(value):
    """The value in single precision, as the program holds Mach numbers, lift coefficients and
    angles, so that a case here is the same case as in the program and camber-cli."""
    return float(np.float32(value))


def flow_case(mach, cl=None, alpha=None, re=30e6, ncrit=9, transition=None, viscous=True, level=2,
              method=0):
    """The solver's flow case (a SmeshCase) of the arguments of analyze."""
    if (cl is None) == (alpha is None):
        raise TypeError("give either cl (the lift coefficient to reach) or alpha (degrees)")
    target = cl if cl is not None else alpha
    for name, value in (("mach", mach), ("cl" if cl is not None else "alpha", target)):
        if not math.isfinite(value):
            raise ValueError(f"{name} must be a finite number, not {value!r}")
    if not REYNOLDS_RANGE[0] <= re <= REYNOLDS_RANGE[1]:
        raise ValueError(f"re takes the Reynolds number (6.5e6, not 6.5), from {REYNOLDS_RANGE[0]:g} "
                         f"to {REYNOLDS_RANGE[1]:g}, not {re!r}")
    if not NCRIT_RANGE[0] <= ncrit <= NCRIT_RANGE[1]:
        raise ValueError(f"ncrit takes the critical amplification factor, from 1 to 20, not {ncrit!r}")
    upper, lower = _transition(transition)
    return _library.SmeshCase(version=_library.SMESH_VERSION, method=int(method), level=int(level),
                              prescribed_lift=1 if cl is not None else 0, viscous=1 if viscous else 0,
                              mach=_single(mach), target=_single(target), reynolds=float(re),
                              ncrit=float(ncrit), transition_upper=upper, transition_lower=lower)


def _transition(transition):
    """Forced transition x/c (upper, lower), 0 for free, from None, one number or a pair."""
    if transition is None:
        return 0.0, 0.0
    pair = (transition, transition) if isinstance(transition, (int, float)) else tuple(transition)
    if len(pair) != 2 or not all(0 <= float(x) <= 1 for x in pair):
        raise ValueError("transition takes x/c from 0 to 1 (0: free), one value or (upper, lower), "
                         f"not {transition!r}")
    return float(pair[0]), float(pair[1])


def analyze(section, mach, cl=None, alpha=None, re=30e6, ncrit=9, transition=None, viscous=True,
            level=2, method=0, solver=None):
    """Computes a section (from read_section) at Mach number mach, either at the lift
    coefficient cl or at the angle of attack alpha (degrees), as camber-cli cp does.

    re is the Reynolds number (6.5e6); ncrit the critical amplification factor of the e^N
    transition method; transition a forced transition x/c for both surfaces or a pair
    (upper, lower), 0 or None leaving it free; viscous False for inviscid flow; level the
    resolution 1 to 3; method 0 the transonic full-potential method, 1 the panel method. Without
    a solver each call starts cold, on a memory of its own; give a Solver to start from its last
    solution. Returns a Result, whose status says whether the calculation succeeded.
    """
    flow = flow_case(mach, cl, alpha, re, ncrit, transition, viscous, level, method)
    if solver is not None:
        return Result(flow.mach, solver.solve(section, flow))
    with Solver() as cold:
        return Result(flow.mach, cold.solve(section, flow))
