// SPDX-License-Identifier: MIT
#pragma once

#include "SectionState.h"

#include <string>
#include <vector>

namespace camber {

/// The four parameters of the outside flow solver's section block for section n_sec, from the
/// station abscissae x, half-thicknesses t and camber c (1-based, stations 1..n_up):
/// xsing, ysing: the nose singularity, at 0.6 of the last station of the nose run (the stations
///   from 2 on whose half-thickness exceeds their abscissa) and the camber there; with no nose
///   run (sharp nose) the leading edge, 0 and c(1); a run that never ends stops at n_up;
/// trail: included trailing-edge angle in degrees from the last station interval;
/// slopt: camber-line slope of the last station interval.
/// The last interval of non-zero width is used, so coincident end stations give no NaN.
void gwo_params(const SectionState& s, Integer n_sec, Single& xsing, Single& ysing, Single& trail, Single& slopt,
                const StationArray& x, const StationArray& t, const StationArray& c);

/// The lines of the .gwo file for the current sections (without line ends). Computes the
/// four parameters of every section and stores them in xsing, ysing, trail, slopt.
std::vector<std::string> gwo_lines(SectionState& s);

/// Writes the current section to the .gwo file s.f_gwo (relative to the current folder),
/// replacing it whole or, on failure, not at all. Throws Error naming the file on failure.
void save_gwo(SectionState& s);

} // namespace camber
