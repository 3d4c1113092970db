// SPDX-License-Identifier: MIT
#include "FullPotentialSupport.h"

#include "SolverCall.h"
#include "cp/CpCore.h"
#include "shell/SectionReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace camber::test {

std::vector<smesh::Point> naca_points(int digits, int n_up, bool sharp)
{
    std::vector<float> x, y;
    naca4(digits, n_up, sharp, x, y);
    std::vector<smesh::Point> c;
    for (std::size_t i = 0; i < x.size(); ++i)
        c.push_back({x[i], y[i]});
    return c;
}

std::vector<smesh::Point> section_points(const std::string& path)
{
    auto s = std::make_unique<SectionState>();
    s->f_inp = path;
    read_section(*s);
    fill_solver_inputs(*s);
    const SolverContour c = solver_contour(*s);
    std::vector<smesh::Point> points;
    for (std::size_t i = 0; i < c.x.size(); ++i)
        points.push_back({c.x[i], c.y[i]});
    return points;
}

void bump(std::vector<smesh::Point>& contour, double centre, double a, bool upper)
{
    const std::size_t n = contour.size(), le = n / 2;
    for (std::size_t i = 0; i < n; ++i) {
        if (upper ? i > le : i < le)
            continue;
        const double x = std::clamp(contour[i].x, 0.0, 1.0);
        const double s = std::sin(3.141592653589793 * std::pow(x, std::log(0.5) / std::log(centre)));
        contour[i].y += (upper ? a : -a) * s * s * s;
    }
}

std::pair<smesh::FlowResult, smesh::FlowResult> expect_warm_equals_cold(smesh::FullPotential& warm,
                                                                         const std::vector<smesh::Point>& contour,
                                                                         const smesh::FlowCase& flow,
                                                                         double alphaTolerance)
{
    smesh::FullPotential cold;
    const smesh::FlowResult w = warm.solve(contour, flow);
    EXPECT_TRUE(warm.lastWarm());
    const smesh::FlowResult c = cold.solve(contour, flow);
    EXPECT_FALSE(cold.lastWarm());
    EXPECT_EQ(w.status, 0);
    EXPECT_EQ(c.status, 0);
    EXPECT_NEAR(w.cl, c.cl, 1e-4);
    EXPECT_NEAR(w.cd, c.cd, 1e-4);
    EXPECT_NEAR(w.alpha, c.alpha, alphaTolerance);
    // A drag step is a small change: Newton from the last solution needs fewer steps than the
    // climb in Mach number from the free stream.
    EXPECT_LT(w.iterations, c.iterations);
    return {w, c};
}

bool all_finite(const smesh::FlowResult& r)
{
    bool ok = std::isfinite(r.cl) && std::isfinite(r.cd) && std::isfinite(r.cd_wave) && std::isfinite(r.cm) &&
              std::isfinite(r.alpha) && std::isfinite(r.cd_friction) && std::isfinite(r.transition_upper) &&
              std::isfinite(r.transition_lower) && std::isfinite(r.separation_upper) &&
              std::isfinite(r.separation_lower);
    for (std::size_t i = 0; i < r.cp.size(); ++i)
        ok = ok && std::isfinite(r.x[i]) && std::isfinite(r.y[i]) && std::isfinite(r.cp[i]) &&
             std::isfinite(r.cf[i]) && std::isfinite(r.dstar[i]) && std::isfinite(r.theta[i]) &&
             std::isfinite(r.local_mach[i]);
    return ok;
}

} // namespace camber::test
