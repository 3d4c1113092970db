// SPDX-License-Identifier: MIT
// The exported entry points: unpack the arguments, solve, and write back only finite numbers.
#include "smesh.h"

#include "FullPotential.h"
#include "Solver.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <new>

/// The memory behind a solver handle: the full-potential method's last solution.
struct SmeshSolver {
    // Made by the first calculation, after the processor is checked (see processorSupported).
    std::unique_ptr<camber::smesh::FullPotential> fullPotential;
};

namespace {

using camber::smesh::FlowResult;
using camber::smesh::kOutputPoints;

// Ncrit outside this range means no physical free-stream disturbance level.
constexpr double kLowestNcrit = 1, kHighestNcrit = 20, kDefaultNcrit = 9;

double finite(double v, bool& allFinite)
{
    allFinite = allFinite && std::isfinite(v);
    return std::isfinite(v) ? v : 0.0;
}

FlowResult solve(SmeshSolver& solver, const SmeshCase& in, std::int32_t n, const double* x, const double* y)
{
    camber::smesh::FlowCase flow;
    flow.prescribed_lift = in.prescribed_lift != 0;
    flow.target = in.target;
    flow.mach = in.mach;
    flow.viscous = in.viscous != 0;
    flow.reynolds = in.reynolds;
    flow.level = in.level;
    flow.ncrit = in.ncrit >= kLowestNcrit && in.ncrit <= kHighestNcrit ? in.ncrit : kDefaultNcrit;
    flow.transition = {std::isfinite(in.transition_upper) ? in.transition_upper : 0.0,
                       std::isfinite(in.transition_lower) ? in.transition_lower : 0.0};
    std::vector<camber::smesh::Point> contour;
    // More than 129 points is refused by the check without reading past the arrays.
    const int count = n < 0 ? 0 : (n > kOutputPoints ? kOutputPoints + 1 : n);
    for (int i = 0; i < count && i < kOutputPoints; ++i)
        contour.push_back({x[i], y[i]});
    if (count > kOutputPoints)
        contour.resize(static_cast<std::size_t>(count));
    if (in.method == 1)
        return camber::smesh::solve_flow(contour, flow);
    if (!solver.fullPotential)
        solver.fullPotential = std::make_unique<camber::smesh::FullPotential>();
    return solver.fullPotential->solve(contour, flow);
}

void copyLayer(const std::vector<camber::smesh::LayerStation>& from, SmeshLayer& to, bool& allFinite)
{
    to.count = static_cast<std::int32_t>(std::min<std::size_t>(from.size(), SMESH_MAX_STATIONS));
    to.reserved = 0;
    for (int k = 0; k < SMESH_MAX_STATIONS; ++k) {
        const camber::smesh::LayerStation z =
            k < to.count ? from[static_cast<std::size_t>(k)] : camber::smesh::LayerStation{};
        to.x[k] = finite(z.x, allFinite);
        to.y[k] = finite(z.y, allFinite);
        to.s[k] = finite(z.s, allFinite);
        to.ue[k] = finite(z.ue, allFinite);
        to.theta[k] = finite(z.theta, allFinite);
        to.dstar[k] = finite(z.dstar, allFinite);
        to.h[k] = finite(z.h, allFinite);
        to.cf[k] = finite(z.cf, allFinite);
    }
}

void fill(const FlowResult& r, SmeshResult& out)
{
    bool allFinite = true;
    out.version = SMESH_VERSION;
    out.iterations = r.iterations;
    out.n_cp = kOutputPoints;
    out.alpha = finite(r.alpha, allFinite);
    out.cl = finite(r.cl, allFinite);
    out.cd = finite(r.cd, allFinite);
    out.cd_wave = finite(r.cd_wave, allFinite);
    out.cd_friction = finite(r.cd_friction, allFinite);
    out.cd_pressure = out.cd - out.cd_friction;
    out.cm = finite(r.cm, allFinite);
    out.max_mach = finite(r.max_mach, allFinite);
    out.transition_upper = finite(r.transition_upper, allFinite);
    out.transition_lower = finite(r.transition_lower, allFinite);
    out.separation_upper = finite(r.separation_upper, allFinite);
    out.separation_lower = finite(r.separation_lower, allFinite);
    for (std::size_t i = 0; i < static_cast<std::size_t>(kOutputPoints); ++i) {
        out.cp_x[i] = finite(r.x[i], allFinite);
        out.cp_y[i] = finite(r.y[i], allFinite);
        out.cp[i] = finite(r.cp[i], allFinite);
        out.cp_mach[i] = finite(r.local_mach[i], allFinite);
        out.cp_cf[i] = finite(r.cf[i], allFinite);
        out.cp_dstar[i] = finite(r.dstar[i], allFinite);
        out.cp_theta[i] = finite(r.theta[i], allFinite);
    }
    copyLayer(r.layers.upper, out.upper, allFinite);
    copyLayer(r.layers.lower, out.lower, allFinite);
    copyLayer(r.layers.wake, out.wake, allFinite);
    out.status = allFinite || r.status < 0 ? r.status : camber::smesh::kNotConverged;
}

// Where the build asks for it the core is built for x86-64-v3, and this file for plain x86-64
// (see CMakeLists.txt): an older processor gets status -5 before any of the core's code runs,
// instead of an illegal instruction.
bool processorSupported()
{
#ifdef CAMBER_SOLVER_X86_64_V3
    __builtin_cpu_init();
    return __builtin_cpu_supports("x86-64-v3") != 0;
#else
    return true;
#endif
}

SmeshSolver& librarySolver()
{
    static SmeshSolver solver;
    return solver;
}

// Single precision loses nothing a caller can see, but a double beyond its range becomes 0.
float toFloat(double v) { return std::fabs(v) < 3e38 ? static_cast<float>(v) : 0.0f; }

} // namespace

