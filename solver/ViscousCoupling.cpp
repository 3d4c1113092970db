// SPDX-License-Identifier: MIT
#include "ViscousCoupling.h"

#include "BoundaryLayer.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>

namespace camber::smesh {

namespace {

constexpr double kMaxMach = 0.95;
// The interaction law's Prandtl-Glauert factor is kept from vanishing near sonic free streams.
constexpr double kMinBeta = 0.3;
constexpr double kMinSpeed = 1e-4;
// Newton's method on the edge speeds of one layer: iterations, tolerance and the largest change
// of an edge speed in one step (a tenth of the free-stream speed).
constexpr int kMaxLayerNewton = 10;
constexpr double kLayerTolerance = 1e-9;
constexpr double kMaxSpeedStep = 0.1;
// The coupling: iterations, the settled change of the mass defect relative to its largest value,
// the looser level still reported (with a warning), and the defect of a run-away layer (5 % of
// the chord is no boundary layer: massive separation).
constexpr int kMaxCoupling = 60;
constexpr double kSettled = 1e-4;
constexpr double kLoose = 1e-2;
constexpr double kRunawayDefect = 0.05;
constexpr double kFlowAccuracy = 10;
constexpr double kMinRelaxation = 0.1;
constexpr double kMaxRelaxation = 1.0;
constexpr double kNoBracket = 10; // beyond any x/c

/// Isentropic density over the free-stream density at speed u (over the free-stream speed).
double density(double u, double mach)
{
    const double base = 1 + 0.2 * mach * mach * (1 - u * u);
    return std::pow(std::max(base, 0.05), 2.5);
}

/// One surface from the stagnation point (station 0) to the trailing edge.
struct Surface {
    std::vector<int> ring;       // ring point of stations 1 .. n
    std::vector<double> xi, xc;  // stations 0 .. n
    std::vector<double> uWall;   // the potential flow's edge speed, stations 0 .. n
    std::vector<double> imposed; // the mass defect the potential flow carries, stations 0 .. n
    double held = -1;            // x/c of a transition point held in place, or negative
    std::size_t side = 0;        // 0 upper, 1 lower
};

struct March {
    BoundaryLayerInput in;
    BoundaryLayerResult out;
    std::vector<double> defect; // stations 0 .. n
};

class SurfaceLayer {
public:
    SurfaceLayer(const Surface& s, const FlowCase& flow) : m_s(s), m_flow(flow), m_n(static_cast<int>(s.xi.size()) - 1)
    {
        m_mach = std::min(flow.mach, kMaxMach);
        buildInteraction();
    }

    /// x/c where the layer turns turbulent on edge speeds u by the e^N method (or forced).
    double freeTransition(const Eigen::VectorXd& u) const
    {
        March m;
        march(u, m, true);
        return m.out.transition_xc;
    }

