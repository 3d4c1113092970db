# SPDX-License-Identifier: MIT
"""Camber's wing-section reader and flow solver from Python.

    import camber
    section = camber.read_section("examples/naca2412.ULF")
    result = camber.analyze(section, mach=0.7, cl=0.5, re=6.5e6)
    print(result.alpha, result.cd, result.cd_wave)
    curve = camber.polar(section, mach="0.6:0.8:0.01", cl=0.5, re=6.5e6)

The libraries are found through the environment variable CAMBER_LIBRARY (the path of
libsmesh.so, or of the folder holding it and libcamber.so), else beside this package, else in
the build tree (build/bin/dll).
"""

from .analysis import Layer, Result, Solver, analyze
from .errors import CamberError, LibraryError, SectionError
from .polar import COLUMNS, Polar, polar, sweep
from .section import Section, read_section

__all__ = ["COLUMNS", "CamberError", "Layer", "LibraryError", "Polar", "Result", "Section", "SectionError", "Solver",
           "analyze", "polar", "read_section", "sweep"]
