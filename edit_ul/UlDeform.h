// SPDX-License-Identifier: MIT
#pragma once

#include "geometry/SectionState.h"

namespace camber::edit_ul {

/// Rebuilds the surfaces of section n_sec from the upper/lower control points: each surface
/// is its initial ordinate plus its displacement curve (over the square root of the chord,
/// evaluated at s_st), then half-thickness and camber follow. At the leading edge both
/// surfaces take the camber there; station 1 of t_half and camb is left as it is.
void calc_ss(SectionState& s, Integer n_sec);

} // namespace camber::edit_ul
