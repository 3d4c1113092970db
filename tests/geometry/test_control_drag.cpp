// SPDX-License-Identifier: MIT
#include "geometry/ControlDrag.h"
#include "geometry/ControlPoints.h"

#include <gtest/gtest.h>

using namespace camber;

namespace {

// The lower set of the upper/lower editor at its start position, boxes built.
struct Fixture {
    SectionState s;
    DragHistory hist;
    Fixture()
    {
        s.n_sections = 1;
        init_cp_ul(s);
        set_boxes_ul(s, 1, true);
    }
    ControlSet set() { return ul_set(s, 1); }
    float D(int k) const { return s.d_cp1(1, k); }
    float X(int k) const { return s.x_cp1(1, k); }
    void setD(float d3, float d4, float d5)
    {
        s.d_cp1(1, 3) = d3;
        s.d_cp1(1, 4) = d4;
        s.d_cp1(1, 5) = d5;
    }
};

} // namespace

TEST(DragRules, VerticalMovesOfPointsThreeToFive)
{
    struct {
        int k;
        float y;
        float d3, d4, d5;
    } cases[] = {
        // Point 4 carries 3 and 5 by the same amount.
        {4, 0.02f, 0.02f, 0.02f, 0.02f},
        // Points 3 and 5 carry point 4 by (X4 - X3) / (X5 - X3) = 1/2 of their move.
        {5, 0.03f, 0.0f, 0.015f, 0.03f},
        {3, 0.03f, 0.03f, 0.015f, 0.0f},
        // Beyond the band the point stops at its edge and point 4 follows the clamped move.
        {5, 0.5f, 0.0f, 0.04f, 0.08f},
        {3, -0.2f, -0.08f, -0.04f, 0.0f},
    };
    for (const auto& c : cases) {
        Fixture f;
        drag_control_point(f.set(), 1, c.k, false, true, 0.9f, c.y, f.hist);
        EXPECT_FLOAT_EQ(f.D(3), c.d3) << "k=" << c.k << " y=" << c.y;
        EXPECT_FLOAT_EQ(f.D(4), c.d4) << "k=" << c.k << " y=" << c.y;
        EXPECT_FLOAT_EQ(f.D(5), c.d5) << "k=" << c.k << " y=" << c.y;
        EXPECT_FLOAT_EQ(f.X(c.k), static_cast<float>(c.k - 1) / 6) << "x is untouched without its box";
    }
}

TEST(DragRules, ChordwiseMoveOfPointFourShiftsItsNeighboursAlongTheLine)
{
    Fixture f;
    f.setD(0.01f, 0.02f, 0.03f);
    drag_control_point(f.set(), 1, 4, true, false, 0.55f, 0.0f, f.hist);
    EXPECT_FLOAT_EQ(f.X(4), 0.55f);
    // delta = -(0.55 - 0.5) * (0.03 - 0.01) / (1/3) = -0.003
    EXPECT_NEAR(f.D(3), 0.007f, 1e-7f);
    EXPECT_NEAR(f.D(5), 0.027f, 1e-7f);
    EXPECT_FLOAT_EQ(f.D(4), 0.02f);
    EXPECT_FLOAT_EQ(f.hist.xp(4), 0.5f);
}

TEST(DragRules, PointFourFollowsAChordwiseNeighbourOneStepBehind)
{
    Fixture f;
    f.setD(0.01f, 0.02f, 0.03f);
    drag_control_point(f.set(), 1, 5, true, false, 0.7f, 0.0f, f.hist);
    EXPECT_FLOAT_EQ(f.D(4), 0.02f) << "the first step uses point 5's old position";
    drag_control_point(f.set(), 1, 5, true, false, 0.75f, 0.0f, f.hist);
    // 0.01 + 0.02 * (1/2 - 1/3) / (0.7 - 1/3)
    EXPECT_NEAR(f.D(4), 0.0190909f, 1e-6f);

    Fixture g;
    g.setD(0.01f, 0.0f, 0.03f);
    drag_control_point(g.set(), 1, 3, true, false, 0.3f, 0.0f, g.hist);
    // 0.03 + (0.01 - 0.03) * (2/3 - 1/2) / (2/3 - 1/3)
    EXPECT_NEAR(g.D(4), 0.02f, 1e-7f);
    EXPECT_FLOAT_EQ(g.X(3), 0.3f);
}

TEST(DragRules, MovesStayInTheBoxAndOuterPointsMoveAlone)
{
    Fixture f;
    drag_control_point(f.set(), 1, 4, true, true, 0.9f, -0.5f, f.hist);
    EXPECT_FLOAT_EQ(f.X(4), 2.0f / 3 - 0.005f);
    EXPECT_FLOAT_EQ(f.D(4), -0.08f);

    for (int k : {2, 6}) {
        Fixture g;
        drag_control_point(g.set(), 1, k, true, true, g.X(k) + 0.01f, 0.05f, g.hist);
        for (int other = 1; other <= 7; ++other) {
            if (other == k)
                continue;
            EXPECT_EQ(g.D(other), 0.0f) << "k=" << k << " moved point " << other;
            EXPECT_FLOAT_EQ(g.X(other), static_cast<float>(other - 1) / 6);
        }
        EXPECT_FLOAT_EQ(g.D(k), 0.05f);
    }
}

TEST(Picking, TolerancesAreStrictAndPerSet)
{
    Fixture f;
    const auto& X = f.s.x_cp1;
    const auto& D = f.s.d_cp1;
    EXPECT_EQ(pick_control_point(X, D, 1, 0.5f + 0.009f, 0.0009f, 0.001f), 4);
    EXPECT_EQ(pick_control_point(X, D, 1, 0.5f, 0.002f, 0.001f), 0);
    EXPECT_EQ(pick_control_point(X, D, 1, 0.5f, 0.002f, 0.004f), 4);
    EXPECT_EQ(pick_control_point(X, D, 1, 0.5f + 0.011f, 0.0f, 0.004f), 0);
    EXPECT_EQ(pick_control_point(X, D, 1, 0.0f, 0.0f, 0.001f), 1);
}

TEST(Picking, TheMovingPointNeedsItsOptionAndATickedBox)
{
    std::array<bool, 7> sel{}, xs{}, ys{};
    sel[2] = true;
    EXPECT_EQ(moving_point(sel, xs, ys), 0);
    ys[2] = true;
    EXPECT_EQ(moving_point(sel, xs, ys), 3);
    ys[2] = false;
    xs[4] = true;
    EXPECT_EQ(moving_point(sel, xs, ys), 0) << "a ticked box of another point does not move the selected one";
}
