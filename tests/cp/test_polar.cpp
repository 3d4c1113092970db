// SPDX-License-Identifier: MIT
#include "cp/Polar.h"

#include "geometry/Error.h"
#include "support/FakeSolver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace camber;
using camber::test::FakeSolver;

TEST(SweepValues, RunFromTheFirstValueToTheLastInSteps)
{
    struct Case {
        double from, to, step;
        std::size_t count;
        double second;
    };
    for (const Case& c : std::vector<Case>{{0.6, 0.8, 0.01, 21, 0.61},
                                           {1.0, -0.4, -0.2, 8, 0.8},
                                           {0.5, 0.5, 0.1, 1, 0},
                                           {0.0, 1.05, 0.1, 11, 0.1}, // 1.05 is not on a step: the sweep stops at 1.0
                                           {-2, 10, 0.5, 25, -1.5}}) {
        const auto v = sweep_values(c.from, c.to, c.step);
        ASSERT_EQ(v.size(), c.count) << c.from << ":" << c.to << ":" << c.step;
        EXPECT_EQ(v.front(), c.from);
        if (c.count > 1) {
            EXPECT_NEAR(v[1], c.second, 1e-12);
        }
    }
    // The last value is the end asked for, not twenty steps of 0.01 short of it.
    EXPECT_EQ(sweep_values(0.6, 0.8, 0.01).back(), 0.8);
}

TEST(SweepValues, RefusesStepsThatNeverArriveAndEndlessSweeps)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const auto& [from, to, step] : std::vector<std::tuple<double, double, double>>{
             {0.6, 0.8, 0}, {0.6, 0.8, -0.01}, {0.8, 0.6, 0.01}, {0, 1, 1e-4}, {nan, 1, 0.1}, {0, 1, nan}})
        EXPECT_THROW(sweep_values(from, to, step), Error) << from << ":" << to << ":" << step;
    EXPECT_EQ(sweep_values(0, 999, 1).size(), static_cast<std::size_t>(kMaxPolarPoints));
}

TEST(PolarCases, HoldTheFixedValueAndSweepTheOtherInSinglePrecision)
{
    PolarRequest r;
    r.flow.reynolds = 6.5e6;
    r.flow.method = 1;
    r.values = {0.6, 0.7};
    r.kind = PolarKind::Mach;
    r.fixed = 0.45;
    auto cases = polar_cases(r);
    ASSERT_EQ(cases.size(), 2u);
    EXPECT_EQ(cases[1].mach, static_cast<double>(0.7f));
    EXPECT_EQ(cases[1].target, static_cast<double>(0.45f));
    EXPECT_EQ(cases[1].prescribed_lift, 1);
    EXPECT_EQ(cases[1].reynolds, 6.5e6);
    EXPECT_EQ(cases[1].method, 1);

    r.kind = PolarKind::Alpha;
    r.fixed = 0.3;
    r.values = {-2, 4};
    cases = polar_cases(r);
    EXPECT_EQ(cases[0].mach, static_cast<double>(0.3f));
    EXPECT_EQ(cases[0].target, -2.0);
    EXPECT_EQ(cases[0].prescribed_lift, 0);

    r.kind = PolarKind::Lift;
    EXPECT_EQ(polar_cases(r)[1].prescribed_lift, 1);
}

class ComputePolar : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeSolver::calls = 0;
        FakeSolver::status = 0;
        contour.x = {1, 0.5, 0, 0.5, 1};
        contour.y = {0, 0.05, 0, -0.03, 0};
    }
    SolverContour contour;
};

TEST_F(ComputePolar, SolvesInSweepOrderOnAMemoryOfItsOwnAndFreesIt)
{
    PolarRequest r;
    r.kind = PolarKind::Lift;
    r.fixed = 0.5;
    r.values = {0.2, 0.4, 0.6};
    std::vector<PolarPoint> points;
    std::vector<SmeshSolver*> memories;
    compute_polar(FakeSolver::functions(), contour, polar_cases(r), [&](const PolarPoint& p) {
        points.push_back(p);
        memories.push_back(FakeSolver::lastMemory);
        return true;
    });
    ASSERT_EQ(points.size(), 3u);
    EXPECT_NEAR(points[2].cl, 0.6, 1e-7);
    EXPECT_NEAR(points[2].mach, 0.5, 1e-7);
    EXPECT_EQ(points[0].cd_friction, 0.006);
    EXPECT_EQ(points[1].xtr_lower, 0.6);
    EXPECT_NE(memories[0], nullptr) << "not the program's memory";
    EXPECT_EQ(memories[0], memories[2]) << "each point starts from the last";
    EXPECT_EQ(FakeSolver::memories, 0);
}

