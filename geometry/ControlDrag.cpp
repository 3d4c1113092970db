// SPDX-License-Identifier: MIT
#include "ControlDrag.h"

#include <cassert>
#include <cmath>

namespace camber {

ControlSet ul_set(SectionState& s, int set)
{
    assert(set == 1 || set == 2);
    if (set == 1)
        return {s.x_cp1, s.d_cp1, s.box1_x1, s.box1_x2, s.box1_y1, s.box1_y2};
    return {s.x_cp2, s.d_cp2, s.box2_x1, s.box2_x2, s.box2_y1, s.box2_y2};
}

ControlSet tc_set(SectionState& s, int set)
{
    assert(set == 1 || set == 2);
    if (set == 1)
        return {s.x_tcp1, s.d_tcp1, s.tbox1_x1, s.tbox1_x2, s.tbox1_y1, s.tbox1_y2};
    return {s.x_tcp2, s.d_tcp2, s.tbox2_x1, s.tbox2_x2, s.tbox2_y1, s.tbox2_y2};
}

int pick_control_point(const ControlArray& X, const ControlArray& D, Integer n, Single x, Single y, Single tolY)
{
    for (int k = 1; k <= kControlPoints; ++k)
        if (std::fabs(x - X(n, k)) < 0.01f && std::fabs(y - D(n, k)) < tolY)
            return k;
    return 0;
}

int moving_point(const std::array<bool, 7>& selected, const std::array<bool, 7>& xTicked,
                 const std::array<bool, 7>& yTicked)
{
    for (int k = 1; k <= kControlPoints; ++k) {
        const auto i = static_cast<std::size_t>(k - 1);
        if (selected[i] && (xTicked[i] || yTicked[i]))
            return k;
    }
    return 0;
}

namespace {

Single clamp(Single v, Single lo, Single hi)
{
    if (v < lo)
        return lo;
    if (v <= hi)
        return v;
    return hi;
}

} // namespace

void drag_control_point(ControlSet set, Integer n, int k, bool moveX, bool moveY, Single x, Single y,
                        DragHistory& hist)
{
    auto X = [&](int i) -> Single& { return set.X(n, i); };
    auto D = [&](int i) -> Single& { return set.D(n, i); };
    if (moveX) {
        hist.xp(k) = X(k);
        X(k) = clamp(x, set.box_x1(k), set.box_x2(k));
        // Point 4 follows a moved neighbour one step behind: the neighbour enters with its
        // position before this step.
        if (k == 5) {
            D(4) = D(3) + (D(5) - D(3)) * (X(4) - X(3)) / (hist.xp(5) - X(3));
        } else if (k == 4) {
            const Single delta = -(X(4) - hist.xp(4)) * (D(5) - D(3)) / (X(5) - X(3));
            D(3) = D(3) + delta;
            D(5) = D(5) + delta;
        } else if (k == 3) {
            D(4) = D(5) + (D(3) - D(5)) * (X(5) - X(4)) / (X(5) - hist.xp(3));
        }
    }
    if (moveY) {
        hist.dp(k) = D(k);
        D(k) = clamp(y, set.box_y1(k), set.box_y2(k));
        if (k == 5) {
            D(4) = D(4) + (D(5) - hist.dp(5)) * (X(4) - X(3)) / (X(5) - X(3));
        } else if (k == 4) {
            const Single delta = D(4) - hist.dp(4);
            D(5) = D(5) + delta;
            D(3) = D(3) + delta;
        } else if (k == 3) {
            D(4) = D(4) + (D(3) - hist.dp(3)) * (X(4) - X(3)) / (X(5) - X(3));
        }
    }
}

} // namespace camber
