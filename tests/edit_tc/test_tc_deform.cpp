// SPDX-License-Identifier: MIT
#include "edit_tc/TcDeform.h"

#include "geometry/ControlPoints.h"
#include "shell/SectionReader.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace camber;

namespace {

SectionState opened()
{
    SectionState s;
    s.f_inp = camber::test::example("naca2412.ULF");
    read_section(s);
    init_cp_tc(s);
    return s;
}

} // namespace

TEST(TcDeform, ZeroDisplacementsGiveTheInitialDistributions)
{
    auto s = opened();
    edit_tc::calc_ss(s, 1);
    EXPECT_EQ(s.y_up(1, 1), s.camb0(1, 1));
    EXPECT_EQ(s.y_lo(1, 1), s.camb0(1, 1));
    for (int j = 1; j <= s.n_up(1); ++j) {
        EXPECT_NEAR(s.camb(1, j), s.camb0(1, j), 1e-7f) << j;
        EXPECT_NEAR(s.t_half(1, j), s.t_half0(1, j), 1e-7f) << j;
        if (j > 1) {
            EXPECT_FLOAT_EQ(s.y_up(1, j), s.camb(1, j) + s.t_half(1, j));
            EXPECT_FLOAT_EQ(s.y_lo(1, j), s.camb(1, j) - s.t_half(1, j));
        }
    }
}

TEST(TcDeform, ThicknessPointFourOpensTheSurfacesSymmetrically)
{
    auto s = opened();
    for (int k = 3; k <= 5; ++k)
        s.d_tcp2(1, k) = 0.02f;
    edit_tc::calc_ss(s, 1);
    const int mid = test::stationNear(s, 0.5f);
    ASSERT_NEAR(s.x_st(1, mid), 0.5f, 1e-3f);
    EXPECT_NEAR(s.y_up(1, mid) - s.y_up0(1, mid), 0.02f, 1e-4f);
    EXPECT_NEAR(s.y_lo(1, mid) - s.y_lo0(1, mid), -0.02f, 1e-4f);
    for (int j = 1; j <= s.n_up(1); ++j)
        EXPECT_NEAR(s.camb(1, j), s.camb0(1, j), 1e-7f) << j;
}

TEST(TcDeform, CamberPointFourMovesBothSurfacesTogether)
{
    auto s = opened();
    for (int k = 3; k <= 5; ++k)
        s.d_tcp1(1, k) = 0.01f;
    edit_tc::calc_ss(s, 1);
    const int mid = test::stationNear(s, 0.5f);
    EXPECT_NEAR(s.y_up(1, mid) - s.y_up0(1, mid), 0.01f, 1e-4f);
    EXPECT_NEAR(s.y_lo(1, mid) - s.y_lo0(1, mid), 0.01f, 1e-4f);
    for (int j = 1; j <= s.n_up(1); ++j)
        EXPECT_NEAR(s.t_half(1, j), s.t_half0(1, j), 1e-7f) << j;
}
