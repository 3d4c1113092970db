// SPDX-License-Identifier: MIT
// The pressure calculation without a window: solver inputs, the loader, the Cp file and the
// numbers of the Cp plot.
#include "cp/CpCore.h"
#include "geometry/Error.h"
#include "shell/SectionReader.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace camber;
using camber::test::TempDir;
using camber::test::example;
using camber::test::slurp;

namespace {

/// A section with n stations, x cosine-spaced, symmetric 12 % thickness, chosen LE and TE y.
SectionState section(int n)
{
    SectionState s;
    s.k_sec = 1;
    s.n_up(1) = static_cast<Integer>(n);
    for (int i = 1; i <= n; ++i) {
        const double x = 0.5 * (1 - std::cos(3.141592653589793 * (i - 1) / (n - 1)));
        const double t = 0.6 * (0.2969 * std::sqrt(x) - 0.1260 * x - 0.3516 * x * x + 0.2843 * x * x * x -
                                0.1015 * x * x * x * x);
        s.x_st0(1, i) = static_cast<Single>(x);
        s.y_up0(1, i) = static_cast<Single>(t);
        s.y_lo0(1, i) = static_cast<Single>(-t);
        s.y_up(1, i) = static_cast<Single>(t + 0.01);
        s.y_lo(1, i) = static_cast<Single>(-t + 0.01);
    }
    return s;
}

// ---- Solver inputs ---------------------------------------------------------------------------

TEST(SolverInputs, ContourRunsRoundTheNoseAndTheLowerNoseValueStands)
{
    SectionState s = section(4);
    s.y_up0(1, 1) = 0.5f; // a nose written twice: the lower value must stand
    s.y_lo0(1, 1) = -0.25f;
    fill_solver_inputs(s);
    EXPECT_EQ(s.n_case, 1);
    EXPECT_EQ(s.n_pts, 7);
    const float x[] = {s.x_st0(1, 4), s.x_st0(1, 3), s.x_st0(1, 2), 0, s.x_st0(1, 2), s.x_st0(1, 3), s.x_st0(1, 4)};
    const float y[] = {s.y_up0(1, 4), s.y_up0(1, 3), s.y_up0(1, 2), -0.25f, s.y_lo0(1, 2), s.y_lo0(1, 3),
                       s.y_lo0(1, 4)};
    for (int i = 1; i <= 7; ++i) {
        EXPECT_EQ(s.x_sm(i), x[i - 1]) << i;
        EXPECT_EQ(s.y_sm(i), y[i - 1]) << i;
    }
}

TEST(SolverInputs, InitialSurfacesBeforeTheFirstCalculationCurrentOnesAfter)
{
    SectionState s = section(5);
    fill_solver_inputs(s);
    EXPECT_EQ(s.y_sm(1), s.y_up0(1, 5));
    EXPECT_EQ(s.y_sm(9), s.y_lo0(1, 5));
    s.n_calc = 1;
    fill_solver_inputs(s);
    EXPECT_EQ(s.y_sm(1), s.y_up(1, 5));
    EXPECT_EQ(s.y_sm(9), s.y_lo(1, 5));
    EXPECT_EQ(s.y_sm(2), s.y_up(1, 4));
}

TEST(SolverInputs, MoreThan65StationsAreResampledKeepingEndsAndClustering)
{
    const int n = 150;
    SectionState s = section(n);
    s.x_sm(129) = 123; // beyond what is written: must not be touched beyond 129 either way
    fill_solver_inputs(s);
    EXPECT_EQ(s.n_pts, 129);
    // Both ends exactly.
    EXPECT_EQ(s.x_sm(1), s.x_st0(1, n));
    EXPECT_EQ(s.y_sm(1), s.y_up0(1, n));
    EXPECT_EQ(s.x_sm(129), s.x_st0(1, n));
    EXPECT_EQ(s.y_sm(129), s.y_lo0(1, n));
    EXPECT_EQ(s.x_sm(65), 0.0f);
    EXPECT_EQ(s.y_sm(65), s.y_lo0(1, 1));
    // The cosine clustering survives: the stations are again nearly cosine-spaced.
    for (int j = 1; j <= 65; ++j) {
        const double expected = 0.5 * (1 - std::cos(3.141592653589793 * (j - 1) / 64));
        EXPECT_NEAR(s.x_sm(64 + j), expected, 2e-3) << j;
        EXPECT_EQ(s.x_sm(66 - j), s.x_sm(64 + j)) << j;
    }
    // The surfaces stay on the section (thickness law evaluated at the new stations).
    for (int j = 2; j <= 65; ++j) {
        const double x = s.x_sm(64 + j);
        const double t = 0.6 * (0.2969 * std::sqrt(x) - 0.1260 * x - 0.3516 * x * x + 0.2843 * x * x * x -
                                0.1015 * x * x * x * x);
        EXPECT_NEAR(s.y_sm(66 - j), t, 2e-5) << j;
        EXPECT_NEAR(s.y_sm(64 + j), -t, 2e-5) << j;
    }
}

TEST(SolverInputs, ExampleSectionsFillTheirStations)
{
    for (const char* name : {"naca0012.ULF", "naca2412.ULF"}) {
        SectionState s;
        s.f_inp = example(name);
        read_section(s);
        fill_solver_inputs(s);
        EXPECT_EQ(s.n_pts, 2 * std::min<int>(s.n_up(1), kSolverStations) - 1) << name;
    }
}

// ---- Loader and call ---------------------------------------------------------------------------

/// A stand-in solver that records what it was given.
struct FakeSolver {
    static inline int calls = 0;
    static inline SmeshCase last{};
    static inline std::int32_t lastPoints = 0;
    static std::int32_t solve(SmeshSolver*, const SmeshCase* flow, std::int32_t n, const double*, const double*,
                              SmeshResult* r)
    {
        ++calls;
        last = *flow;
        lastPoints = n;
        *r = SmeshResult{};
        r->n_cp = 129;
        r->cp[128] = -1.5;
        r->cp_mach[3] = 0.75;
        r->alpha = 2.5;
        r->cl = 0.5;
        r->cd = 0.0123;
        r->cd_wave = 0.0031;
        r->cd_friction = 0.006;
        r->transition_upper = 0.42;
        return r->status = 0;
    }
};

class Loader : public ::testing::Test {
protected:
    void TearDown() override { set_solver_library_path(""); }
};

TEST_F(Loader, MissingLibraryIsAClearError)
{
    TempDir dir;
    const std::string path = dir.file("dll/libsmesh.so");
    set_solver_library_path(path);
    try {
        solver_function();
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("does not exist"), std::string::npos) << e.what();
    }
    SectionState s = section(5);
    EXPECT_THROW(call_solver(s), Error);
}

