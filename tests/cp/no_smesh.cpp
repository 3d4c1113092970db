// SPDX-License-Identifier: MIT
// A shared library that loads but has no smesh_solve, for the loader's error message.
extern "C" int camber_not_the_solver() { return 1; }