    /// Edge speeds u (stations 1 .. n) that satisfy the interaction law with the layer's defect.
    Eigen::VectorXd solve(March& m) const
    {
        Eigen::VectorXd u(m_n);
        for (int k = 0; k < m_n; ++k)
            u(k) = std::max(m_s.uWall[static_cast<std::size_t>(k + 1)], kMinSpeed);
        Eigen::VectorXd g = residual(u, m);
        double norm = g.lpNorm<Eigen::Infinity>();
        Eigen::MatrixXd jacobian(m_n, m_n);
        March probe;
        for (int it = 0; it < kMaxLayerNewton && norm > kLayerTolerance; ++it) {
            // Derivatives of the defect by one-sided differences: one march per station.
            for (int j = 0; j < m_n; ++j) {
                Eigen::VectorXd up = u;
                const double h = 1e-7 * std::max(1.0, u(j));
                up(j) += h;
                march(up, probe);
                for (int k = 0; k < m_n; ++k)
                    jacobian(k, j) = (probe.defect[static_cast<std::size_t>(k + 1)] - m.defect[static_cast<std::size_t>(k + 1)]) / h;
            }
            const Eigen::MatrixXd j = Eigen::MatrixXd::Identity(m_n, m_n) - m_a * jacobian;
            Eigen::VectorXd du = -j.partialPivLu().solve(g);
            if (!du.allFinite())
                break;
            const double largest = du.lpNorm<Eigen::Infinity>();
            if (largest > kMaxSpeedStep)
                du *= kMaxSpeedStep / largest;
            bool accepted = false;
            for (double t = 1; t > 1.0 / 64 && !accepted; t *= 0.5) {
                Eigen::VectorXd trial = (u + t * du).cwiseMax(kMinSpeed);
                March tm;
                const Eigen::VectorXd tg = residual(trial, tm);
                const double tn = tg.norm();
                if (std::isfinite(tn) && tn < (1 - 1e-4 * t) * g.norm()) {
                    u = trial;
                    g = tg;
                    norm = tg.lpNorm<Eigen::Infinity>();
                    m = std::move(tm);
                    accepted = true;
                }
            }
            if (!accepted)
                break;
        }
        return u;
    }

private:
    /// The thin-aerofoil interaction law on the surface unrolled into a line: the speed induced
    /// at each station by the transpiration dm/dxi, piecewise constant between stations, as
    /// (1 / pi beta) integral of (dm/dxi) / (x - xi) over the layer, divided by the edge density
    /// (the mass flux is a velocity times it). Evaluated at the interval mid-points, where the
    /// kernel is finite, and averaged onto the stations.
    void buildInteraction()
    {
        const int n = m_n;
        const double beta = std::max(std::sqrt(std::max(1 - m_mach * m_mach, 0.0)), kMinBeta);
        // mid[k]: speed at the mid-point of interval k per unit defect at station m (0 .. n).
        Eigen::MatrixXd mid = Eigen::MatrixXd::Zero(n, n + 1);
        for (int k = 0; k < n; ++k) {
            const double c = 0.5 * (m_s.xi[static_cast<std::size_t>(k)] + m_s.xi[static_cast<std::size_t>(k + 1)]);
            for (int j = 0; j < n; ++j) {
                const double a = m_s.xi[static_cast<std::size_t>(j)], b = m_s.xi[static_cast<std::size_t>(j + 1)];
                if (b - a <= 0)
                    continue;
                const double kernel = std::log(std::fabs((c - a) / (c - b))) / (kPi * beta * (b - a));
                mid(k, j + 1) += kernel;
                mid(k, j) -= kernel;
            }
        }
        m_a.resize(n, n);
        for (int i = 1; i <= n; ++i) {
            const Eigen::RowVectorXd row = i < n ? Eigen::RowVectorXd(0.5 * (mid.row(i - 1) + mid.row(i))) : Eigen::RowVectorXd(mid.row(n - 1));
            const double rho = density(m_s.uWall[static_cast<std::size_t>(i)], m_mach);
            m_a.row(i - 1) = row.tail(n) / rho; // the defect at the stagnation point is zero
        }
    }

    /// Marches the layer on edge speeds u; with free, the transition point is where the e^N
    /// method (or the forced position) puts it, else where the surface holds it.
    void march(const Eigen::VectorXd& u, March& m, bool free = false) const
    {
        m.in.xi = m_s.xi;
        m.in.xc = m_s.xc;
        m.in.ue.resize(m_s.xi.size());
        m.in.ue[0] = 0;
        for (int k = 0; k < m_n; ++k)
            m.in.ue[static_cast<std::size_t>(k + 1)] = u(k);
        m.in.reynolds = m_flow.reynolds;
        m.in.ncrit = m_flow.ncrit;
        m.in.forced = m_flow.transition[m_s.side];
        if (!free && m_s.held >= 0) {
            // No amplification: the layer turns at the held point (or at laminar separation).
            m.in.ncrit = std::numeric_limits<double>::infinity();
            m.in.forced = m_s.held;
        }
        trailing_edge_speed(m.in);
        m.out = march_boundary_layer(m.in);
        m.defect.resize(m_s.xi.size());
        // The defect with the edge speed the layer saw, so that the inviscid stagnation at the
        // trailing edge does not feed back into the transpiration.
        for (std::size_t k = 0; k < m.defect.size(); ++k) {
            const double ue = m.in.ue[k];
            m.defect[k] = density(ue, m_mach) * ue * m.out.theta[k] * m.out.h[k];
        }
        m.defect[0] = 0;
    }

