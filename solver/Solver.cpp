// SPDX-License-Identifier: MIT
#include "Solver.h"

#include "BoundaryLayer.h"
#include "PanelMethod.h"

#include <algorithm>
#include <cmath>

namespace camber::smesh {

namespace {

constexpr double kMaxMach = 0.99;
constexpr double kMaxAlpha = 45;        // degrees; a prescribed lift needing more is not reached
// Far below the 1e-4 asked for: the float result keeps it, and the angle does not move in steps
// while the viscous coupling settles.
constexpr double kLiftTolerance = 1e-8;
// Enough for a layer separated near the trailing edge to settle; attached flows need 10 to 20.
constexpr int kMaxCouplingIterations = 150;
// A mass defect of 5 % of the chord is no boundary layer: the coupling has run away (massive
// separation), and the inviscid flow is reported instead.
constexpr double kRunawayDefect = 0.05;
constexpr double kRelaxation = 0.5;
// Smoothing passes over the transpiration: the shortest panels (at the edges) would otherwise
// carry a wavy source distribution that the direct coupling amplifies.
constexpr int kSmoothingPasses = 2;

double compressibility(double m) { return std::sqrt(1 - m * m); }

// Karman-Tsien speed correction, consistent with the pressure correction below:
// q = q0 (1 - lambda) / (1 - lambda q0^2), lambda = M^2 / (1 + beta)^2.
double karmanTsienSpeed(double q0, double m)
{
    const double beta = compressibility(m);
    const double lambda = m * m / ((1 + beta) * (1 + beta));
    const double denom = std::max(1 - lambda * q0 * q0, 0.1 * (1 - lambda));
    return q0 * (1 - lambda) / denom;
}

double localMach(double cp, double m)
{
    if (m <= 0)
        return 0;
    const double base = std::max(1 + 0.7 * m * m * cp, 1e-6);
    const double m2 = 5 * ((1 + 0.2 * m * m) * std::pow(base, -1 / 3.5) - 1);
    return std::sqrt(std::max(m2, 0.0));
}

/// The contour in the chord frame and the integrated loads of a surface-speed distribution.
class Loads {
public:
    Loads(const Panelling& p, double mach) : m_p(p), m_mach(mach)
    {
        m_cx = (p.trailing_edge.x - p.leading_edge.x) / p.chord;
        m_cy = (p.trailing_edge.y - p.leading_edge.y) / p.chord;
        m_ref = {p.leading_edge.x + 0.25 * (p.trailing_edge.x - p.leading_edge.x),
                 p.leading_edge.y + 0.25 * (p.trailing_edge.y - p.leading_edge.y)};
    }

    void pressures(const Eigen::VectorXd& gamma, std::vector<double>& cp) const
    {
        cp.resize(static_cast<std::size_t>(gamma.size()));
        for (Eigen::Index i = 0; i < gamma.size(); ++i)
            cp[static_cast<std::size_t>(i)] = karman_tsien(1 - gamma(i) * gamma(i), m_mach);
    }

    /// Lift and moment coefficients from the pressures; alpha in radians from the x axis.
    void integrate(const std::vector<double>& cp, double alpha, double& cl, double& cm) const
    {
        double fx = 0, fy = 0, mz = 0;
        const auto& node = m_p.node;
        for (std::size_t j = 0; j + 1 < node.size(); ++j) {
            const double dx = node[j + 1].x - node[j].x, dy = node[j + 1].y - node[j].y;
            const double c = 0.5 * (cp[j] + cp[j + 1]);
            // Force -cp n ds with the outward normal (dy, -dx) / ds of a counter-clockwise contour.
            const double px = -c * dy, py = c * dx;
            fx += px;
            fy += py;
            const double rx = 0.5 * (node[j].x + node[j + 1].x) - m_ref.x;
            const double ry = 0.5 * (node[j].y + node[j + 1].y) - m_ref.y;
            mz += rx * py - ry * px;
        }
        const double c = m_p.chord;
        cl = (fy * std::cos(alpha) - fx * std::sin(alpha)) / c;
        cm = -mz / (c * c); // nose up positive is clockwise
    }

    double lift(const Eigen::VectorXd& gamma, double alpha) const
    {
        pressures(gamma, m_cp);
        double cl = 0, cm = 0;
        integrate(m_cp, alpha, cl, cm);
        return cl;
    }

