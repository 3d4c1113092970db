// SPDX-License-Identifier: MIT
#include "geometry/Bezier.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace camber;

namespace {

struct Curve {
    ControlArray X, Y;
};

Curve curve(const float (&x)[7], const float (&y)[7])
{
    Curve c;
    for (int k = 1; k <= 7; ++k) {
        c.X(1, k) = x[k - 1];
        c.Y(1, k) = y[k - 1];
    }
    return c;
}

const float kEven[7] = {0, 1.f / 6, 2.f / 6, 0.5f, 4.f / 6, 5.f / 6, 1};

} // namespace

TEST(Bezier, PassesThroughItsEndPointsAndTheJunction)
{
    const auto c = curve({0, 0.2f, 0.35f, 0.5f, 0.7f, 0.8f, 1}, {0.01f, 0.03f, -0.02f, 0.04f, 0.01f, 0.0f, -0.01f});
    const float t0 = (c.X(1, 4) - c.X(1, 1)) / (c.X(1, 7) - c.X(1, 1));
    float u;
    Integer seg;
    EXPECT_FLOAT_EQ(bez_x_at_t(1, 0, t0, u, seg, c.X), 0.0f);
    EXPECT_EQ(seg, 1);
    EXPECT_FLOAT_EQ(bez_x_at_t(1, t0, t0, u, seg, c.X), 0.5f);
    EXPECT_EQ(seg, 2);
    EXPECT_FLOAT_EQ(bez_x_at_t(1, 1, t0, u, seg, c.X), 1.0f);

    float t = 0, y = 0;
    bez_y_at_x(1, c.X, c.Y, t, 1.0f, y, 1e-4f);
    EXPECT_NEAR(y, -0.01f, 1e-4f);
    t = 0;
    bez_y_at_x(1, c.X, c.Y, t, 0.5f, y, 1e-4f);
    EXPECT_NEAR(y, 0.04f, 2e-4f);
}

TEST(Bezier, InvertsXOfTToWithinTheTolerance)
{
    const auto c = curve({0, 0.1f, 0.3f, 0.45f, 0.6f, 0.9f, 1}, {0, 0.01f, 0.02f, 0.02f, 0.02f, -0.01f, 0});
    const float t0 = 0.45f;
    float t = 0;
    for (int i = 1; i <= 60; ++i) {
        const float target = std::sqrt(static_cast<float>(i) / 60.0f);
        float y = 0;
        bez_y_at_x(1, c.X, c.Y, t, target, y, 1e-4f);
        float u;
        Integer seg;
        EXPECT_NEAR(bez_x_at_t(1, t, t0, u, seg, c.X), target, 1e-4f) << "station " << i;
        EXPECT_TRUE(std::isfinite(y));
    }
}

TEST(Bezier, EvenlySpacedStraightPolygonIsAStraightLine)
{
    float y7[7];
    for (int k = 0; k < 7; ++k)
        y7[k] = 0.02f - 0.03f * kEven[k];
    const auto c = curve(kEven, y7);
    float t = 0;
    for (float target : {0.05f, 0.3f, 0.5f, 0.77f, 0.99f}) {
        float y = 0;
        bez_y_at_x(1, c.X, c.Y, t, target, y, 1e-5f);
        EXPECT_NEAR(y, 0.02f - 0.03f * target, 1e-5f) << target;
    }
}

TEST(Bezier, NewtonSearchIsBoundedWhenNoSolutionExists)
{
    // All control abscissae equal: X(t) is constant and the slope is zero.
    const auto c = curve({0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.6f}, {0, 0, 0, 0, 0, 0, 0});
    float t = 0.2f, y = 1;
    bez_y_at_x(1, c.X, c.Y, t, 0.9f, y, 1e-4f);
    EXPECT_TRUE(std::isfinite(t));
    EXPECT_TRUE(std::isfinite(y));
}

TEST(MaxThick, FindsTheFirstLocalMaximumAndStopsAtTheLastStation)
{
    SectionState s;
    s.n_up(1) = 5;
    const float x[] = {0, 0.1f, 0.3f, 0.6f, 1};
    const float th[] = {0, 0.04f, 0.06f, 0.05f, 0.001f};
    for (int j = 1; j <= 5; ++j) {
        s.x_st(1, j) = x[j - 1];
        s.t_half(1, j) = th[j - 1];
    }
    float xpos = -1;
    EXPECT_FLOAT_EQ(max_thick(s, 1, s.x_st, s.t_half, xpos), 0.12f);
    EXPECT_FLOAT_EQ(xpos, 0.3f);

    // Rising to the end: the scan stops at n_up, not in the unused tail.
    for (int j = 1; j <= 5; ++j)
        s.t_half(1, j) = 0.01f * static_cast<float>(j);
    s.t_half(1, 6) = 1.0f;
    EXPECT_FLOAT_EQ(max_thick(s, 1, s.x_st, s.t_half, xpos), 0.1f);
    EXPECT_FLOAT_EQ(xpos, 1.0f);

    // Falling from the start: station 1.
    s.t_half(1, 1) = 0.2f;
    EXPECT_FLOAT_EQ(max_thick(s, 1, s.x_st, s.t_half, xpos), 0.4f);
    EXPECT_FLOAT_EQ(xpos, 0.0f);
}
