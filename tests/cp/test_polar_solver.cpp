// SPDX-License-Identifier: MIT
// Polars with the real solver library: a point of a sweep, which starts from the previous one's
// solution, is the same as a cold calculation of its case alone.
#include "cp/Polar.h"

#include "shell/SectionReader.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace camber;

namespace {

// How far a sweep's point may lie from a cold calculation of its case: the solver's own
// convergence tolerance on the lift (1e-4), a hundredth of a degree on the angle that reaches a
// prescribed lift, one drag count.
constexpr double kLift = 1e-4, kAngle = 0.01, kDrag = 1e-4;

struct Sweep {
    const char* section;
    PolarKind kind;
    double fixed;
    double from, to, step;
    bool viscous;
};

/// Subcritical attached flows for the panel method: drag polars, lift curves and Mach sweeps,
/// up and down, viscous and inviscid.
const Sweep kSweeps[] = {
    {"naca2412.ULF", PolarKind::Lift, 0.3, -0.2, 0.8, 0.2, true},
    {"naca2412.ULF", PolarKind::Alpha, 0.4, 4, -2, -1, true},
    {"naca2412.ULF", PolarKind::Mach, 0.4, 0.1, 0.5, 0.05, true},
    {"naca0012.ULF", PolarKind::Lift, 0.2, 0, 0.8, 0.2, false},
    {"naca4415_mm.ULF", PolarKind::Alpha, 0.25, -4, 4, 2, true},
};

void PrintTo(const Sweep& s, std::ostream* out)
{
    const char* kinds[] = {"lift", "alpha", "mach"};
    *out << s.section << " " << kinds[static_cast<int>(s.kind)] << " " << s.from << ":" << s.to << ":" << s.step
         << " at " << s.fixed << (s.viscous ? " viscous" : " inviscid");
}

class PolarWithTheSolver : public ::testing::TestWithParam<Sweep> {
protected:
    static void SetUpTestSuite() { set_solver_library_path(CAMBER_SMESH_LIBRARY); }
    static void TearDownTestSuite() { set_solver_library_path(""); }
};

} // namespace

TEST_P(PolarWithTheSolver, EveryPointIsAColdCalculationOfItsCase)
{
    const Sweep& sweep = GetParam();
    auto s = std::make_unique<SectionState>();
    s->f_inp = test::example(sweep.section);
    read_section(*s);
    fill_solver_inputs(*s);
    const SolverContour contour = solver_contour(*s);

    PolarRequest request;
    request.kind = sweep.kind;
    request.fixed = sweep.fixed;
    request.values = sweep_values(sweep.from, sweep.to, sweep.step);
    request.flow.method = 1;
    request.flow.reynolds = 6e6;
    request.flow.viscous = sweep.viscous;
    const auto cases = polar_cases(request);
    const SolverFunctions solver = solver_functions();
    std::vector<PolarPoint> points;
    compute_polar(solver, contour, cases, [&](const PolarPoint& p) {
        points.push_back(p);
        return true;
    });
    ASSERT_EQ(points.size(), cases.size());

    auto cold = std::make_unique<SmeshResult>();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const SolverMemory fresh(solver);
        solver.solve(fresh.get(), &cases[i], static_cast<std::int32_t>(contour.x.size()), contour.x.data(),
                     contour.y.data(), cold.get());
        const PolarPoint alone = polar_point(cases[i], *cold);
        const PolarPoint& swept = points[i];
        SCOPED_TRACE(testing::Message() << sweep.section << " point " << i << " at M " << swept.mach);
        ASSERT_GE(alone.status, 0) << "a subcritical case the panel method computes";
        EXPECT_EQ(swept.status, alone.status);
        if (cases[i].prescribed_lift == 1)
            EXPECT_NEAR(swept.alpha, alone.alpha, kAngle);
        else
            EXPECT_NEAR(swept.cl, alone.cl, kLift);
        EXPECT_NEAR(swept.cd, alone.cd, kDrag);
        EXPECT_NEAR(swept.cd_friction, alone.cd_friction, kDrag);
    }
}

INSTANTIATE_TEST_SUITE_P(PanelMethod, PolarWithTheSolver, ::testing::ValuesIn(kSweeps));
