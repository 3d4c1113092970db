// SPDX-License-Identifier: MIT
#include "Solver.h"

#include "Frame.h"
#include "PanelLayers.h"
#include "PanelMethod.h"
#include "SectionLoads.h"

#include <algorithm>
#include <cmath>

namespace camber::smesh {

namespace {

// The panel method's compressibility correction stops at this free-stream Mach number.
constexpr double kMaxCorrectedMach = 0.99;
constexpr double kMaxAlpha = 45;        // degrees; a prescribed lift needing more is not reached
// Far below the 1e-4 asked for: the float result keeps it, and the angle does not move in steps
// while the viscous coupling settles.
constexpr double kLiftTolerance = 1e-8;
// The Reynolds numbers the boundary layers are computed for; outside, the nearest of them.
constexpr double kLowestReynolds = 1e4, kHighestReynolds = 1e10;

double compressibility(double m) { return std::sqrt(1 - m * m); }

double localMach(double cp, double m)
{
    if (m <= 0)
        return 0;
    const double base = std::max(1 + 0.7 * m * m * cp, 1e-6);
    const double m2 = 5 * ((1 + 0.2 * m * m) * std::pow(base, -1 / 3.5) - 1);
    return std::sqrt(std::max(m2, 0.0));
}

Eigen::VectorXd speeds(const PanelMethod& pm, const Eigen::VectorXd& fromSources, double alpha)
{
    return std::cos(alpha) * pm.gamma0() + std::sin(alpha) * pm.gamma90() + fromSources;
}

/// The angle (radians) at which the lift reaches target, by secant steps from alpha; false
/// when no angle within +-kMaxAlpha gets there.
bool angleForLift(const PanelMethod& pm, const SectionLoads& loads, const Eigen::VectorXd& fromSources, double target,
                  double& alpha)
{
    const double limit = kMaxAlpha * kDeg;
    double a0 = std::clamp(alpha, -limit, limit);
    double f0 = loads.lift(speeds(pm, fromSources, a0), a0) - target;
    double a1 = std::clamp(a0 + (f0 > 0 ? -1 : 1) * kDeg, -limit, limit);
    for (int it = 0; it < 50; ++it) {
        if (std::fabs(f0) < kLiftTolerance) {
            alpha = a0;
            return true;
        }
        const double f1 = loads.lift(speeds(pm, fromSources, a1), a1) - target;
        double next = a1;
        const double slope = (f1 - f0) / (a1 - a0);
        // The lift slope of a wing section is near 2 pi per radian; a flat or reversed secant
        // (beyond the range where the correction behaves) falls back on it.
        const double s = (std::isfinite(slope) && slope > 0.5) ? slope : 2 * kPi;
        next = a1 - f1 / s;
        next = std::clamp(next, a1 - 5 * kDeg, a1 + 5 * kDeg);
        next = std::clamp(next, -limit, limit);
        a0 = a1;
        f0 = f1;
        if (next == a1) {
            alpha = a1;
            return std::fabs(f1) < kLiftTolerance;
        }
        a1 = next;
    }
    alpha = a0;
    return std::fabs(f0) < kLiftTolerance;
}

} // namespace

void fill_fallback(FlowResult& r)
{
    for (int i = 0; i < kOutputPoints; ++i) {
        const double t = std::fabs(static_cast<double>(i - (kOutputPoints - 1) / 2)) / ((kOutputPoints - 1) / 2);
        r.x[static_cast<std::size_t>(i)] = 0.5 * (1 - std::cos(kPi * t));
    }
}

int nodes_for_level(int level)
{
    switch (level) {
    case 1: return 81;
    case 3: return 221;
    default: return 141;
    }
}

double critical_cp(double m)
{
    return (std::pow(2 / 2.4, 3.5) * std::pow(1 + 0.2 * m * m, 3.5) - 1) / (0.7 * m * m);
}

double shock_position(const FlowResult& r, double mach, bool upper)
{
    constexpr std::size_t kNose = kOutputPoints / 2;
    const double sonic = critical_cp(mach);
    double found = 0;
    for (std::size_t k = 0; k < kNose; ++k) {
        const std::size_t a = upper ? kNose - k : kNose + k, b = upper ? kNose - 1 - k : kNose + 1 + k;
        if (r.cp[a] < sonic && r.cp[b] >= sonic)
            found = r.x[a] + (sonic - r.cp[a]) / (r.cp[b] - r.cp[a]) * (r.x[b] - r.x[a]);
    }
    return found;
}

double karman_tsien(double cp0, double m)
{
    if (m <= 0)
        return cp0;
    m = std::min(m, kMaxCorrectedMach);
    const double beta = compressibility(m);
    // Past the point where the correction's denominator vanishes it has no meaning; it is
    // continued linearly so the result stays finite and monotonic.
    const double denom = std::max(beta + m * m / (1 + beta) * cp0 / 2, 0.25 * beta);
    const double vacuum = -1 / (0.7 * m * m);
    return std::max(cp0 / denom, vacuum);
}

FlowResult solve_flow(const std::vector<Point>& given, const FlowCase& flow)
{
    if (auto refused = unusable_input(given, flow))
        return *refused;
    FlowResult r;
    const int nodes = nodes_for_level(flow.level);
    const UnitChord frame = to_unit_chord(given, nodes);
    const Panelling p = repanel(frame.points, nodes, NodeSpacing::Layers);
    const double mach = std::min(flow.mach, kMaxCorrectedMach);
    // The influence matrices are the largest storage of a calculation; kept from call to call
    // (per thread), the next calculation reuses their memory instead of asking for it anew.
    thread_local PanelMethod pm;
    pm.build(p);
    if (!pm.ok()) {
        r.status = kUnusableContour;
        fill_fallback(r);
        return r;
    }
    const SectionLoads loads(p, mach);
    const std::size_t n = p.node.size();

    bool converged = true;
    double alpha = flow.prescribed_lift ? 2 * kDeg : flow.target * kDeg;
    const Eigen::VectorXd noSources = Eigen::VectorXd::Zero(static_cast<Eigen::Index>(n));
    if (flow.prescribed_lift)
        converged = angleForLift(pm, loads, noSources, flow.target, alpha);

    const bool viscous = flow.viscous && std::isfinite(flow.reynolds) && flow.reynolds > 0;
    SectionLayersResult v;
    Eigen::VectorXd gamma = speeds(pm, noSources, alpha);
    if (viscous) {
        FlowCase layerCase = flow;
        layerCase.reynolds = std::clamp(flow.reynolds, kLowestReynolds, kHighestReynolds);
        v = solve_panel_layers(p, pm, loads, layerCase, mach, alpha);
        converged = converged && v.converged;
        r.iterations = v.iterations;
        if (v.nodeSpeed.allFinite() && v.converged) {
            gamma = v.nodeSpeed;
            alpha = v.alpha;
        } else {
            // The layers did not settle (a stall): the inviscid flow is reported instead.
            v = SectionLayersResult{};
        }
    }
    if (v.cf.size() != n) {
        v.cf.assign(n, 0.0);
        v.theta.assign(n, 0.0);
        v.dstar.assign(n, 0.0);
    }

    std::vector<double> cp;
    loads.pressures(gamma, cp);
    loads.integrate(cp, alpha, r.cl, r.cm);
    r.alpha = alpha / kDeg;
    r.cd = v.cd;
    report_layers(v, frame.origin, frame.scale, r);

    std::vector<double> mloc(n);
    bool supersonic = false;
    for (std::size_t i = 0; i < n; ++i) {
        mloc[i] = localMach(cp[i], mach);
        r.max_mach = std::max(r.max_mach, mloc[i]);
        supersonic = supersonic || mloc[i] > 1;
    }
    write_outputs(p, frame, {&cp, &mloc, &v.cf, &v.dstar, &v.theta}, r);

    if (flow.mach > kMaxCorrectedMach || supersonic)
        r.status = kSupersonic;
    else if (!converged)
        r.status = kNotConverged;
    else if (flow.viscous && !viscous)
        r.status = kInviscidFallback;
    else if (viscous && std::min(r.separation_upper, r.separation_lower) < 0.99)
        r.status = kSeparated;
    else
        r.status = kConverged;
    return r;
}

} // namespace camber::smesh
