// SPDX-License-Identifier: MIT
// The exported entry point: unpacks the arguments, solves, and writes back only finite numbers.
#include "smesh.h"

#include "FullPotential.h"
#include "Solver.h"

#include <cmath>
#include <exception>

namespace {

using camber::smesh::FlowResult;
using camber::smesh::kOutputPoints;

float toFloat(double v) { return std::isfinite(v) && std::fabs(v) < 3e38 ? static_cast<float>(v) : 0.0f; }

FlowResult solve(std::int32_t method, const std::int32_t* k_alcl, const float* mach, const float* alcl, const std::int32_t* sm_opt1,
                 const std::int32_t* sm_opt2, const std::int32_t* sm_opt3, const std::int32_t* n_pts,
                 const float* sm_opt4, const float* x_sm, const float* y_sm)
{
    camber::smesh::FlowCase flow;
    flow.prescribed_lift = *k_alcl != 1;
    flow.target = alcl[0];
    flow.mach = mach[0];
    flow.viscous = *sm_opt2 == 1;
    flow.reynolds = 1e6 * *sm_opt1;
    flow.level = *sm_opt3;
    flow.forced_transition = std::isfinite(*sm_opt4) ? *sm_opt4 : 0.0;
    std::vector<camber::smesh::Point> contour;
    // More than 129 points is refused by the check without reading past the arrays.
    const int n = *n_pts < 0 ? 0 : (*n_pts > kOutputPoints ? kOutputPoints + 1 : *n_pts);
    for (int i = 0; i < n && i < kOutputPoints; ++i)
        contour.push_back({x_sm[i], y_sm[i]});
    if (n > kOutputPoints)
        contour.resize(static_cast<std::size_t>(n));
    if (method == 1)
        return camber::smesh::solve_flow(contour, flow);
    return camber::smesh::solve_full_potential(contour, flow);
}

} // namespace

extern "C" SMESH_EXPORT void SMESH(const std::int32_t* /*n_case*/, const std::int32_t* k_alcl, const std::int32_t* sm_opt0,
                      const float* mach, const float* alcl, const std::int32_t* sm_opt1, const std::int32_t* sm_opt2,
                      const std::int32_t* sm_opt3, const std::int32_t* n_pts, const float* sm_opt4, const float* x_sm,
                      const float* y_sm, std::int32_t* n_cp, float* cp_x, float* cp_y, float* cp, float* sm_out1,
                      float* alpha, float* clift, float* cdrag, float* cd_wave, float* sm_out2, std::int32_t* sm_stat)
{
    FlowResult r;
    try {
        r = solve(*sm_opt0, k_alcl, mach, alcl, sm_opt1, sm_opt2, sm_opt3, n_pts, sm_opt4, x_sm, y_sm);
    } catch (const std::exception&) {
        // Only an exhausted memory can end up here; it is a failed calculation like any other.
        r = FlowResult{};
        r.status = camber::smesh::kNotConverged;
    }
    bool allFinite = true;
    const auto out = [&](double v) {
        allFinite = allFinite && std::isfinite(v);
        return toFloat(v);
    };
    *n_cp = kOutputPoints;
    for (int i = 0; i < kOutputPoints; ++i) {
        const auto k = static_cast<std::size_t>(i);
        cp_x[i] = out(r.x[k]);
        cp_y[i] = out(r.y[k]);
        cp[10 * i] = out(r.cp[k]);
        sm_out1[10 * i] = out(r.cf[k]);
        sm_out1[10 * i + 1] = out(r.dstar[k]);
        sm_out1[10 * i + 2] = out(r.theta[k]);
        sm_out1[10 * i + 3] = out(r.local_mach[k]);
    }
    *alpha = out(r.alpha);
    *clift = out(r.cl);
    *cdrag = out(r.cd);
    *cd_wave = out(r.cd_wave);
    sm_out2[0] = out(r.transition_upper);
    sm_out2[1] = out(r.transition_lower);
    sm_out2[2] = out(r.cd_friction);
    sm_out2[3] = out(r.cd - r.cd_friction);
    sm_out2[4] = static_cast<float>(r.iterations);
    sm_out2[5] = out(r.max_mach);
    sm_out2[6] = out(r.separation_upper);
    sm_out2[7] = out(r.separation_lower);
    sm_out2[8] = out(r.cm);
    sm_stat[0] = allFinite || r.status < 0 ? r.status : camber::smesh::kNotConverged;
}
