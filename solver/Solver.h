// SPDX-License-Identifier: MIT
#pragma once

#include "Contour.h"

#include <array>
#include <vector>

namespace camber::smesh {

inline constexpr int kOutputPoints = 129;

/// One flow case as the solver takes it.
struct FlowCase {
    bool prescribed_lift = true; ///< true: target is the lift coefficient; false: the angle in degrees
    double target = 0.5;
    double mach = 0.7;
    bool viscous = true;
    double reynolds = 30e6;      ///< based on the chord; zero or less means inviscid with a warning
    int level = 2;               ///< 1 coarse, 2 standard, 3 fine
    double ncrit = 9;            ///< critical amplification factor of the e^N method
    /// Forced transition x/c on the upper and the lower surface; outside 0 < x/c < 1 free.
    std::array<double, 2> transition{0, 0};
};

/// One station of a boundary layer or the wake, in the caller's units.
struct LayerStation {
    double x = 0, y = 0;
    double s = 0;      ///< arc length from the stagnation point, or from the trailing edge in the wake
    double ue = 0;     ///< edge speed over the free-stream speed
    double theta = 0, dstar = 0, h = 0;
    double cf = 0;     ///< skin friction over the free-stream dynamic pressure
};

/// The stations of the upper layer, the lower layer and the wake.
struct Layers {
    std::vector<LayerStation> upper, lower, wake;
};

/// Status codes of a calculation.
enum Status : int {
    kConverged = 0,
    kSeparated = 1,          ///< turbulent separation before the trailing edge
    kInviscidFallback = 2,   ///< the Reynolds number was unusable; the result is inviscid
    kLooselyCoupled = 3,     ///< the viscous coupling settled only to 1 % of the mass defect
    kUnusableContour = -1,
    kNotConverged = -2,
    kSupersonic = -3,
    kBeyondMaximumLift = -4, ///< the lift asked for is more than the section carries at this Mach number
    kUnsupportedProcessor = -5, ///< the processor lacks the instructions the library was built for
};

/// Everything one calculation produces, at the 129 pressure points.
struct FlowResult {
    int status = kUnusableContour;
    double alpha = 0;  ///< degrees
    double cl = 0, cd = 0, cm = 0, cd_friction = 0;
    double cd_wave = 0; ///< the part of cd due to shocks (0 for the panel method)
    double transition_upper = 1, transition_lower = 1; ///< x/c
    double separation_upper = 1, separation_lower = 1; ///< x/c
    double max_mach = 0;
    int iterations = 0;
    std::array<double, kOutputPoints> x{}, y{}, cp{}, cf{}, dstar{}, theta{}, local_mach{};
    Layers layers; ///< empty when inviscid
};

/// Fills the output x of a result that has no flow (an unusable contour) with 129 finite
/// points: a cosine-spaced unit chord line from the upper to the lower trailing edge.
void fill_fallback(FlowResult& r);

/// Node count of the solver's panelling for a resolution level.
int nodes_for_level(int level);

/// Solves one flow case about the contour (upper trailing edge round the leading edge to the
/// lower trailing edge). Never throws for bad input: the status says what went wrong and every
/// number of the result is finite.
FlowResult solve_flow(const std::vector<Point>& contour, const FlowCase& flow);

/// Critical pressure coefficient (local Mach 1) for free-stream Mach m, isentropic, gamma 1.4.
double critical_cp(double m);

/// x (the result's units) where the pressure rises back through the sonic value going aft on
/// the upper (true) or lower surface of a result at free-stream Mach mach: the foot of the last
/// shock, or 0 when that surface stays subsonic. Output points 0..64 run from the upper
/// trailing edge to the leading edge, 64..128 on to the lower trailing edge.
double shock_position(const FlowResult& r, double mach, bool upper);

/// Karman-Tsien correction of an incompressible pressure coefficient to Mach m.
double karman_tsien(double cp0, double m);

} // namespace camber::smesh
