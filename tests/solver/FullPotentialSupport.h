// SPDX-License-Identifier: MIT
#pragma once

#include "solver/FullPotential.h"
#include "solver/Solver.h"

#include <vector>

namespace camber::test {

/// The full-potential solver with a time budget far beyond what a solve takes: the tests judge
/// the numbers, and a sanitised debug build must not run out of time.
class LongBudgetSolver : public smesh::FullPotential {
public:
    LongBudgetSolver() { setTimeBudget(120); }
};

/// NACA four-digit section as solver contour points (see naca4).
std::vector<smesh::Point> naca_points(int digits, int n_up, bool sharp);

/// Adds a Hicks-Henne bump sin^3(pi x^(ln 0.5 / ln centre)) of amplitude a to the upper (a > 0
/// moves it out) or lower surface of a contour that runs round the leading edge at its middle.
void bump(std::vector<smesh::Point>& contour, double centre, double a, bool upper);

/// x/c where the pressure rises back through the sonic value going aft on one surface (the
/// shock foot), or 0 when that surface stays subsonic.
double shock_position(const smesh::FlowResult& r, double mach, bool upper);

/// True when every number of the result, boundary-layer outputs included, is finite.
bool all_finite(const smesh::FlowResult& r);

} // namespace camber::test