    /// x/c of a node, along the chord from the leading edge.
    double xc(std::size_t i) const
    {
        return ((m_p.node[i].x - m_p.leading_edge.x) * m_cx + (m_p.node[i].y - m_p.leading_edge.y) * m_cy) /
               m_p.chord;
    }

private:
    const Panelling& m_p;
    double m_mach;
    double m_cx = 1, m_cy = 0;
    Point m_ref;
    mutable std::vector<double> m_cp;
};

Eigen::VectorXd speeds(const PanelMethod& pm, const Eigen::VectorXd& fromSources, double alpha)
{
    return std::cos(alpha) * pm.gamma0() + std::sin(alpha) * pm.gamma90() + fromSources;
}

/// The angle (radians) at which the lift reaches target, by secant steps from alpha; false
/// when no angle within +-kMaxAlpha gets there.
bool angleForLift(const PanelMethod& pm, const Loads& loads, const Eigen::VectorXd& fromSources, double target,
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

/// The two boundary layers about a surface-speed distribution, their mass defect and drag.
struct Viscous {
    std::vector<double> theta, h, cf, massDefect;
    double cd = 0, cdFriction = 0;
    double transitionUpper = 1, transitionLower = 1, separationUpper = 1, separationLower = 1;
    int stagnation = 0; // last node of the upper surface
    bool finite = true;
};

Viscous boundaryLayers(const Panelling& p, const Loads& loads, const Eigen::VectorXd& gamma, const FlowCase& flow)
{
    const std::size_t n = p.node.size();
    Viscous v;
    v.theta.assign(n, 0.0);
    v.h.assign(n, 0.0);
    v.cf.assign(n, 0.0);
    v.massDefect.assign(n, 0.0);
    // Stagnation point: where the surface speed turns from the upper surface's direction
    // (negative, towards the trailing edge against the node order) to the lower's; of several
    // such places the one nearest the leading edge.
    int best = -1;
    for (std::size_t i = 0; i + 1 < n; ++i)
        if (gamma(static_cast<Eigen::Index>(i)) <= 0 && gamma(static_cast<Eigen::Index>(i + 1)) > 0)
            if (best < 0 || std::abs(static_cast<int>(i) - p.le) < std::abs(best - p.le))
                best = static_cast<int>(i);
    if (best < 0)
        best = std::clamp(p.le, 0, static_cast<int>(n) - 2);
    v.stagnation = best;
    const std::size_t is = static_cast<std::size_t>(best);
    const double ga = gamma(best), gb = gamma(best + 1);
    const double w = (gb - ga) != 0 ? std::clamp(-ga / (gb - ga), 0.0, 1.0) : 0.5;
    const double sStag = p.s[is] + w * (p.s[is + 1] - p.s[is]);

    for (int side = 0; side < 2; ++side) {
        std::vector<std::size_t> nodes;
        if (side == 0)
            for (std::size_t i = is + 1; i-- > 0;)
                nodes.push_back(i);
        else
            for (std::size_t i = is + 1; i < n; ++i)
                nodes.push_back(i);
        BoundaryLayerInput in;
        in.reynolds = flow.reynolds;
        in.ncrit = flow.ncrit;
        in.forced = flow.transition[static_cast<std::size_t>(side)];
        in.xi.push_back(0);
        in.ue.push_back(0);
        in.xc.push_back(loads.xc(is));
        for (std::size_t i : nodes) {
            in.xi.push_back(std::max(std::fabs(p.s[i] - sStag), in.xi.back() + 1e-9));
            in.ue.push_back(karmanTsienSpeed(std::fabs(gamma(static_cast<Eigen::Index>(i))), flow.mach));
            in.xc.push_back(loads.xc(i));
        }
        trailing_edge_speed(in);
        const BoundaryLayerResult r = march_boundary_layer(in);
        v.finite = v.finite && r.finite;
        for (std::size_t k = 0; k < nodes.size(); ++k) {
            const std::size_t i = nodes[k];
            v.theta[i] = r.theta[k + 1];
            v.h[i] = r.h[k + 1];
            v.cf[i] = r.cf[k + 1] * in.ue[k + 1] * in.ue[k + 1];
            // The mass defect with the edge speed the layer saw, so that the inviscid stagnation
            // at the trailing edge does not feed back into the transpiration.
            v.massDefect[i] = in.ue[k + 1] * r.theta[k + 1] * r.h[k + 1];
        }
        // Friction drag: the wall shear integrated along the surface, projected on the stream
        // direction only roughly (the chord direction), as a split of the total.
        double friction = 0;
        for (std::size_t k = 1; k < nodes.size(); ++k)
            friction += 0.5 * (v.cf[nodes[k]] + v.cf[nodes[k - 1]]) * std::fabs(in.xc[k + 1] - in.xc[k]);
        const std::size_t last = nodes.size();
        const double cd = squire_young(r.theta[last], r.h[last], in.ue[last]);
        v.cd += cd;
        v.cdFriction += friction;
        (side == 0 ? v.transitionUpper : v.transitionLower) = r.transition_xc;
        (side == 0 ? v.separationUpper : v.separationLower) = r.separation_xc;
    }
    return v;
}

/// Transpiration per panel from the growth of the mass defect in the direction of the flow.
Eigen::VectorXd transpiration(const Panelling& p, const std::vector<double>& m, int stagnation)
{
    const std::size_t np = p.node.size() - 1;
    Eigen::VectorXd sigma(static_cast<Eigen::Index>(np));
    const std::size_t is = static_cast<std::size_t>(stagnation);
    for (std::size_t j = 0; j < np; ++j) {
        const double len = p.s[j + 1] - p.s[j];
        double d = 0;
        if (j < is)
            d = m[j] - m[j + 1];
        else if (j > is)
            d = m[j + 1] - m[j];
        else
            d = m[j] + m[j + 1];
        sigma(static_cast<Eigen::Index>(j)) = len > 0 ? d / len : 0.0;
    }
    for (int pass = 0; pass < kSmoothingPasses; ++pass) {
        Eigen::VectorXd t = sigma;
        for (std::size_t j = 1; j + 1 < np; ++j) {
            const auto k = static_cast<Eigen::Index>(j);
            const double l0 = p.s[j] - p.s[j - 1], l1 = p.s[j + 1] - p.s[j], l2 = p.s[j + 2] - p.s[j + 1];
            t(k) = (l0 * sigma(k - 1) + 2 * l1 * sigma(k) + l2 * sigma(k + 1)) / (l0 + 2 * l1 + l2);
        }
        sigma = t;
    }
    return sigma;
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
    m = std::min(m, kMaxMach);
    const double beta = compressibility(m);
    // Past the point where the correction's denominator vanishes it has no meaning; it is
    // continued linearly so the result stays finite and monotonic.
    const double denom = std::max(beta + m * m / (1 + beta) * cp0 / 2, 0.25 * beta);
    const double vacuum = -1 / (0.7 * m * m);
    return std::max(cp0 / denom, vacuum);
}

FlowResult solve_flow(const std::vector<Point>& given, const FlowCase& flow)
{
    FlowResult r;
    const bool usableCase = std::isfinite(flow.mach) && flow.mach >= 0 && std::isfinite(flow.target);
    if (!usableCase || check_contour(given) != ContourProblem::Usable) {
        r.status = kUnusableContour;
        r.alpha = std::isfinite(flow.target) && !flow.prescribed_lift ? flow.target : 0.0;
        fill_fallback(r);
        return r;
    }
    // Work on the contour scaled to unit chord: the boundary layer's Reynolds number refers to
    // it. Results are mapped back to the caller's units at the end.
    const Panelling raw = repanel(given, nodes_for_level(flow.level));
    const double scale = raw.chord;
    std::vector<Point> unit(given.size());
    for (std::size_t i = 0; i < given.size(); ++i)
        unit[i] = {(given[i].x - raw.leading_edge.x) / scale, (given[i].y - raw.leading_edge.y) / scale};
    const Panelling p = repanel(unit, nodes_for_level(flow.level));
    const double mach = std::min(flow.mach, kMaxMach);
    // The influence matrices are the largest storage of a calculation; kept from call to call
    // (per thread), the next calculation reuses their memory instead of asking for it anew.
    thread_local PanelMethod pm;
    pm.build(p);
    if (!pm.ok()) {
        r.status = kUnusableContour;
        fill_fallback(r);
        return r;
    }
    const Loads loads(p, mach);
    const std::size_t n = p.node.size();

    bool converged = true, loose = false;
    double alpha = flow.prescribed_lift ? 2 * kDeg : flow.target * kDeg;
    Eigen::VectorXd fromSources = Eigen::VectorXd::Zero(static_cast<Eigen::Index>(n));
    if (flow.prescribed_lift)
        converged = angleForLift(pm, loads, fromSources, flow.target, alpha);

    const bool viscous = flow.viscous && std::isfinite(flow.reynolds) && flow.reynolds > 0;
    Viscous v;
    if (viscous) {
        FlowCase bl = flow;
        bl.mach = mach;
        bl.reynolds = std::clamp(flow.reynolds, 1e4, 1e10);
        std::vector<double> m(n, 0.0);
        bool settled = false;
        // Under-relaxed direct coupling; the relaxation shrinks whenever the change grows, which
        // damps the oscillation that the discrete stagnation and transition points can excite,
        // and recovers while the change falls.
        double relaxation = kRelaxation, previousChange = 1e300, maxDefect = 0;
        int it = 0;
        for (; it < kMaxCouplingIterations && !settled; ++it) {
            v = boundaryLayers(p, loads, speeds(pm, fromSources, alpha), bl);
            if (!v.finite)
                break;
            double change = 0, size = 0;
            for (std::size_t i = 0; i < n; ++i) {
                change = std::max(change, std::fabs(v.massDefect[i] - m[i]));
                size = std::max(size, std::fabs(v.massDefect[i]));
            }
            if (it > 0 && change > previousChange)
                relaxation = std::max(0.7 * relaxation, 0.05);
            else if (it > 0)
                relaxation = std::min(1.2 * relaxation, kRelaxation);
            previousChange = change;
            maxDefect = size;
            if (size > kRunawayDefect)
                break;
            for (std::size_t i = 0; i < n; ++i)
                m[i] += relaxation * (v.massDefect[i] - m[i]);
            settled = change < 1e-3 * size + 1e-9;
            fromSources = pm.gammaOfSources(transpiration(p, m, v.stagnation));
            if (!fromSources.allFinite())
                break;
            if (flow.prescribed_lift)
                converged = angleForLift(pm, loads, fromSources, flow.target, alpha);
        }
        r.iterations = it;
        // A separated layer keeps creeping; within 1 % of the mass defect the result stands,
        // with a warning.
        loose = !settled && previousChange < 1e-2 * maxDefect;
        const bool runaway = !v.finite || !fromSources.allFinite() || maxDefect > kRunawayDefect;
        if ((!settled && !loose) || runaway) {
            converged = false;
            if (runaway) {
                // The coupling ran away: report the inviscid flow instead, at its own angle.
                fromSources.setZero();
                v = Viscous{};
                v.theta.assign(n, 0.0);
                v.h.assign(n, 0.0);
                v.cf.assign(n, 0.0);
                if (flow.prescribed_lift)
                    angleForLift(pm, loads, fromSources, flow.target, alpha);
            }
        } else {
            // The layers of the final flow, for the friction and the drag reported.
            v = boundaryLayers(p, loads, speeds(pm, fromSources, alpha), bl);
        }
    } else {
        v.theta.assign(n, 0.0);
        v.h.assign(n, 0.0);
        v.cf.assign(n, 0.0);
    }

    const Eigen::VectorXd gamma = speeds(pm, fromSources, alpha);
    std::vector<double> cp;
    loads.pressures(gamma, cp);
    loads.integrate(cp, alpha, r.cl, r.cm);
    r.alpha = alpha / kDeg;
    r.cd = viscous ? v.cd : 0.0;
    r.cd_friction = viscous ? v.cdFriction : 0.0;
    r.transition_upper = v.transitionUpper;
    r.transition_lower = v.transitionLower;
    r.separation_upper = v.separationUpper;
    r.separation_lower = v.separationLower;

    // Outputs at the 129 pressure points, in the caller's units.
    std::vector<double> xs(n), ys(n), dstar(n), mloc(n);
    bool supersonic = false;
    for (std::size_t i = 0; i < n; ++i) {
        xs[i] = p.node[i].x;
        ys[i] = p.node[i].y;
        dstar[i] = v.theta[i] * v.h[i];
        mloc[i] = localMach(cp[i], mach);
        r.max_mach = std::max(r.max_mach, mloc[i]);
        supersonic = supersonic || mloc[i] > 1;
    }
    const std::vector<double> stations = output_stations(p, (kOutputPoints + 1) / 2);
    for (std::size_t k = 0; k < stations.size(); ++k) {
        const double s = stations[k];
        r.x[k] = raw.leading_edge.x + scale * interpolate(p, xs, s);
        r.y[k] = raw.leading_edge.y + scale * interpolate(p, ys, s);
        r.cp[k] = interpolate(p, cp, s);
        r.cf[k] = interpolate(p, v.cf, s);
        r.dstar[k] = scale * interpolate(p, dstar, s);
        r.theta[k] = scale * interpolate(p, v.theta, s);
        r.local_mach[k] = interpolate(p, mloc, s);
    }

    if (flow.mach > kMaxMach || supersonic)
        r.status = kSupersonic;
    else if (!converged)
        r.status = kNotConverged;
    else if (flow.viscous && !viscous)
        r.status = kInviscidFallback;
    else if (viscous && std::min(r.separation_upper, r.separation_lower) < 0.99)
        r.status = kSeparated;
    else if (loose)
        r.status = kLooselyCoupled;
    else
        r.status = kConverged;
    return r;
}

} // namespace camber::smesh
