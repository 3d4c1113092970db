// SPDX-License-Identifier: MIT
#pragma once

#include "SectionState.h"

namespace camber {

/// A displacement curve is two cubic Bezier segments over seven control points (k = 1..7),
/// points 1-4 and 4-7, with one parameter t in [0, 1] over both; the junction is at
/// t0 = (X(4) - X(1)) / ((X(4) - X(1)) + (X(7) - X(4))).
///
/// Evaluates X(t) of section n over control abscissae X(n, 1..7). Outputs the local
/// parameter u and the segment seg (1 or 2) used. t is not clamped.
Single bez_x_at_t(Integer n, Single t, Single t0, Single& u, Integer& seg, const ControlArray& X);

/// Iteration bound of bez_y_at_x's Newton search.
inline constexpr int kBezierMaxIterations = 200;

/// Finds t with X(t) = target by Newton's method (forward-difference slope) to within tol
/// and sets y = Y(t). t is in/out: pass the t of the previous station for a near start.
/// Stops after kBezierMaxIterations steps, or when a step would leave the finite numbers,
/// keeping the last usable t.
void bez_y_at_x(Integer n, const ControlArray& X, const ControlArray& Y, Single& t, Single target, Single& y,
                Single tol);

/// Evaluates the displacement curve (X, Y) of section n at the abscissae at(n, 2..stations)
/// into d(n, 2..stations), each station's search starting from the previous one's parameter.
void bez_y_at_stations(Integer n, const ControlArray& X, const ControlArray& Y, const StationArray& at,
                       StationArray& d, int stations, Single tol);

/// Maximum thickness at the first local maximum of the half-thickness th(n, 1..n_up(n)),
/// scanning from station 1 while th does not decrease; xpos gets its station x from xs.
/// Returns twice the half-thickness there.
Single max_thick(const SectionState& s, Integer n, const StationArray& xs, const StationArray& th, Single& xpos);

} // namespace camber
