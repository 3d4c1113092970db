// SPDX-License-Identifier: MIT
#pragma once

#include "geometry/SectionState.h"

#include <cstdint>
#include <string>
#include <vector>

namespace camber::cli {

/// One randomly deformed case of a robustness sweep and what the solver made of it.
struct SweepCase {
    int index = 0;          ///< 1-based
    bool thicknessEditor = false; ///< deformed by the thickness/camber editor's points, else upper/lower
    double mach = 0;
    double cl = 0;          ///< lift coefficient asked for
    long status = 0;        ///< solver status
    bool finite = true;     ///< every returned number finite
    double seconds = 0;     ///< wall-clock time of the solver call
    double alpha = 0, clift = 0, cdrag = 0;
};

/// Sweep settings: how many cases, the random seed and the solver options passed on.
struct SweepOptions {
    int count = 500;
    std::uint32_t seed = 1;
    FlowSettings flow; ///< method, level, Reynolds number and layers of every case
};

/// Deforms the section held in base (as read, k_sec current) count times, each time from its
/// original shape: one of the two editors chosen at random, one to three control points
/// dragged towards random places that their move boxes clamp, exactly as a right-button drag
/// of the editor moves them; then a random flow case (Mach 0.2-0.85, lift -0.5-1.5) is
/// computed by the solver as the editors' Plot Cp does. Throws Error when the solver cannot be
/// loaded.
std::vector<SweepCase> run_sweep(const SectionState& base, const SweepOptions& options);

/// One CSV line per case (with a heading line) and a summary line.
std::vector<std::string> sweep_report(const std::vector<SweepCase>& cases);

} // namespace camber::cli