    Eigen::VectorXd residual(const Eigen::VectorXd& u, March& m) const
    {
        march(u, m);
        Eigen::VectorXd change(m_n);
        for (int k = 0; k < m_n; ++k)
            change(k) = m.defect[static_cast<std::size_t>(k + 1)] - m_s.imposed[static_cast<std::size_t>(k + 1)];
        Eigen::VectorXd g(m_n);
        for (int k = 0; k < m_n; ++k)
            g(k) = u(k) - m_s.uWall[static_cast<std::size_t>(k + 1)];
        g -= m_a * change;
        return g;
    }

    const Surface& m_s;
    const FlowCase& m_flow;
    int m_n = 0;
    double m_mach = 0;
    Eigen::MatrixXd m_a; // interaction law: speeds at stations 1 .. n per defect at 1 .. n
};

/// The ring point after which the wall speed turns from clockwise (the upper surface's flow) to
/// counter-clockwise; of several such places the one nearest the leading edge.
int stagnationPoint(const WallFlow& w)
{
    int le = w.upper_te;
    for (int i = w.upper_te; i <= w.lower_te; ++i)
        if (w.xc[static_cast<std::size_t>(i)] < w.xc[static_cast<std::size_t>(le)])
            le = i;
    int best = -1;
    for (int i = w.upper_te; i < w.lower_te; ++i)
        if (w.speed[static_cast<std::size_t>(i)] <= 0 && w.speed[static_cast<std::size_t>(i + 1)] > 0)
            if (best < 0 || std::abs(i - le) < std::abs(best - le))
                best = i;
    return best >= 0 ? best : std::clamp(le, w.upper_te, w.lower_te - 1);
}

} // namespace

std::vector<double> wall_flux(const MassDefect& d)
{
    if (d.m.size() < 2 || d.stagnation < d.upper_te || d.stagnation >= d.lower_te)
        return {};
    const int ni = static_cast<int>(d.m.size()) - 1;
    const auto m = [&](int i) { return d.m[static_cast<std::size_t>(i)]; };
    // The defect at the mid-point of the panel from ring point j to j + 1; the panel holding the
    // stagnation point has none.
    const auto mid = [&](int j) { return j == d.stagnation ? 0.0 : 0.5 * (m(j) + m(j + 1)); };
    std::vector<double> flux(static_cast<std::size_t>(ni), 0.0);
    for (int i = d.upper_te; i <= d.stagnation; ++i) // the upper layer runs towards lower indices
        flux[static_cast<std::size_t>(i % ni)] += (i == d.upper_te ? m(i) : mid(i - 1)) - mid(i);
    for (int i = d.stagnation + 1; i <= d.lower_te; ++i)
        flux[static_cast<std::size_t>(i % ni)] += (i == d.lower_te ? m(i) : mid(i)) - mid(i - 1);
    return flux;
}

ViscousLayers interacting_layers(const WallFlow& w, const MassDefect& imposed, const FlowCase& flow)
{
    const std::size_t points = w.speed.size();
    ViscousLayers v;
    v.defect.m.assign(points, 0.0);
    v.theta.assign(points, 0.0);
    v.h.assign(points, 0.0);
    v.cf.assign(points, 0.0);
    const int is = stagnationPoint(w);
    v.defect.stagnation = is;
    v.defect.upper_te = w.upper_te;
    v.defect.lower_te = w.lower_te;
    const auto at = [](const std::vector<double>& f, int i) { return f[static_cast<std::size_t>(i)]; };
    const double ga = at(w.speed, is), gb = at(w.speed, is + 1);
    const double f = gb != ga ? std::clamp(-ga / (gb - ga), 0.0, 1.0) : 0.5;
    const double sStag = at(w.s, is) + f * (at(w.s, is + 1) - at(w.s, is));
    const double xcStag = at(w.xc, is) + f * (at(w.xc, is + 1) - at(w.xc, is));
    const double mach = std::min(flow.mach, kMaxMach);
    const bool matching = imposed.m.size() == points;

    for (int side = 0; side < 2; ++side) {
        Surface s;
        s.xi.push_back(0);
        s.xc.push_back(xcStag);
        s.uWall.push_back(0);
        s.imposed.push_back(0);
        s.held = imposed.transition[static_cast<std::size_t>(side)];
        s.side = static_cast<std::size_t>(side);
        const int first = side == 0 ? is : is + 1, last = side == 0 ? w.upper_te : w.lower_te, step = side == 0 ? -1 : 1;
        for (int i = first; i != last + step; i += step) {
            s.ring.push_back(i);
            s.xi.push_back(std::max(std::fabs(at(w.s, i) - sStag), s.xi.back() + 1e-9));
            s.xc.push_back(at(w.xc, i));
            s.uWall.push_back(std::fabs(at(w.speed, i)));
            s.imposed.push_back(matching ? at(imposed.m, i) : 0.0);
        }
        if (s.ring.size() < 3) {
            v.finite = false;
            continue;
        }
        const SurfaceLayer layer(s, flow);
        March m;
        const Eigen::VectorXd u = layer.solve(m);
        v.finite = v.finite && m.out.finite;
        v.free_transition[static_cast<std::size_t>(side)] = s.held >= 0 ? layer.freeTransition(u) : m.out.transition_xc;
        v.defect.transition[static_cast<std::size_t>(side)] = m.out.transition_xc;
        double friction = 0;
        for (std::size_t k = 0; k < s.ring.size(); ++k) {
            const auto i = static_cast<std::size_t>(s.ring[k]);
            const double ue = m.in.ue[k + 1];
            v.defect.m[i] = m.defect[k + 1];
            v.theta[i] = m.out.theta[k + 1];
            v.h[i] = m.out.h[k + 1];
            v.cf[i] = m.out.cf[k + 1] * density(ue, mach) * ue * ue;
            // The wall shear projected on the chord direction only roughly, as a split of the total.
            if (k > 0)
                friction += 0.5 * (v.cf[i] + v.cf[static_cast<std::size_t>(s.ring[k - 1])]) * std::fabs(s.xc[k + 1] - s.xc[k]);
        }
        const std::size_t end = s.ring.size();
        v.cd += squire_young(m.out.theta[end], m.out.h[end], m.in.ue[end]);
        v.cd_friction += friction;
        (side == 0 ? v.transition_upper : v.transition_lower) = m.out.transition_xc;
        (side == 0 ? v.separation_upper : v.separation_lower) = m.out.separation_xc;
    }
    for (double x : v.defect.m)
        v.finite = v.finite && std::isfinite(x);
    return v;
}

CouplingResult couple_viscous(const FlowCase& flow, const MassDefect& start,
                              const std::function<bool(const std::vector<double>&, double, WallFlow&)>& resolve,
                              std::chrono::steady_clock::time_point deadline)
{
    CouplingResult r;
    MassDefect imposed = start;
    WallFlow wall;
    double change = 1, size = 0, relaxation = 1;
    Eigen::VectorXd lastResidual;
    std::array<std::pair<double, double>, 2> bracket{{{-kNoBracket, kNoBracket}, {-kNoBracket, kNoBracket}}};
    for (int it = 0; it < kMaxCoupling; ++it) {
        if (std::chrono::steady_clock::now() > deadline)
            break;
        // The potential flow needs no more accuracy than the defect it carries has: while that
        // still changes, one chord step per iteration does (the potential's update is some ten
        // times the change of the defect that caused it).
        const double tolerance = std::clamp(kFlowAccuracy * change, 1e-9, 1e-3);
        if (!resolve(wall_flux(imposed), tolerance, wall))
            break;
        ++r.iterations;
        ViscousLayers layers = interacting_layers(wall, imposed, flow);
        if (!layers.finite)
            break;
        size = 0;
        const bool matching = imposed.m.size() == layers.defect.m.size();
        for (std::size_t i = 0; i < layers.defect.m.size(); ++i)
            size = std::max(size, std::fabs(layers.defect.m[i]));
        const Eigen::Index points = static_cast<Eigen::Index>(layers.defect.m.size());
        Eigen::VectorXd residual(points);
        for (Eigen::Index i = 0; i < points; ++i)
            residual(i) = layers.defect.m[static_cast<std::size_t>(i)] - (matching ? imposed.m[static_cast<std::size_t>(i)] : 0.0);
        change = residual.lpNorm<Eigen::Infinity>();
        // Transition is held during each layer solve and moved here to where the e^N method puts
        // it on the new edge speeds. Where the amplification grows slowly that place can jump by
        // a station for a small change of the flow: held behind the jump the layer says ahead,
        // held ahead it says behind. The places where it said either bracket the jump, and a
        // move that would leave the bracket goes to its middle instead, which closes in on the
        // jump like a bisection. A move of 1e-4 chord counts as a change of 1e-4 of the defect.
        std::array<double, 2> step{0, 0};
        for (std::size_t side = 0; side < 2; ++side) {
            const double held = imposed.transition[side];
            if (held < 0)
                continue;
            const double towards = layers.free_transition[side] - held;
            auto& [ahead, behind] = bracket[side]; // held there, the layer said aft / forward
            if (towards > 0) {
                if (held >= behind)
                    behind = kNoBracket;
                ahead = held;
            } else if (towards < 0) {
                if (held <= ahead)
                    ahead = -kNoBracket;
                behind = held;
            }
            double target = held + towards;
            if (target <= ahead || target >= behind)
                target = ahead > -kNoBracket && behind < kNoBracket ? 0.5 * (ahead + behind) : std::clamp(target, ahead, behind);
            step[side] = target - held;
            change = std::max(change, size * std::fabs(step[side]));
        }
        r.layers = layers;
        r.defect = imposed;
        if (size > kRunawayDefect) {
            r.runaway = true;
            return r;
        }
        if (change <= kSettled * size) {
            r.settled = true;
            return r;
        }
        // The interaction law makes the plain update converge fast in attached flow. Where it
        // matches the potential flow less well (a separating layer, the supersonic zone, where
        // the law even has the wrong sign) a slow or alternating error remains, which Aitken's
        // dynamic relaxation (Irons & Tuck 1969) takes out: the step is scaled by the secant of
        // the last two residuals along the latest change of residual. It is never lengthened:
        // where a separation point near the trailing edge comes and goes, a longer step
        // overshoots into the other state.
        if (matching && lastResidual.size() == residual.size()) {
            const Eigen::VectorXd growth = residual - lastResidual;
            const double g2 = growth.squaredNorm();
            if (g2 > 0)
                relaxation = std::clamp(-relaxation * lastResidual.dot(growth) / g2, kMinRelaxation, kMaxRelaxation);
        }
        lastResidual = residual;
        MassDefect next = layers.defect;
        next.transition = layers.free_transition;
        if (matching)
            for (std::size_t i = 0; i < next.m.size(); ++i)
                next.m[i] = imposed.m[i] + relaxation * residual(static_cast<Eigen::Index>(i));
        for (std::size_t side = 0; side < 2; ++side)
            if (imposed.transition[side] >= 0)
                next.transition[side] = imposed.transition[side] + step[side];
        imposed = std::move(next);
    }
    // A layer that keeps creeping (separated) stands within 1 % of its defect, with a warning;
    // running out of time or a failed potential flow does not count.
    r.loose = r.iterations == kMaxCoupling && change <= kLoose * size;
    return r;
}

} // namespace camber::smesh
