# SPDX-License-Identifier: MIT
"""Finding and loading the solver library and the program's own library, with the C structs."""

import ctypes
import os
from pathlib import Path

from .errors import LibraryError

SMESH_VERSION = 1
CP_POINTS = 129
MAX_STATIONS = 256
MESSAGE_SIZE = 512

_SOLVER = "libsmesh.so"
_PROGRAM = "libcamber.so"

_c_double_p = ctypes.POINTER(ctypes.c_double)
_c_int32_p = ctypes.POINTER(ctypes.c_int32)


class SmeshCase(ctypes.Structure):
    _fields_ = [
        ("version", ctypes.c_int32),
        ("method", ctypes.c_int32),
        ("level", ctypes.c_int32),
        ("prescribed_lift", ctypes.c_int32),
        ("viscous", ctypes.c_int32),
        ("reserved", ctypes.c_int32),
        ("mach", ctypes.c_double),
        ("target", ctypes.c_double),
        ("reynolds", ctypes.c_double),
        ("ncrit", ctypes.c_double),
        ("transition_upper", ctypes.c_double),
        ("transition_lower", ctypes.c_double),
    ]


LAYER_ARRAYS = ("x", "y", "s", "ue", "theta", "dstar", "h", "cf")


class SmeshLayer(ctypes.Structure):
    _fields_ = [("count", ctypes.c_int32), ("reserved", ctypes.c_int32)] + [
        (name, ctypes.c_double * MAX_STATIONS) for name in LAYER_ARRAYS
    ]


RESULT_NUMBERS = ("alpha", "cl", "cd", "cd_wave", "cd_friction", "cd_pressure", "cm", "max_mach",
                  "transition_upper", "transition_lower", "separation_upper", "separation_lower")
RESULT_ARRAYS = ("cp_x", "cp_y", "cp", "cp_mach", "cp_cf", "cp_dstar", "cp_theta")


class SmeshResult(ctypes.Structure):
    _fields_ = (
        [(name, ctypes.c_int32) for name in ("version", "status", "iterations", "n_cp")]
        + [(name, ctypes.c_double) for name in RESULT_NUMBERS]
        + [(name, ctypes.c_double * CP_POINTS) for name in RESULT_ARRAYS]
        + [(name, SmeshLayer) for name in ("upper", "lower", "wake")]
    )


class CamberSection(ctypes.Structure):
    _fields_ = [
        ("title", ctypes.c_char * 81),
        ("reserved", ctypes.c_char * 3),
        ("stations", ctypes.c_int32),
        ("n_points", ctypes.c_int32),
        ("twist", ctypes.c_double),
        ("x", ctypes.c_double * CP_POINTS),
        ("y", ctypes.c_double * CP_POINTS),
    ]


class CamberError(ctypes.Structure):
    _fields_ = [("line", ctypes.c_int32), ("message", ctypes.c_char * MESSAGE_SIZE)]


def _candidates():
    """The places to look in, with how each was chosen, in order."""
    here = Path(__file__).resolve().parent
    return [(here, "beside the package"),
            (here.parents[1] / "build" / "bin" / "dll", "in the build tree")]


def _locate():
    """The paths of the solver library and of the program's library."""
    chosen = os.environ.get("CAMBER_LIBRARY")
    if chosen:
        path = Path(chosen)
        solver = path if path.is_file() else path / _SOLVER
        program = solver.parent / _PROGRAM
        for needed in (solver, program):
            if not needed.is_file():
                raise LibraryError(f"CAMBER_LIBRARY={chosen}: there is no {needed}")
        return solver, program
    for folder, _ in _candidates():
        if (folder / _SOLVER).is_file() and (folder / _PROGRAM).is_file():
            return folder / _SOLVER, folder / _PROGRAM
    places = "; ".join(f"{folder} ({why})" for folder, why in _candidates())
    raise LibraryError(f"cannot find {_SOLVER} and {_PROGRAM}: set CAMBER_LIBRARY to their folder "
                       f"or to the path of {_SOLVER}; looked in {places}")


