// SPDX-License-Identifier: MIT
#include "edit_ul/UlDeform.h"

#include "geometry/ControlPoints.h"
#include "shell/SectionReader.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace camber;

namespace {

SectionState opened(const char* file)
{
    SectionState s;
    s.f_inp = camber::test::example(file);
    read_section(s);
    init_cp_ul(s);
    return s;
}

} // namespace

TEST(UlDeform, ZeroDisplacementsGiveTheInitialSurfacesExceptAtTheNose)
{
    auto s = opened("naca2412.ULF");
    s.y_up(1, 1) = 0.3f;
    s.camb(1, 1) = 0.001f;
    edit_ul::calc_ss(s, 1);
    EXPECT_EQ(s.y_up(1, 1), 0.001f);
    EXPECT_EQ(s.y_lo(1, 1), 0.001f);
    for (int j = 2; j <= s.n_up(1); ++j) {
        EXPECT_NEAR(s.y_up(1, j), s.y_up0(1, j), 1e-7f) << j;
        EXPECT_NEAR(s.y_lo(1, j), s.y_lo0(1, j), 1e-7f) << j;
        EXPECT_FLOAT_EQ(s.t_half(1, j), (s.y_up(1, j) - s.y_lo(1, j)) * 0.5f);
    }
}

TEST(UlDeform, RaisingUpperPointFourRaisesOnlyTheUpperSurface)
{
    auto s = opened("naca2412.ULF");
    for (int k = 3; k <= 5; ++k)
        s.d_cp2(1, k) = 0.01f;
    edit_ul::calc_ss(s, 1);
    const int mid = test::stationNear(s, 0.5f);
    EXPECT_NEAR(s.y_up(1, mid) - s.y_up0(1, mid), 0.01f, 2e-4f);
    EXPECT_NEAR(s.y_lo(1, mid), s.y_lo0(1, mid), 1e-7f);
    EXPECT_NEAR(s.camb(1, mid) - s.camb0(1, mid), 0.005f, 1e-4f);
    // The displacement curve ends at the fixed end points: the trailing edge stays.
    EXPECT_NEAR(s.y_up(1, s.n_up(1)), s.y_up0(1, s.n_up(1)), 1e-6f);
    // A smooth bump: no station moves more than the control points.
    for (int j = 1; j <= s.n_up(1); ++j) {
        EXPECT_GE(s.d_up(1, j), -1e-6f);
        EXPECT_LE(s.d_up(1, j), 0.01f + 1e-6f);
    }
}