TEST_F(Loader, BrokenLibraryIsAClearError)
{
    TempDir dir;
    set_solver_library_path(dir.write("libsmesh.so", "not a shared object"));
    try {
        solver_function();
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("cannot load the solver library"), std::string::npos) << e.what();
    }
}

TEST_F(Loader, LibraryWithoutTheFunctionIsAClearError)
{
    set_solver_library_path(CAMBER_LIBRARY_WITHOUT_SMESH);
    try {
        solver_function();
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("has no function smesh_solve"), std::string::npos) << e.what();
    }
}

TEST_F(Loader, DefaultLibraryLiesBesideTheExecutable)
{
    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(default_solver_path(), (exe.parent_path() / "dll" / "libsmesh.so").string());
}

TEST_F(Loader, FakeSolverReplacesTheLibraryAndDragComesBack)
{
    set_solver_function(&FakeSolver::solve);
    SectionState s = section(5);
    s.mach(1) = 0.6f;
    s.k_alcl = 1;
    s.alcl(1) = 3.0f;
    s.flow.reynolds = 6.5e6;
    s.flow.transition_lower = 0.3;
    fill_solver_inputs(s);
    const int before = FakeSolver::calls;
    const SolverOutputs out = call_solver(s);
    EXPECT_EQ(FakeSolver::calls, before + 1);
    EXPECT_EQ(FakeSolver::last.version, SMESH_VERSION);
    EXPECT_DOUBLE_EQ(FakeSolver::last.mach, 0.6f);
    EXPECT_EQ(FakeSolver::last.prescribed_lift, 0) << "k_alcl 1 prescribes the angle";
    EXPECT_DOUBLE_EQ(FakeSolver::last.target, 3.0);
    EXPECT_DOUBLE_EQ(FakeSolver::last.reynolds, 6.5e6);
    EXPECT_DOUBLE_EQ(FakeSolver::last.transition_upper, 0.0);
    EXPECT_DOUBLE_EQ(FakeSolver::last.transition_lower, 0.3);
    EXPECT_EQ(FakeSolver::lastPoints, 9);
    EXPECT_EQ(out.cdrag, 0.0123f);
    EXPECT_EQ(out.wave_drag, 0.0031f);
    ASSERT_TRUE(out.result);
    EXPECT_DOUBLE_EQ(out.result->cd_friction, 0.006);
    EXPECT_EQ(s.alpha, 2.5f);
    EXPECT_EQ(s.cp(1, 129), -1.5f);
    EXPECT_EQ(s.sm_out1(4, 4), 0.75f) << "row 4: local Mach number";
    EXPECT_EQ(s.sm_out2(1, 1), 0.42f) << "transition x/c upper";
    EXPECT_EQ(s.sm_out2(3, 1), 0.006f) << "friction drag";
}