def _declare(solver, program):
    solver.smesh_new.restype = ctypes.c_void_p
    solver.smesh_new.argtypes = []
    solver.smesh_free.restype = None
    solver.smesh_free.argtypes = [ctypes.c_void_p]
    solver.smesh_solve.restype = ctypes.c_int32
    solver.smesh_solve.argtypes = [ctypes.c_void_p, ctypes.POINTER(SmeshCase), ctypes.c_int32,
                                   _c_double_p, _c_double_p, ctypes.POINTER(SmeshResult)]
    program.camber_read_section.restype = ctypes.c_int32
    program.camber_read_section.argtypes = [ctypes.c_char_p, ctypes.POINTER(CamberSection),
                                            ctypes.POINTER(CamberError)]
    program.camber_sweep_values.restype = ctypes.c_int32
    program.camber_sweep_values.argtypes = [ctypes.c_double, ctypes.c_double, ctypes.c_double,
                                            _c_double_p, ctypes.c_int32, ctypes.POINTER(CamberError)]
    program.camber_divergence_mach.restype = ctypes.c_int32
    program.camber_divergence_mach.argtypes = [ctypes.c_int32, _c_double_p, _c_double_p, _c_int32_p,
                                               _c_double_p]
    program.camber_csv_header.restype = ctypes.c_char_p
    program.camber_csv_header.argtypes = []
    program.camber_csv_line.restype = ctypes.c_int32
    program.camber_csv_line.argtypes = [ctypes.c_double, ctypes.POINTER(SmeshResult), ctypes.c_char_p,
                                        ctypes.c_int32]
    program.camber_divergence_text.restype = ctypes.c_int32
    program.camber_divergence_text.argtypes = [ctypes.c_int32, ctypes.c_double, ctypes.c_char_p,
                                               ctypes.c_int32]
    program.camber_struct_size.restype = ctypes.c_int64
    program.camber_struct_size.argtypes = [ctypes.c_char_p]


def _check_layout(program, where):
    for struct in (SmeshCase, SmeshLayer, SmeshResult, CamberSection, CamberError):
        size = program.camber_struct_size(struct.__name__.encode())
        if size != ctypes.sizeof(struct):
            raise LibraryError(f"{where}: the struct {struct.__name__} has {size} bytes there and "
                               f"{ctypes.sizeof(struct)} in this package: the package and the libraries "
                               f"come from different versions")


class _Libraries:
    """The two libraries, loaded at first use."""

    def __init__(self):
        self._loaded = None

    def get(self):
        if self._loaded is None:
            solver_path, program_path = _locate()
            try:
                solver = ctypes.CDLL(str(solver_path))
                program = ctypes.CDLL(str(program_path))
            except OSError as e:
                raise LibraryError(f"cannot load {solver_path} or {program_path}: {e}") from e
            _declare(solver, program)
            _check_layout(program, program_path)
            self._loaded = (solver, program)
        return self._loaded


_libraries = _Libraries()


def solver():
    """The solver library (libsmesh.so)."""
    return _libraries.get()[0]


def program():
    """The program's library (libcamber.so)."""
    return _libraries.get()[1]


def as_doubles(values):
    """A pointer to the doubles of a contiguous float64 NumPy array."""
    return values.ctypes.data_as(_c_double_p)


def as_int32s(values):
    """A pointer to the integers of a contiguous int32 NumPy array."""
    return values.ctypes.data_as(_c_int32_p)


def text_out(call, *args, size=1024):
    """The text a library function writes into a buffer it is given."""
    buffer = ctypes.create_string_buffer(size)
    length = call(*args, buffer, size)
    if length < 0:
        raise LibraryError(f"{call.__name__}: the text does not fit in {size} bytes")
    return buffer.value.decode()
