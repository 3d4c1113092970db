// SPDX-License-Identifier: MIT
#include "geometry/ControlPoints.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace camber;

namespace {

SectionState oneSection()
{
    SectionState s;
    s.n_sections = 1;
    return s;
}

} // namespace

TEST(ControlPoints, StartEvenlySpacedWithoutDisplacement)
{
    auto s = oneSection();
    s.d_cp2(1, 4) = 0.3f;
    s.d_tcp1(1, 2) = 0.1f;
    init_cp_ul(s);
    init_cp_tc(s);
    for (int k = 1; k <= 7; ++k) {
        const float x = static_cast<float>(k - 1) / 6.0f;
        for (const ControlArray* a : {&s.x_cp1, &s.x_cp2, &s.x_tcp1, &s.x_tcp2})
            EXPECT_FLOAT_EQ((*a)(1, k), x);
        for (const ControlArray* a : {&s.s_cp1, &s.s_cp2, &s.s_tcp2})
            EXPECT_FLOAT_EQ((*a)(1, k), std::sqrt(x));
        for (const ControlArray* a : {&s.d_cp1, &s.d_cp2, &s.d_tcp1, &s.d_tcp2})
            EXPECT_EQ((*a)(1, k), 0.0f);
    }
}

TEST(MoveBoxes, UpperLowerSetsKeepPointsBetweenTheirNeighbours)
{
    auto s = oneSection();
    init_cp_ul(s);
    set_boxes_ul(s, 1, true);
    EXPECT_FLOAT_EQ(s.box1_x1(4), 1.0f / 3 + 0.005f);
    EXPECT_FLOAT_EQ(s.box1_x2(4), 2.0f / 3 - 0.005f);
    EXPECT_FLOAT_EQ(s.box1_y1(4), -0.08f);
    EXPECT_FLOAT_EQ(s.box1_y2(4), 0.08f);
    // The lower set's end points may move vertically.
    EXPECT_EQ(s.box1_x1(1), 0.0f);
    EXPECT_EQ(s.box1_x2(1), 0.0f);
    EXPECT_FLOAT_EQ(s.box1_y2(7), 0.08f);
    // The other set's boxes are untouched until it is selected.
    EXPECT_EQ(s.box2_x2(4), 0.0f);

    set_boxes_ul(s, 1, false);
    EXPECT_EQ(s.box2_x1(1), 0.0f);
    EXPECT_EQ(s.box2_y1(1), 0.0f);
    EXPECT_EQ(s.box2_y2(1), 0.0f);
    EXPECT_EQ(s.box2_x1(7), 1.0f);
    EXPECT_EQ(s.box2_x2(7), 1.0f);
    EXPECT_EQ(s.box2_y2(7), 0.0f);
    EXPECT_FLOAT_EQ(s.box2_y1(3), -0.08f);
}

TEST(MoveBoxes, FollowAMovedNeighbour)
{
    auto s = oneSection();
    init_cp_ul(s);
    s.x_cp1(1, 4) = 0.45f;
    set_boxes_ul(s, 1, true);
    EXPECT_FLOAT_EQ(s.box1_x2(3), 0.445f);
    EXPECT_FLOAT_EQ(s.box1_x1(5), 0.455f);
}

TEST(MoveBoxes, ThicknessCamberSetsUseTheNarrowerBand)
{
    auto s = oneSection();
    init_cp_tc(s);
    set_boxes_tc(s, 1, true);
    EXPECT_FLOAT_EQ(s.tbox1_y1(2), -0.04f);
    EXPECT_FLOAT_EQ(s.tbox1_y2(1), 0.04f);
    EXPECT_FLOAT_EQ(s.tbox1_x1(2), 0.005f);
    set_boxes_tc(s, 1, false);
    EXPECT_EQ(s.tbox2_y2(1), 0.0f);
    EXPECT_EQ(s.tbox2_y1(7), 0.0f);
    EXPECT_FLOAT_EQ(s.tbox2_y2(6), 0.04f);
    EXPECT_FLOAT_EQ(s.tbox2_x2(6), 1.0f - 0.005f);
}