TEST_F(Loader, RealLibraryComputesAnExampleOnce)
{
    set_solver_library_path(CAMBER_SMESH_LIBRARY);
    const SmeshSolveFunction first = solver_function();
    EXPECT_EQ(solver_function(), first); // loaded once
    SectionState s;
    s.f_inp = example("naca0012.ULF");
    read_section(s);
    s.mach(1) = 0.5f;
    s.alcl(1) = 0.3f;
    fill_solver_inputs(s);
    const SolverOutputs out = call_solver(s);
    EXPECT_GE(s.sm_stat(1), 0);
    EXPECT_NEAR(s.clift, 0.3f, 1e-4);
    EXPECT_GT(out.cdrag, 0.003f);
    EXPECT_EQ(s.n_cp, 129);
}

// ---- Cp file -------------------------------------------------------------------------------------

TEST(CpFile, MatchesAHandCheckedFile)
{
    TempDir dir;
    SectionState s;
    s.title_ln(1) = Text80("Short test section");
    s.mach(1) = 0.7f;
    s.alpha = -1.25f;
    s.clift = 0.5f;
    s.twist = 0.123456f;
    s.n_cp = 3;
    s.cp_x(1) = 1.0f;
    s.cp_y(1) = 0.00126f;
    s.cp(1, 1) = 0.2f;
    s.cp_x(2) = 0.0f;
    s.cp_y(2) = 0.0f;
    s.cp(1, 2) = 1.02f;
    s.cp_x(3) = 0.5f;
    s.cp_y(3) = -0.0625f;
    s.cp(1, 3) = -0.43219f;
    s.f_cpo = dir.file("case.cpo");
    save_cp(s);
    const std::string title = "Short test section" + std::string(62, ' ');
    const std::string expected = title + "\r\n"
                                 "<  MACH  ><  ALPHA ><  CLIFT ><   EPS  >\r\n"
                                 "0.7000    -1.2500   0.5000    0.1235    \r\n"
                                 "<    X   ><    Y   ><   CP   >\r\n"
                                 "1.000000  0.001260  0.2000              \r\n"
                                 "0.000000  0.000000  1.0200              \r\n"
                                 "0.500000  -0.062500 -0.4322             \r\n";
    EXPECT_EQ(slurp(s.f_cpo), expected);
}

