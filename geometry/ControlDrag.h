// SPDX-License-Identifier: MIT
#pragma once

#include "SectionState.h"

#include <array>

namespace camber {

/// One editable control-point set of an editor: chord positions X(n, 1..7), displacements
/// D(n, 1..7) and the move boxes of its points (left, right, bottom, top).
struct ControlSet {
    ControlArray& X;
    ControlArray& D;
    BoxArray& box_x1;
    BoxArray& box_x2;
    BoxArray& box_y1;
    BoxArray& box_y2;
};

/// Positions of a set's points before the current drag step (1-based, 7 each).
struct DragHistory {
    Array1<Single, kControlPoints> xp;
    Array1<Single, kControlPoints> dp;
};

/// The control points of the upper/lower editor: set 1 shapes the lower surface, set 2 the upper.
ControlSet ul_set(SectionState& s, int set);
/// The control points of the thickness/camber editor: set 1 shapes the camber, set 2 the half-thickness.
ControlSet tc_set(SectionState& s, int set);

/// The control point (1..7) that a left click at (x, y) picks in section n: the first whose
/// chord position is within 0.01 and whose displacement is within tolY (strictly); 0 for none.
int pick_control_point(const ControlArray& X, const ControlArray& D, Integer n, Single x, Single y, Single tolY);

/// The point a right-button drag moves: the first k (1..7) whose option button is set and
/// whose x or y box is ticked (arrays indexed 0..6 as the window's controls); 0 for none.
int moving_point(const std::array<bool, 7>& selected, const std::array<bool, 7>& xTicked,
                 const std::array<bool, 7>& yTicked);

/// One drag step of point k of a set of section n towards the mouse at (x, y), clamped to
/// its move box: first along the chord when moveX, then in displacement when moveY. Moving
/// point 3, 4 or 5 carries the other two along so that the control polygon stays close to a
/// straight line through point 4, where the two curve segments join tangentially. The
/// neighbours are not clamped. hist receives the positions before the step.
void drag_control_point(ControlSet set, Integer n, int k, bool moveX, bool moveY, Single x, Single y,
                        DragHistory& hist);

} // namespace camber
