// SPDX-License-Identifier: MIT
#include "ControlPoints.h"

#include <cmath>

namespace camber {

namespace {

Single startPosition(int k) { return static_cast<Single>(k - 1) / 6.0f; }

struct BoxRefs {
    BoxArray& x1;
    BoxArray& x2;
    BoxArray& y1;
    BoxArray& y2;
};

// Interior points move between their neighbours, keeping a margin from each; the end points
// never move along the chord and, in the second set, not at all (the surfaces or the
// thickness must stay closed at the leading and trailing edge).
void buildBoxes(const ControlArray& x, int n_sec, BoxRefs box, Single halfHeight, bool endsMoveInY)
{
    const Single e = 0.005f;
    const Single endBand = endsMoveInY ? halfHeight : 0.0f;
    box.x1(1) = 0;
    box.x2(1) = 0;
    box.y1(1) = -endBand;
    box.y2(1) = endBand;
    for (int k = 2; k <= 6; ++k) {
        box.x1(k) = x(n_sec, k - 1) + e;
        box.x2(k) = x(n_sec, k + 1) - e;
        box.y1(k) = -halfHeight;
        box.y2(k) = halfHeight;
    }
    box.x1(7) = 1;
    box.x2(7) = 1;
    box.y1(7) = -endBand;
    box.y2(7) = endBand;
}

} // namespace

void init_cp_ul(SectionState& s)
{
    for (int sec = 1; sec <= s.n_sections; ++sec)
        for (int k = 1; k <= kControlPoints; ++k) {
            s.x_cp1(sec, k) = startPosition(k);
            s.s_cp1(sec, k) = std::sqrt(s.x_cp1(sec, k));
            s.d_cp1(sec, k) = 0;
            s.x_cp2(sec, k) = startPosition(k);
            s.s_cp2(sec, k) = std::sqrt(s.x_cp2(sec, k));
            s.d_cp2(sec, k) = 0;
        }
}

void init_cp_tc(SectionState& s)
{
    for (int sec = 1; sec <= s.n_sections; ++sec)
        for (int k = 1; k <= kControlPoints; ++k) {
            s.x_tcp1(sec, k) = startPosition(k);
            s.d_tcp1(sec, k) = 0;
            s.x_tcp2(sec, k) = startPosition(k);
            s.s_tcp2(sec, k) = std::sqrt(s.x_tcp2(sec, k));
            s.d_tcp2(sec, k) = 0;
        }
}

void set_boxes_ul(SectionState& s, Integer n_sec, bool set1Active)
{
    if (set1Active)
        buildBoxes(s.x_cp1, n_sec, {s.box1_x1, s.box1_x2, s.box1_y1, s.box1_y2}, 0.08f, true);
    else
        buildBoxes(s.x_cp2, n_sec, {s.box2_x1, s.box2_x2, s.box2_y1, s.box2_y2}, 0.08f, false);
}

void set_boxes_tc(SectionState& s, Integer n_sec, bool set1Active)
{
    if (set1Active)
        buildBoxes(s.x_tcp1, n_sec, {s.tbox1_x1, s.tbox1_x2, s.tbox1_y1, s.tbox1_y2}, 0.04f, true);
    else
        buildBoxes(s.x_tcp2, n_sec, {s.tbox2_x1, s.tbox2_x2, s.tbox2_y1, s.tbox2_y2}, 0.04f, false);
}

} // namespace camber