TEST(CpFile, NoPointsGivesFourLinesAndTooManyStopAt129)
{
    SectionState s;
    s.n_cp = 0;
    EXPECT_EQ(cp_file_lines(s).size(), 4u);
    s.n_cp = 500;
    EXPECT_EQ(cp_file_lines(s).size(), 4u + 129u);
    s.n_cp = -3;
    EXPECT_EQ(cp_file_lines(s).size(), 4u);
}

TEST(CpFile, UnwritableFileIsAnErrorNamingIt)
{
    TempDir dir;
    SectionState s;
    s.f_cpo = dir.file("missing/folder/out.cpo");
    try {
        save_cp(s);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("out.cpo"), std::string::npos) << e.what();
    }
}

// ---- Numbers of the Cp plot --------------------------------------------------------------------

TEST(CpPlot, CriticalPressureCoefficient)
{
    EXPECT_NEAR(critical_cp(0.7f), -0.7791f, 1e-4f);
    EXPECT_NEAR(critical_cp(0.5f), -2.1334f, 1e-4f);
    EXPECT_NEAR(critical_cp(1.0f), 0.0f, 1e-6f); // sonic free stream
    EXPECT_EQ(critical_cp(0.0999f), -67.0f);
    EXPECT_EQ(critical_cp(0.05f), -67.0f);
    EXPECT_EQ(critical_cp(0.0f), -67.0f);
    EXPECT_NE(critical_cp(0.1f), -67.0f);
}

TEST(CpPlot, ScanFindsTheCrossingNearestTheLowerTrailingEdgeAndTheMinimum)
{
    SectionState s;
    for (int i = 1; i <= 129; ++i)
        s.cp(1, i) = 0.2f;
    s.cp(1, 1) = -0.5f;   // the start value of the minimum
    s.cp(1, 30) = -1.2f;  // crossings at 30 and 31
    s.cp(1, 90) = -0.9f;  // crossings at 90 and 91: 91 is found first
    s.cp(1, 129) = -3.0f; // point 129 takes part in neither test
    const CpScan scan = scan_cp(s, critical_cp(0.7f));
    EXPECT_EQ(scan.k, 91);
    EXPECT_EQ(scan.cp_min, -1.2f);
    // Below Mach 0.1 nothing crosses -67.
    EXPECT_EQ(scan_cp(s, critical_cp(0.05f)).k, 129);
}

TEST(CpPlot, AxisStepsAreStrict)
{
    EXPECT_EQ(cp_axis_bottom(-1.99f), -2.0f);
    EXPECT_EQ(cp_axis_bottom(-2.0f), -2.5f);
    EXPECT_EQ(cp_axis_bottom(-2.5f), -3.0f);
    EXPECT_EQ(cp_axis_bottom(-2.99f), -3.0f);
    EXPECT_EQ(cp_axis_bottom(-3.0f), -3.5f);
    EXPECT_EQ(cp_axis_bottom(-3.5f), -5.0f);
    EXPECT_EQ(cp_axis_bottom(-40.0f), -5.0f);
    EXPECT_EQ(cp_axis_bottom(0.5f), -2.0f);
}

TEST(CpPlot, CriticalLineEndsStayOnThePoints)
{
    EXPECT_FALSE(cp_star_line(129).drawn);
    const CpStarLine mid = cp_star_line(40);
    EXPECT_TRUE(mid.drawn);
    EXPECT_EQ(mid.from, 36);
    EXPECT_EQ(mid.to, 41);
    const CpStarLine early = cp_star_line(3);
    EXPECT_EQ(early.from, 1);
    EXPECT_EQ(early.to, 4);
    const CpStarLine last = cp_star_line(128);
    EXPECT_EQ(last.from, 124);
    EXPECT_EQ(last.to, 129);
}

} // namespace