extern "C" SMESH_EXPORT SmeshSolver* smesh_new(void) { return new (std::nothrow) SmeshSolver; }

extern "C" SMESH_EXPORT void smesh_free(SmeshSolver* solver) { delete solver; }

extern "C" SMESH_EXPORT std::int32_t smesh_solve(SmeshSolver* solver, const SmeshCase* flow, std::int32_t n_points,
                                                 const double* x, const double* y, SmeshResult* result)
{
    FlowResult r;
    if (!processorSupported()) {
        r.status = camber::smesh::kUnsupportedProcessor;
    } else if (flow == nullptr || flow->version != SMESH_VERSION || x == nullptr || y == nullptr) {
        camber::smesh::fill_fallback(r);
    } else {
        try {
            r = solve(solver != nullptr ? *solver : librarySolver(), *flow, n_points, x, y);
        } catch (const std::exception&) {
            // Only an exhausted memory can end up here; it is a failed calculation like any other.
            r = FlowResult{};
            camber::smesh::fill_fallback(r);
            r.status = camber::smesh::kNotConverged;
        }
    }
    fill(r, *result);
    return result->status;
}

extern "C" SMESH_EXPORT void SMESH(const std::int32_t* /*n_case*/, const std::int32_t* k_alcl, const std::int32_t* sm_opt0,
                      const float* mach, const float* alcl, const std::int32_t* sm_opt1, const std::int32_t* sm_opt2,
                      const std::int32_t* sm_opt3, const std::int32_t* n_pts, const float* sm_opt4, const float* x_sm,
                      const float* y_sm, std::int32_t* n_cp, float* cp_x, float* cp_y, float* cp, float* sm_out1,
                      float* alpha, float* clift, float* cdrag, float* cd_wave, float* sm_out2, std::int32_t* sm_stat)
{
    SmeshCase flow{};
    flow.version = SMESH_VERSION;
    flow.method = *sm_opt0 == 1 ? 1 : 0;
    flow.level = *sm_opt3;
    flow.prescribed_lift = *k_alcl != 1;
    flow.viscous = *sm_opt2 == 1;
    flow.mach = mach[0];
    flow.target = alcl[0];
    flow.reynolds = 1e6 * *sm_opt1;
    flow.ncrit = kDefaultNcrit;
    flow.transition_upper = flow.transition_lower = *sm_opt4;
    const int n = std::clamp(*n_pts, 0, kOutputPoints + 1);
    std::vector<double> x(static_cast<std::size_t>(n)), y(x.size());
    for (int i = 0; i < n && i < kOutputPoints; ++i) {
        x[static_cast<std::size_t>(i)] = x_sm[i];
        y[static_cast<std::size_t>(i)] = y_sm[i];
    }
    static thread_local SmeshResult r;
    smesh_solve(nullptr, &flow, *n_pts, x.data(), y.data(), &r);
    *n_cp = r.n_cp;
    for (int i = 0; i < kOutputPoints; ++i) {
        cp_x[i] = toFloat(r.cp_x[i]);
        cp_y[i] = toFloat(r.cp_y[i]);
        cp[10 * i] = toFloat(r.cp[i]);
        sm_out1[10 * i] = toFloat(r.cp_cf[i]);
        sm_out1[10 * i + 1] = toFloat(r.cp_dstar[i]);
        sm_out1[10 * i + 2] = toFloat(r.cp_theta[i]);
        sm_out1[10 * i + 3] = toFloat(r.cp_mach[i]);
    }
    *alpha = toFloat(r.alpha);
    *clift = toFloat(r.cl);
    *cdrag = toFloat(r.cd);
    *cd_wave = toFloat(r.cd_wave);
    sm_out2[0] = toFloat(r.transition_upper);
    sm_out2[1] = toFloat(r.transition_lower);
    sm_out2[2] = toFloat(r.cd_friction);
    sm_out2[3] = toFloat(r.cd_pressure);
    sm_out2[4] = static_cast<float>(r.iterations);
    sm_out2[5] = toFloat(r.max_mach);
    sm_out2[6] = toFloat(r.separation_upper);
    sm_out2[7] = toFloat(r.separation_lower);
    sm_out2[8] = toFloat(r.cm);
    sm_stat[0] = r.status;
}
