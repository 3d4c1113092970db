// SPDX-License-Identifier: MIT
#pragma once

#include "solver/FullPotential.h"
#include "solver/Solver.h"

#include <string>
#include <utility>
#include <vector>

namespace camber::test {

/// NACA four-digit section as solver contour points (see naca4).
std::vector<smesh::Point> naca_points(int digits, int n_up, bool sharp);

/// A section file read as the program reads it and passed as the program passes it to the
/// solver (its 129-point contour).
std::vector<smesh::Point> section_points(const std::string& path);

/// Adds a Hicks-Henne bump sin^3(pi x^(ln 0.5 / ln centre)) of amplitude a to the upper (a > 0
/// moves it out) or lower surface of a contour that runs round the leading edge at its middle.
void bump(std::vector<smesh::Point>& contour, double centre, double a, bool upper);

/// Solves the changed contour on warm (which holds the solution before the change) and on a
/// fresh solver, and checks what a drag step needs: the warm start is taken, both converge to
/// the same lift and drag within 1e-4 and angle within alphaTolerance (degrees), and the warm
/// start needs fewer iterations. Returns the warm and the cold result.
std::pair<smesh::FlowResult, smesh::FlowResult> expect_warm_equals_cold(smesh::FullPotential& warm,
                                                                         const std::vector<smesh::Point>& contour,
                                                                         const smesh::FlowCase& flow,
                                                                         double alphaTolerance);

/// True when every number of the result, boundary-layer outputs included, is finite.
bool all_finite(const smesh::FlowResult& r);

} // namespace camber::test
