// SPDX-License-Identifier: MIT
#include "cp/LayerPlot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace camber::cp;

namespace {

// Pressure points on a unit chord: x = |i - 64| / 64, Cp = x on the upper surface and -x on
// the lower; skin friction and thicknesses only where the test sets them.
std::unique_ptr<SmeshResult> result()
{
    auto r = std::make_unique<SmeshResult>();
    for (int i = 0; i < SMESH_CP_POINTS; ++i) {
        r->cp_x[i] = std::abs(i - 64) / 64.0;
        r->cp[i] = i < 64 ? r->cp_x[i] : -r->cp_x[i];
    }
    return r;
}

} // namespace

TEST(LayerPlot, CurvesComeFromTheLayerStationsOrElseThePressurePoints)
{
    auto r = result();
    EXPECT_TRUE(layer_curve(*r, Surface::Upper).x.empty()) << "inviscid: no layers";

    for (int i = 0; i < SMESH_CP_POINTS; ++i) {
        r->cp_cf[i] = i < 64 ? 0.003 : 0.002;
        r->cp_theta[i] = 0.001;
        r->cp_dstar[i] = i < 64 ? 0.0025 : 0.0014;
    }
    const LayerCurve upper = layer_curve(*r, Surface::Upper);
    ASSERT_EQ(upper.x.size(), 65u);
    EXPECT_EQ(upper.x.front(), 0.0) << "from the leading edge";
    EXPECT_EQ(upper.x.back(), 1.0) << "to the trailing edge";
    EXPECT_DOUBLE_EQ(upper.cf[10], 0.003);
    EXPECT_DOUBLE_EQ(upper.h[10], 2.5);
    EXPECT_DOUBLE_EQ(layer_curve(*r, Surface::Lower).h[10], 1.4);

    r->lower.count = 3;
    for (int k = 0; k < 3; ++k) {
        r->lower.x[k] = 0.5 * k;
        r->lower.cf[k] = 0.001 * k;
        r->lower.h[k] = 2 + k;
    }
    const LayerCurve lower = layer_curve(*r, Surface::Lower);
    EXPECT_EQ(lower.x, (std::vector<double>{0, 0.5, 1}));
    EXPECT_EQ(lower.h, (std::vector<double>{2, 3, 4}));
}

TEST(LayerPlot, CpOnASurfaceIsInterpolatedBetweenItsPoints)
{
    const auto r = result();
    const struct {
        Surface surface;
        double x, cp;
    } cases[] = {{Surface::Upper, 0.0, 0.0},  {Surface::Upper, 0.3, 0.3},   {Surface::Upper, 1.0, 1.0},
                 {Surface::Lower, 0.3, -0.3}, {Surface::Lower, 0.999, -0.999}, {Surface::Lower, 1.5, -1.0}};
    for (const auto& c : cases)
        EXPECT_NEAR(cp_at(*r, c.surface, c.x), c.cp, 1e-12) << c.x;
}

TEST(LayerPlot, TheSkinFrictionAxisEndsAtARoundValueAboveTheHighest)
{
    const struct {
        double cfMax, top;
    } cases[] = {{0, 0.002}, {0.002, 0.002}, {0.0021, 0.004}, {0.0099, 0.01}, {0.04, 0.05}, {0.2, 0.05}};
    for (const auto& c : cases)
        EXPECT_EQ(cf_axis_top(c.cfMax), c.top) << c.cfMax;
}