TEST_F(ComputePolar, StopsWhenToldAndKeepsFailedPoints)
{
    PolarRequest r;
    r.kind = PolarKind::Mach;
    r.fixed = 0.5;
    r.values = sweep_values(0.5, 0.8, 0.1);
    FakeSolver::status = -2;
    std::vector<PolarPoint> points;
    compute_polar(FakeSolver::functions(), contour, polar_cases(r), [&](const PolarPoint& p) {
        points.push_back(p);
        return points.size() < 2;
    });
    EXPECT_EQ(points.size(), 2u);
    EXPECT_EQ(FakeSolver::calls, 2);
    EXPECT_EQ(points[1].status, -2);
    EXPECT_EQ(FakeSolver::memories, 0);
}

namespace {

/// A Mach sweep whose drag rises as 0.01 + b (M - 0.7)^2 above Mach 0.7: its slope 2 b (M - 0.7)
/// reaches 0.1 at M = 0.7 + 0.05 / b, and the secant slopes are the slopes at the midpoints.
std::vector<PolarPoint> dragRise(double from, double to, double step, double b)
{
    std::vector<PolarPoint> points;
    for (const double m : sweep_values(from, to, step)) {
        PolarPoint p;
        p.mach = m;
        const double over = std::max(0.0, m - 0.7);
        p.cd = 0.01 + b * over * over;
        points.push_back(p);
    }
    return points;
}

} // namespace

TEST(DivergenceMach, IsWhereTheDragRisesAtOneTenthPerMachNumber)
{
    EXPECT_NEAR(*divergence_mach(dragRise(0.6, 0.8, 0.01, 2.5)), 0.72, 1e-9);
    EXPECT_NEAR(*divergence_mach(dragRise(0.8, 0.6, -0.01, 2.5)), 0.72, 1e-9) << "whichever way it is swept";
    EXPECT_NEAR(*divergence_mach(dragRise(0.6, 0.9, 0.02, 1.0)), 0.75, 1e-9);

    auto failed = dragRise(0.6, 0.8, 0.01, 2.5);
    failed[12].cd = 1.0; // M 0.72
    failed[12].status = -2;
    EXPECT_NEAR(*divergence_mach(failed), 0.72, 1e-9) << "a failed point is left out";

    EXPECT_FALSE(divergence_mach(dragRise(0.5, 0.7, 0.01, 2.5))) << "no rise";
    EXPECT_FALSE(divergence_mach(dragRise(0.75, 0.8, 0.01, 2.5))) << "diverged before the sweep";
    EXPECT_FALSE(divergence_mach({}));
    EXPECT_EQ(divergence_text(0.72), "divergence_mach=0.720");
    EXPECT_EQ(divergence_text(std::nullopt), "divergence_mach=none");
}

TEST(PolarCsv, OneLinePerPointInTheProgramsMasks)
{
    PolarPoint p;
    p.mach = 0.7f;
    p.alpha = 1.234567;
    p.cl = 0.5;
    p.cd = 0.0123456;
    p.cd_wave = 0.0002;
    p.cd_friction = 0.00612345;
    p.cm = -0.0812;
    p.xtr_upper = 0.41;
    p.xtr_lower = 1;
    p.status = 3;
    PolarPoint failed = p;
    failed.status = -2;
    failed.alpha = -0.5;
    const auto lines = polar_csv({p, failed});
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "mach,alpha,cl,cd,cd_wave,cd_friction,cm,xtr_upper,xtr_lower,status");
    EXPECT_EQ(lines[1], "0.700,1.2346,0.500,0.012346,0.00020,0.006123,-0.0812,0.410,1.000,3");
    EXPECT_EQ(lines[2], "0.700,-0.500,0.500,0.012346,0.00020,0.006123,-0.0812,0.410,1.000,-2");
}
