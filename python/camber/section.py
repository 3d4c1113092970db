# SPDX-License-Identifier: MIT
"""Reading a section file with the program's own reader."""

import ctypes
import os

import numpy as np

from . import _library
from .errors import SectionError


class Section:
    """A wing section as the program reads it: normalised to the chord from the leading edge at
    the origin to the trailing-edge midpoint at (1, 0), and the contour it hands the solver.

    path: the file read; title: its title line; twist: the angle (degrees) the section was
    turned by; stations: its number of upper-surface points; x, y: the solver's contour from the
    upper trailing edge round the leading edge to the lower trailing edge (NumPy arrays).
    """

    def __init__(self, path, title, twist, stations, x, y):
        self.path = path
        self.title = title
        self.twist = twist
        self.stations = stations
        self.x = x
        self.y = y

    def __repr__(self):
        return f"Section({self.title!r}, {len(self.x)} contour points, from {self.path!r})"


def read_section(path):
    """Reads a section file (.ULF) as the program does. Raises SectionError naming the file and
    the line when it cannot be read."""
    path = os.fspath(path)
    section = _library.CamberSection()
    error = _library.CamberError()
    if _library.program().camber_read_section(os.fsencode(path), ctypes.byref(section),
                                              ctypes.byref(error)) != 0:
        raise SectionError(error.message.decode(errors="replace"), path, error.line or None)
    n = section.n_points
    return Section(path, section.title.decode(errors="replace"), section.twist, section.stations,
                   np.array(section.x[:n]), np.array(section.y[:n]))
