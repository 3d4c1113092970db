// SPDX-License-Identifier: MIT
#pragma once

#include "geometry/SectionState.h"

#include <cstdint>
#include <string>
#include <vector>

namespace camber::cp {

/// The solver inputs from the current section: n_case, n_pts and the contour x_sm, y_sm from
/// the upper trailing edge round the leading edge to the lower trailing edge, at the initial
/// stations, with the initial surfaces before the first calculation and the current ones after.
void fill_solver_inputs(SectionState& s);

/// Outputs of a solver call that the section state has no place for.
struct SolverOutputs {
    Single drag = 0;     ///< drag coefficient
    Single unnamed = 0;  ///< the call's 21st output
};

/// Replaces the solver the program calls (tests use a deterministic stand-in); nullptr
/// returns to the library beside the program.
void set_solver(void (*solver)(const std::int32_t*, const std::int32_t*, const std::int32_t*, const float*,
                               const float*, const std::int32_t*, const std::int32_t*, const std::int32_t*,
                               const std::int32_t*, const float*, const float*, const float*, std::int32_t*, float*,
                               float*, float*, float*, float*, float*, float*, float*, float*, std::int32_t*));

/// Calls the solver with the state's inputs; the results land in the state. Throws Error when
/// the solver library cannot be loaded.
SolverOutputs call_smesh(SectionState& s);

/// Critical pressure coefficient at Mach number mach (isentropic, ratio of specific heats
/// 1.4); -67 for mach 0.0999 and below, where no flow is sonic.
Single cp_star(Single mach);

/// Scan of the Cp curve of case 1 for the plot.
struct CpScan {
    int crossing = kCpPoints;  ///< the last point i (2..128) where the curve crosses Cp*, 129 for none
    Single cpMin = 0;          ///< lowest Cp of points 1..128
};
CpScan scan_cp(const SectionState& s, Single cpStar);

/// The lower end of the Cp axis for a lowest Cp: -2.0, -2.5, -3.0, -3.5 or -5.0.
double cp_axis_min(Single cpMin);

/// The lines of the Cp file (without line ends): title, flow-case heading and line, point
/// heading and one line per pressure point (n_cp, at most 129).
std::vector<std::string> cpo_lines(const SectionState& s);

/// Writes the Cp file s.f_cpo, replacing it whole or not at all; throws Error on failure.
void save_cpo(const SectionState& s);

} // namespace camber::cp
