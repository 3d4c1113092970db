// SPDX-License-Identifier: MIT
#pragma once

#include "SectionState.h"

namespace camber {

/// Resets both control-point sets of the upper/lower editor: point k at chord position
/// (k - 1)/6, displacement 0. The caller then selects point 3 of each set in the window.
void init_cp_ul(SectionState& s);

/// Resets both control-point sets of the thickness/camber editor, as init_cp_ul.
void init_cp_tc(SectionState& s);

/// Rebuilds the move boxes of one set of the upper/lower editor for section n_sec (1-based):
/// set 1 (lower surface, box1 arrays) when set1Active, else set 2 (upper surface, box2 arrays).
/// Interior boxes span the gap between the neighbours less 0.005 and the band -0.08..0.08.
void set_boxes_ul(SectionState& s, Integer n_sec, bool set1Active);

/// Rebuilds the move boxes of one set of the thickness/camber editor: set 1 (camber, tbox1)
/// when set1Active, else set 2 (half-thickness, tbox2); band -0.04..0.04.
void set_boxes_tc(SectionState& s, Integer n_sec, bool set1Active);

} // namespace camber
