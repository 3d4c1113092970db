// SPDX-License-Identifier: MIT
// The full-potential Jacobian against central differences of its residuals, column by column:
// the element fluxes with their upwinding, the far field, the Kutta condition, the lift row and
// the wall's transpiration. A wrong entry costs Newton iterations, which the iteration budget
// then turns into a failure that no single case points to.

#include "FullPotentialSupport.h"

#include "solver/Contour.h"
#include "solver/FpDiscretisation.h"
#include "solver/FpNewton.h"
#include "solver/Grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace camber::smesh;

struct JacobianCase {
    std::string name;
    int digits;          // NACA four-digit section
    double mach;         // free stream
    bool viscous;        // the Kutta condition on the panel away from the edge, a wall transpiration
    bool prescribedLift; // the angle an unknown, the lift row its equation
    double target;       // angle (degrees) or lift
};

// Entries that differ from the differences by more than this, relative to the larger of the two
// (and to a thousandth of the column's largest difference, for entries near zero), fail...
constexpr double kTolerance = 1e-4;
// ... unless the differences themselves change by half as much when the step is cut eightfold:
// the upwinding switches on where the Mach number passes its cut-off through a smooth but steep
// corner, and a step across it sees a slope the Jacobian has on one side only. A wrong entry
// differs by the same at every step. A few such corners are allowed at a shock.
constexpr int kMostAtCorners = 3;

void PrintTo(const JacobianCase& c, std::ostream* os) { *os << c.name; }

class FullPotentialJacobian : public ::testing::TestWithParam<JacobianCase> {};

TEST_P(FullPotentialJacobian, AgreesWithCentralDifferencesOfTheResiduals)
{
    const JacobianCase& c = GetParam();
    const Panelling p = repanel(camber::test::naca_points(c.digits, 65, true), 65);
    const OGrid g = build_o_grid(p, 20, 15, 1.0 / 64);
    ASSERT_TRUE(g.ok);
    std::shared_ptr<const fp::Topology> shared;
    fp::Discretisation d(g, c.viscous, shared);
    // A converged flow first, reached through the Mach numbers, so that the shocks and their
    // upwinding are in the state.
    const double alpha = 1.25 * kDeg;
    Eigen::VectorXd x;
    d.freeStream(x, alpha, 0.1);
    fp::LinearSolver lu;
    lu.analyzePattern(d.jacobian());
    int iterations = 0;
    for (const double mach : {0.5, 0.7, c.mach}) {
        d.setCase(mach, false, alpha);
        ASSERT_TRUE(fp::newton(d, lu, x, 1e-6, 30, {400}, iterations, true)) << mach;
    }
    double maxMach = 0, minBase = 0;
    d.extremes(x, maxMach, minBase);
    // The transonic cases hold supersonic zones, where the upwinding acts.
    EXPECT_EQ(maxMach > 1, c.mach > 0.7) << maxMach;
    d.setCase(c.mach, c.prescribedLift, c.prescribedLift ? c.target : c.target * kDeg);
    d.updateEntropy(x);
    if (c.viscous) {
        std::vector<double> flux(static_cast<std::size_t>(g.ni));
        for (std::size_t i = 0; i < flux.size(); ++i)
            flux[i] = 1e-3 * std::sin(0.1 * static_cast<double>(i));
        d.setWallFlux(flux);
    }
    Eigen::VectorXd r, plus, minus;
    d.assemble(x, r, true);
    const fp::SparseMatrix j = d.jacobian();
    const int n = d.unknowns();
    const auto differences = [&](int col, double h) {
        Eigen::VectorXd xp = x, xm = x;
        xp(col) += h;
        xm(col) -= h;
        d.assemble(xp, plus, false);
        d.assemble(xm, minus, false);
        return Eigen::VectorXd((plus - minus) / (2 * h));
    };
    std::vector<int> unknownAt(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k)
        unknownAt[static_cast<std::size_t>(d.orderOf(k))] = k;
    int atCorners = 0;
    Eigen::VectorXd column(n);
    for (int col = 0; col < n; ++col) {
        column.setZero();
        for (fp::SparseMatrix::InnerIterator it(j, d.orderOf(col)); it; ++it)
            column(unknownAt[static_cast<std::size_t>(it.row())]) = it.value();
        const double h = 1e-7 * std::max(1.0, std::fabs(x(col)));
        const Eigen::VectorXd fd = differences(col, h);
        Eigen::VectorXd finer;
        const double scale = 1e-3 * std::max(1.0, fd.lpNorm<Eigen::Infinity>());
        for (int row = 0; row < n; ++row) {
            const double entry = column(row);
            const double size = std::max({std::fabs(entry), std::fabs(fd(row)), scale});
            if (std::fabs(entry - fd(row)) <= kTolerance * size)
                continue;
            if (finer.size() == 0)
                finer = differences(col, h / 8);
            ASSERT_GT(std::fabs(finer(row) - fd(row)), 0.5 * std::fabs(entry - fd(row)))
                << "row " << row << " column " << col << ": " << entry << " against " << fd(row) << " and " << finer(row);
            ++atCorners;
        }
    }
    EXPECT_LE(atCorners, kMostAtCorners);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FullPotentialJacobian,
    ::testing::Values(JacobianCase{"subsonic_angle", 12, 0.5, false, false, 1.25},
                      JacobianCase{"transonic_angle", 12, 0.8, false, false, 1.25},
                      JacobianCase{"transonic_lift_viscous_cambered", 2412, 0.75, true, true, 0.5}),
    [](const ::testing::TestParamInfo<JacobianCase>& info) { return info.param.name; });

} // namespace
