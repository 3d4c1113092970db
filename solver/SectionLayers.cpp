// SPDX-License-Identifier: MIT
#include "SectionLayers.h"

#include "Gas.h"
#include "LayerClosures.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace camber::smesh {

namespace {

// Newton's method has converged when no thickness, shear stress or speed changes by more than
// this fraction (an amplification factor by more than a thousand times it).
constexpr double kTolerance = 1e-7;
// Steps are shortened so that no thickness or shear stress grows by more than half again or
// falls by more than half in one update, no amplification factor changes by more than 5, no
// speed by more than a quarter of the free stream's (near the stagnation point a speed must be
// able to change sign, which moves the stagnation point past a node), and the angle by at most
// 2 degrees.
constexpr double kMostGrowth = 1.5, kMostFall = -0.5, kMostAmplification = 5, kMostSpeed = 0.25, kMostAngle = 2 * kDeg;
// ... and no shape factor by more than these fractions (a separating layer's grows fast).
constexpr double kMostShapeFall = -0.2, kMostShapeGrowth = 1.0;
// No kinematic shape factor of a layer or wake falls below these in an update: there the
// closures are held off their limits and the equations lose their hold on it.
constexpr double kLowestHk = 1.1, kLowestWakeHk = 1.002;
// A node that changes sides as the stagnation point passes it starts its new layer with the
// shape factor of the stagnation-point flow, at a speed of at least this.
constexpr double kStagnationShape = 2.24, kLeastSpeed = 1e-4;
// Share of a panel's growth of mass defect that the full-potential grid takes at the panel's
// downstream end where the layer is laminar (0.5 elsewhere, see fluxMatrix).
constexpr double kLaminarDownstreamShare = 0.65;
// Transition may move between intervals this many times, after full Newton steps (a shortened
// one leaves the layers between two states whose amplification would move it to no purpose) or
// else every kTransitionEvery iterations; then it stays, which ends a cycle between neighbouring
// intervals.
constexpr int kTransitionMoves = 12, kTransitionEvery = 4, kMostReversals = 2;

/// The node after which the node speed turns from the upper surface's direction (negative) to
/// the lower's; of several such places the one nearest the leading edge.
int stagnationNode(const Eigen::VectorXd& speed, int le)
{
    const int n = static_cast<int>(speed.size());
    int best = -1;
    for (int i = 0; i + 1 < n; ++i)
        if (speed(i) <= 0 && speed(i + 1) > 0 && (best < 0 || std::abs(i - le) < std::abs(best - le)))
            best = i;
    return best >= 0 ? best : std::clamp(le, 1, n - 3);
}

/// The lowest shape factor of station i at its present speed. The limit is one of the kinematic
/// shape factor, the closures' variable: near sonic speed the same velocity profile has a larger
/// H (at M 1 an H of 1.1 is a kinematic 0.73), and a limit on H alone let a station sink to where
/// the closures hold Hk fixed, its equations without a slope.
double lowestShape(const LayerSystem& layers, int i)
{
    const LayerCase& lc = layers.settings().flow;
    const double q = std::fabs(layers.state()[static_cast<std::size_t>(i)].q);
    const double me2 = gas::machSquared(edge_speed(q, lc), lc.mach);
    return closure::shapeOfKinematic(layers.regime(i) == Regime::Wake ? kLowestWakeHk : kLowestHk, me2);
}

/// True when station i's shape factor stands at its lowest and the update would take it lower:
/// update() holds it there, so that part of the update neither limits the step nor counts as a
/// change.
bool heldAtLowest(const LayerSystem& layers, int i, const LayerUpdate& u)
{
    const StationState& s = layers.state()[static_cast<std::size_t>(i)];
    const StationState& d = u.delta[static_cast<std::size_t>(i)];
    return s.m <= (1 + 1e-9) * lowestShape(layers, i) * s.q * s.theta && d.m / s.m - d.theta / s.theta - d.q / s.q < 0;
}

/// The fraction of an update to take (see kMostGrowth).
double relaxation(const LayerSystem& layers, const LayerUpdate& u)
{
    double r = 1;
    const auto limit = [&](double change, double base) {
        if (!(std::fabs(base) > 0))
            return;
        const double ratio = change / std::fabs(base);
        if (ratio > kMostGrowth)
            r = std::min(r, kMostGrowth / ratio);
        if (ratio < kMostFall)
            r = std::min(r, kMostFall / ratio);
    };
    for (int i = 0; i < layers.size(); ++i) {
        const StationState& s = layers.state()[static_cast<std::size_t>(i)];
        const StationState& d = u.delta[static_cast<std::size_t>(i)];
        if (layers.regime(i) == Regime::Laminar) {
            if (std::fabs(d.c) > kMostAmplification)
                r = std::min(r, kMostAmplification / std::fabs(d.c));
        } else {
            limit(d.c, s.c);
        }
        // The layer next to the stagnation point vanishes with its speed as the stagnation point
        // approaches its node: its relative changes say nothing of the step (the update keeps it
        // positive instead).
        if (i != layers.first(0) && i != layers.first(1) && !heldAtLowest(layers, i, u)) {
            limit(d.theta, s.theta);
            limit(d.m, s.m);
            // The shape factor, to first order: a step that thins the layer's displacement
            // while it thickens its momentum would otherwise take it to its lowest value, where
            // the closures no longer hold it and Newton's method wanders.
            const double relative = d.m / s.m - d.theta / s.theta - d.q / s.q;
            if (relative < kMostShapeFall)
                r = std::min(r, kMostShapeFall / relative);
            if (relative > kMostShapeGrowth)
                r = std::min(r, kMostShapeGrowth / relative);
        }
        if (std::fabs(d.q) > kMostSpeed)
            r = std::min(r, kMostSpeed / std::fabs(d.q));
    }
    if (std::fabs(u.alpha) > kMostAngle)
        r = std::min(r, kMostAngle / std::fabs(u.alpha));
    return r;
}

/// Largest relative change of an update (amplification factors a thousandth, speeds absolute).
double largestChange(const LayerSystem& layers, const LayerUpdate& u)
{
    double largest = std::fabs(u.alpha);
    for (int i = 0; i < layers.size(); ++i) {
        const StationState& s = layers.state()[static_cast<std::size_t>(i)];
        const StationState& d = u.delta[static_cast<std::size_t>(i)];
        const bool laminar = layers.regime(i) == Regime::Laminar;
        largest = std::max({largest, laminar ? 1e-3 * std::fabs(d.c) : std::fabs(d.c / s.c), std::fabs(d.theta / s.theta),
                            heldAtLowest(layers, i, u) ? 0.0 : std::fabs(d.m / s.m), std::fabs(d.q)});
    }
    return largest;
}

/// Takes fraction r of an update; returns the largest relative change it made (as largestChange),
/// which falls short of the update's where a shape factor stays at its lowest.
double update(LayerSystem& layers, const LayerUpdate& u, double r)
{
    double largest = r * std::fabs(u.alpha);
    for (int i = 0; i < layers.size(); ++i) {
        StationState& s = layers.state()[static_cast<std::size_t>(i)];
        const StationState before = s;
        const StationState& d = u.delta[static_cast<std::size_t>(i)];
        s.c += r * d.c;
        s.theta = std::max(s.theta + r * d.theta, (1 + kMostFall) * s.theta);
        s.m = std::max(s.m + r * d.m, (1 + kMostFall) * s.m);
        s.q += r * d.q;
        s.m = std::max(s.m, lowestShape(layers, i) * s.q * s.theta);
        const bool laminar = layers.regime(i) == Regime::Laminar;
        largest = std::max({largest, laminar ? 1e-3 * std::fabs(s.c - before.c) : std::fabs((s.c - before.c) / before.c),
                            std::fabs((s.theta - before.theta) / before.theta), std::fabs((s.m - before.m) / before.m),
                            std::fabs(s.q - before.q)});
    }
    return largest;
}

} // namespace

SectionLayers::SectionLayers(const Panelling& p, std::vector<Point> wake, const LayerSettings& settings)
    : m_p(p), m_wake(std::move(wake)), m_settings(settings)
{
    m_wakeArc.assign(1, 0.0);
    for (std::size_t k = 1; k < m_wake.size(); ++k)
        m_wakeArc.push_back(m_wakeArc.back() + std::hypot(m_wake[k].x - m_wake[k - 1].x, m_wake[k].y - m_wake[k - 1].y));
}

SectionLayers::SectionLayers(const Panelling& p, const PanelMethod& pm, std::vector<Point> wake, const LayerSettings& settings)
    : SectionLayers(p, std::move(wake), settings)
{
    // Speeds per unit source: at the nodes through the panel method's vorticity; along the wake
    // (but at the trailing edge, which takes the mean of the two edges' speeds) by the velocity
    // that the vorticity and the sources induce. The mass defect varies linearly between the
    // stations, so its growth, the source, is uniform along each panel of the contour and of the
    // wake.
    const Eigen::MatrixXd contour = pm.gammaOfPanelSources(), sheet = pm.gammaOfSheetSources(m_wake);
    const Eigen::Index n = contour.rows(), panels = contour.cols(), wakePanels = sheet.cols(), nw = wakePanels + 1;
    const Eigen::Index sources = panels + wakePanels;
    m_nodePerSource.resize(n, sources);
    m_nodePerSource << contour, sheet;
    m_wakePerSource = Eigen::MatrixXd::Zero(nw, sources);
    m_wakeTangent = Eigen::MatrixXd::Zero(nw, 2);
    m_wakePerVorticity = Eigen::MatrixXd::Zero(nw, n);
    Eigen::MatrixXd perVorticity, perSource;
    for (Eigen::Index k = 1; k < nw; ++k) {
        const Point at = m_wake[static_cast<std::size_t>(k)], a = m_wake[static_cast<std::size_t>(k - 1)];
        const Point b = k + 1 < nw ? m_wake[static_cast<std::size_t>(k + 1)] : at;
        const Point before{at.x - a.x, at.y - a.y}, after{b.x - at.x, b.y - at.y};
        const double lb = std::hypot(before.x, before.y), la = std::max(std::hypot(after.x, after.y), 1e-300);
        Point t{before.x / lb + (k + 1 < nw ? after.x / la : before.x / lb), before.y / lb + (k + 1 < nw ? after.y / la : before.y / lb)};
        const double lt = std::hypot(t.x, t.y);
        t = {t.x / lt, t.y / lt};
        pm.velocityInfluence(at, perVorticity, perSource);
        const Eigen::MatrixXd own = sheet_source_velocity(m_wake, at);
        const Eigen::RowVectorXd alongVorticity = t.x * perVorticity.row(0) + t.y * perVorticity.row(1);
        m_wakeTangent.row(k) << t.x, t.y;
        m_wakePerVorticity.row(k) = alongVorticity;
        m_wakePerSource.row(k) = alongVorticity * m_nodePerSource;
        m_wakePerSource.row(k).head(panels) += t.x * perSource.row(0) + t.y * perSource.row(1);
        m_wakePerSource.row(k).tail(wakePanels) += t.x * own.row(0) + t.y * own.row(1);
    }
}

Eigen::VectorXd SectionLayers::wakeSpeeds(const Eigen::VectorXd& gamma, double alpha) const
{
    assert(m_wakeTangent.size() > 0);
    return m_wakeTangent * Eigen::Vector2d(std::cos(alpha), std::sin(alpha)) + m_wakePerVorticity * gamma;
}

Eigen::MatrixXd SectionLayers::panelAnswer() const
{
    const int is = m_stagnation;
    const auto s = [&](int i) { return m_p.s[static_cast<std::size_t>(i)]; };
    // Sources from mass defects: on each panel of the contour and the wake the growth of m along
    // the layer over the panel's length; on the panel of the stagnation point both layers grow
    // from nothing.
    const int ns = m_upper + m_lower, nw = static_cast<int>(m_wake.size()), stations = ns + nw;
    const Eigen::Index sources = m_nodePerSource.cols(), panels = sources - (nw - 1);
    Eigen::MatrixXd perDefect = Eigen::MatrixXd::Zero(sources, stations);
    const auto station = [&](int node) { return node <= is ? is - node : m_upper + node - is - 1; };
    for (Eigen::Index j = 0; j < panels; ++j) {
        const int a = station(static_cast<int>(j)), b = station(static_cast<int>(j) + 1);
        const double length = s(static_cast<int>(j) + 1) - s(static_cast<int>(j));
        const bool upper = j < is;
        perDefect(j, a) += (j == is || upper ? 1 : -1) / length;
        perDefect(j, b) += (j == is || !upper ? 1 : -1) / length;
    }
    for (int k = 0; k + 1 < nw; ++k) {
        const double length = m_wakeArc[static_cast<std::size_t>(k + 1)] - m_wakeArc[static_cast<std::size_t>(k)];
        perDefect(panels + k, ns + k + 1) += 1 / length;
        perDefect(panels + k, ns + k) -= 1 / length;
    }
    // Speeds of the stations per unit source; the trailing edge's wake station takes the mean of
    // the two edges'.
    Eigen::MatrixXd perSource(stations, sources);
    for (int k = 0; k < ns; ++k)
        perSource.row(k) = m_sign[static_cast<std::size_t>(k)] * m_nodePerSource.row(m_node[static_cast<std::size_t>(k)]);
    perSource.row(ns) = 0.5 * (perSource.row(m_upper - 1) + perSource.row(ns - 1));
    perSource.bottomRows(nw - 1) = m_wakePerSource.bottomRows(nw - 1);
    return perSource * perDefect;
}

void SectionLayers::mapStations(const Eigen::VectorXd& nodeSpeed)
{
    const int n = static_cast<int>(nodeSpeed.size());
    // Each surface keeps at least two stations.
    m_stagnation = std::clamp(stagnationNode(nodeSpeed, m_p.le), 1, n - 3);
    const int is = m_stagnation;
    m_node.clear();
    m_sign.clear();
    for (int i = is; i >= 0; --i) {
        m_node.push_back(i);
        m_sign.push_back(-1);
    }
    for (int i = is + 1; i < n; ++i) {
        m_node.push_back(i);
        m_sign.push_back(1);
    }
    m_upper = is + 1;
    m_lower = n - 1 - is;

    if (m_nodePerSource.size() > 0)
        m_d = panelAnswer();

    // The layers' stations.
    const int ns = m_upper + m_lower;
    LayerStations st;
    const auto isz = static_cast<std::size_t>(is);
    st.stagnationPanel = m_p.s[isz + 1] - m_p.s[isz];
    for (int k = 0; k < ns; ++k) {
        const int side = k < m_upper ? 0 : 1;
        const auto node = static_cast<std::size_t>(m_node[static_cast<std::size_t>(k)]);
        st.distance[static_cast<std::size_t>(side)].push_back(side == 0 ? m_p.s[isz] - m_p.s[node] : m_p.s[node] - m_p.s[isz + 1]);
        st.xc[static_cast<std::size_t>(side)].push_back(m_p.xc(node));
    }
    st.wake = m_wakeArc;
    st.gap = std::hypot(m_p.node.front().x - m_p.node.back().x, m_p.node.front().y - m_p.node.back().y);
    m_layers = LayerSystem(std::move(st), m_settings);
}

Eigen::VectorXd SectionLayers::atStations(const Eigen::VectorXd& nodes, const Eigen::VectorXd& wake, bool speeds) const
{
    // Speeds are signed by the direction of each surface's stations and the trailing edge's wake
    // station takes the mean of the two edges'; mass defects are kept as they are.
    const int ns = m_upper + m_lower;
    Eigen::VectorXd q(ns + wake.size());
    for (int k = 0; k < ns; ++k)
        q(k) = (speeds ? m_sign[static_cast<std::size_t>(k)] : 1.0) * nodes(m_node[static_cast<std::size_t>(k)]);
    q.tail(wake.size()) = wake;
    if (speeds && wake.size() > 0)
        q(ns) = 0.5 * (q(m_upper - 1) + q(ns - 1));
    return q;
}

void SectionLayers::start(const OuterSpeeds& outer)
{
    mapStations(outer.nodes);
    const Eigen::VectorXd q = atStations(outer.nodes, outer.wake);
    for (int i = 0; i < m_layers.size(); ++i)
        m_layers.state()[static_cast<std::size_t>(i)].q = std::max(q(i), kLeastSpeed);
    m_layers.march();
}

void SectionLayers::resume(const LayerSnapshot& snapshot, const OuterSpeeds& outer)
{
    mapStations(outer.nodes);
    if (snapshot.stagnation != m_stagnation || snapshot.state.size() != m_layers.state().size()) {
        start(outer);
        return;
    }
    m_layers.state() = snapshot.state;
    for (int side = 0; side < 2; ++side)
        m_layers.set_transition_station(side, snapshot.transition[static_cast<std::size_t>(side)]);
}

void SectionLayers::remap()
{
    // Every node keeps its layer but the one that changed sides, which starts the other surface's
    // layer with the stagnation-point flow's shape.
    const int n = static_cast<int>(m_p.node.size());
    Eigen::VectorXd speed(n);
    std::vector<StationState> atNode(static_cast<std::size_t>(n));
    std::vector<int> sideOfNode(static_cast<std::size_t>(n));
    for (int k = 0; k < m_upper + m_lower; ++k) {
        const auto node = static_cast<std::size_t>(m_node[static_cast<std::size_t>(k)]);
        speed(static_cast<Eigen::Index>(node)) = m_sign[static_cast<std::size_t>(k)] * m_layers.state()[static_cast<std::size_t>(k)].q;
        atNode[node] = m_layers.state()[static_cast<std::size_t>(k)];
        sideOfNode[node] = k < m_upper ? 0 : 1;
    }
    const std::vector<StationState> wake(m_layers.state().begin() + m_layers.first(2), m_layers.state().end());
    const std::array<int, 2> transition{m_layers.transition_station(0), m_layers.transition_station(1)};
    const std::array<int, 2> counts{m_upper, m_lower};
    mapStations(speed);
    for (int k = 0; k < m_upper + m_lower; ++k) {
        const auto node = static_cast<std::size_t>(m_node[static_cast<std::size_t>(k)]);
        StationState& z = m_layers.state()[static_cast<std::size_t>(k)];
        z = atNode[node];
        z.q = std::max(m_sign[static_cast<std::size_t>(k)] * speed(static_cast<Eigen::Index>(node)), kLeastSpeed);
        if (sideOfNode[node] != (k < m_upper ? 0 : 1)) {
            z.c = 0;
            z.m = kStagnationShape * z.q * z.theta;
        }
    }
    std::copy(wake.begin(), wake.end(), m_layers.state().begin() + m_layers.first(2));
    for (int side = 0; side < 2; ++side) {
        const int count = side == 0 ? m_upper : m_lower;
        const auto s = static_cast<std::size_t>(side);
        m_layers.set_transition_station(side, std::clamp(transition[s] + count - counts[s], 1, count - 1));
    }
}

void SectionLayers::beginUpdates()
{
    m_moves = 0;
    m_lastMove = {0, 0};
    m_reversals = {0, 0};
}

Eigen::VectorXd SectionLayers::stationDefects() const
{
    Eigen::VectorXd m(m_layers.size());
    for (int i = 0; i < m_layers.size(); ++i)
        m(i) = m_layers.state()[static_cast<std::size_t>(i)].m;
    return m;
}

SectionLayers::Step SectionLayers::advance(LayerCoupling& coupling, double& alpha, int it, double tolerance)
{
    Step step;
    ++m_iterations;
    m_layers.assemble();
    LayerUpdate u;
    if (!layer_newton_update(m_layers, coupling, alpha, u))
        return step;
    // A held update is short by design: whether the layers have converged, Newton's says.
    double newtonChange = 0;
    if (coupling.hold > 0) {
        LayerCoupling newton = coupling;
        newton.hold = 0;
        LayerUpdate full;
        if (!layer_newton_update(m_layers, newton, alpha, full))
            return step;
        newtonChange = largestChange(m_layers, full);
    }
    const Eigen::VectorXd before = stationDefects();
    step.relaxation = relaxation(m_layers, u);
    const double applied = update(m_layers, u, step.relaxation);
    step.dm = stationDefects() - before;
    alpha += step.relaxation * u.alpha;
    // Converged when the update is below the tolerance, or when a full step changes nothing
    // more because all it still asks is a shape factor below the lowest (an attached layer
    // just behind a shock that a laminar layer ran into).
    const double change = std::max(newtonChange, step.relaxation == 1 ? std::min(largestChange(m_layers, u), applied)
                                                                      : largestChange(m_layers, u));
    if (!std::isfinite(change))
        return step;
    step.ok = true;
    if (m_layers.state()[static_cast<std::size_t>(m_layers.first(0))].q <= 0 ||
        m_layers.state()[static_cast<std::size_t>(m_layers.first(1))].q <= 0) {
        // The stagnation point moved past a node.
        remap();
        step.remapped = true;
        return step;
    }
    bool moved = false;
    if (m_moves < kTransitionMoves && (step.relaxation == 1 || it % kTransitionEvery == kTransitionEvery - 1)) {
        // A transition point on the border of two intervals is sent to and fro between them by
        // the small changes of the flow; once it has turned back twice it stays.
        const std::array<bool, 2> may{m_reversals[0] < kMostReversals, m_reversals[1] < kMostReversals};
        const std::array<int, 2> move = m_layers.settle_transition(may);
        for (std::size_t side = 0; side < 2; ++side) {
            if (move[side] == 0)
                continue;
            moved = true;
            if (move[side] == -m_lastMove[side])
                ++m_reversals[side];
            m_lastMove[side] = move[side];
        }
    }
    m_moves += moved ? 1 : 0;
    step.converged = change < tolerance && !moved;
    return step;
}

SectionLayers::Step SectionLayers::coupledStep(const Eigen::VectorXd& q0, const Eigen::MatrixXd& d, int it,
                                               double tolerance, double hold)
{
    LayerCoupling coupling;
    coupling.q0 = q0;
    coupling.d = d;
    coupling.m0 = stationDefects();
    coupling.hold = hold;
    double alpha = 0;
    return advance(coupling, alpha, it, tolerance);
}

bool SectionLayers::solve(const OuterFunction& outer, const Eigen::VectorXd& imposedNodes, const Eigen::VectorXd& imposedWake,
                          double& alpha, int max_iterations, const LiftFunction& lift, double target)
{
    assert(m_d.size() > 0); // coupled to the panel method
    beginUpdates();
    for (int it = 0; it < max_iterations; ++it) {
        LayerCoupling coupling;
        const OuterSpeeds o = outer(alpha);
        if (imposedNodes.size() > 0)
            coupling.m0 = atStations(imposedNodes, imposedWake, false);
        coupling.d = m_d;
        coupling.alpha0 = alpha;
        coupling.q0 = atStations(o.nodes, o.wake);
        if (lift) {
            coupling.qAlpha = atStations(o.nodesAlpha, o.wakeAlpha);
            coupling.target = target;
            coupling.lift = [&](const Eigen::VectorXd& q, double a, Eigen::VectorXd& dq, double& da) {
                Eigen::VectorXd speed = Eigen::VectorXd::Zero(o.nodes.size()), ds;
                for (int k = 0; k < m_upper + m_lower; ++k)
                    speed(m_node[static_cast<std::size_t>(k)]) = m_sign[static_cast<std::size_t>(k)] * q(k);
                const double cl = lift(speed, a, ds, da);
                dq = Eigen::VectorXd::Zero(q.size());
                for (int k = 0; k < m_upper + m_lower; ++k)
                    dq(k) = m_sign[static_cast<std::size_t>(k)] * ds(m_node[static_cast<std::size_t>(k)]);
                return cl;
            };
        }
        const Step step = advance(coupling, alpha, it, kTolerance);
        if (!step.ok)
            return false;
        if (step.converged)
            return true;
    }
    return false;
}

Eigen::MatrixXd SectionLayers::fluxMatrix(double mach) const
{
    // rho_e m at each station, the density that of its present edge speed. Each panel's growth
    // is shared by its two ends; on the panel of the stagnation point both layers grow from
    // nothing, and at the trailing edge the wake takes up what the two layers (and the base of a
    // blunt edge) carry.
    // Shared equally, a defect that alternates from station to station gives no flux at all:
    // the potential cannot answer it, and a laminar layer near separation, whose displacement
    // only the outer flow can hold, then falls into such a sawtooth (a laminar bubble goes
    // wrong). Laminar panels therefore give more of their growth to their downstream end, which
    // the sawtooth feels; turbulent ones, whose separation the central share settles best,
    // keep the equal share.
    const int ns = m_upper + m_lower, stations = m_layers.size();
    Eigen::MatrixXd f = Eigen::MatrixXd::Zero(stations, stations);
    std::vector<double> rho(static_cast<std::size_t>(stations));
    for (int i = 0; i < stations; ++i)
        rho[static_cast<std::size_t>(i)] =
            gas::density(gas::temperature(edge_speed(m_layers.state()[static_cast<std::size_t>(i)].q, m_layers.settings().flow), mach));
    const auto share = [&](int a, int b, int station, double sign, double downstream) {
        const double g = sign * rho[static_cast<std::size_t>(station)];
        f(a, station) += (1 - downstream) * g;
        f(b, station) += downstream * g;
    };
    share(0, m_upper, 0, 1, 0.5);
    share(0, m_upper, m_upper, 1, 0.5);
    for (int side = 0; side < 2; ++side) {
        const int first = side == 0 ? 0 : m_upper, count = side == 0 ? m_upper : m_lower;
        for (int k = 1; k < count; ++k) {
            const bool laminar = k < count - 1 && m_layers.regime(first + k - 1) == Regime::Laminar;
            const double downstream = laminar ? kLaminarDownstreamShare : 0.5;
            share(first + k - 1, first + k, first + k, 1, downstream);
            share(first + k - 1, first + k, first + k - 1, -1, downstream);
        }
    }
    f(ns, ns) += rho[static_cast<std::size_t>(ns)];
    f(ns, m_upper - 1) -= rho[static_cast<std::size_t>(m_upper - 1)];
    f(ns, ns - 1) -= rho[static_cast<std::size_t>(ns - 1)];
    for (int k = ns + 1; k < stations; ++k) {
        share(k - 1, k, k, 1, 0.5);
        share(k - 1, k, k - 1, -1, 0.5);
    }
    return f;
}

void SectionLayers::massFluxes(const Eigen::VectorXd& nodeDefect, const Eigen::VectorXd& wakeDefect, double mach,
                               Eigen::VectorXd& nodeFlux, Eigen::VectorXd& wakeFlux) const
{
    const int ns = m_upper + m_lower, nw = static_cast<int>(m_wake.size());
    const Eigen::VectorXd flux = fluxMatrix(mach) * atStations(nodeDefect, wakeDefect, false);
    nodeFlux = Eigen::VectorXd::Zero(nodeDefect.size());
    for (int k = 0; k < ns; ++k)
        nodeFlux(m_node[static_cast<std::size_t>(k)]) = flux(k);
    wakeFlux = flux.tail(nw);
}

SectionLayersResult SectionLayers::result(double alpha, double mach) const
{
    SectionLayersResult r;
    const int n = static_cast<int>(m_p.node.size());
    r.alpha = alpha;
    r.iterations = m_iterations;
    r.nodeSpeed = Eigen::VectorXd::Zero(n);
    r.nodeDefect = Eigen::VectorXd::Zero(n);
    r.wakeDefect = Eigen::VectorXd::Zero(static_cast<Eigen::Index>(m_wake.size()));
    r.cf.assign(static_cast<std::size_t>(n), 0.0);
    r.theta.assign(static_cast<std::size_t>(n), 0.0);
    r.dstar.assign(static_cast<std::size_t>(n), 0.0);
    const Point stream{std::cos(alpha), std::sin(alpha)};
    double friction = 0;
    for (int side = 0; side < 2; ++side) {
        auto& list = side == 0 ? r.layers.upper : r.layers.lower;
        for (int k = 0; k < m_layers.count(side); ++k) {
            const int i = m_layers.first(side) + k;
            const auto node = static_cast<std::size_t>(m_node[static_cast<std::size_t>(i)]);
            const StationFlow<double> f = m_layers.flow(i);
            // Wall shear over the free stream's dynamic pressure: rho_e ue^2 Cf.
            const double cf = f.cf * gas::density(gas::temperature(f.ue, mach)) * f.ue * f.ue;
            r.nodeSpeed(static_cast<Eigen::Index>(node)) = m_sign[static_cast<std::size_t>(i)] * m_layers.state()[static_cast<std::size_t>(i)].q;
            r.nodeDefect(static_cast<Eigen::Index>(node)) = m_layers.state()[static_cast<std::size_t>(i)].m;
            r.cf[node] = cf;
            r.theta[node] = f.theta;
            r.dstar[node] = f.dstar;
            const Point at = m_p.node[node];
            if (k > 0) {
                // The shear integrated along the wall, projected on the free stream.
                const LayerStation& before = list.back();
                friction += 0.5 * (cf + before.cf) * ((at.x - before.x) * stream.x + (at.y - before.y) * stream.y);
                // Separation: where the turbulent layer's friction turns negative for good; a
                // bubble that reattaches (behind a shock, at transition) is none.
                auto& separation = r.separation[static_cast<std::size_t>(side)];
                if (m_layers.regime(i) == Regime::Turbulent && cf < 0 && before.cf >= 0) {
                    const auto& xc = m_layers.stations().xc[static_cast<std::size_t>(side)];
                    const double xa = xc[static_cast<std::size_t>(k - 1)], xb = xc[static_cast<std::size_t>(k)];
                    separation = xa + before.cf / (before.cf - cf) * (xb - xa);
                } else if (cf >= 0) {
                    separation = 1;
                }
            }
            list.push_back({at.x, at.y, m_layers.xi(side, k), f.ue, f.theta, f.dstar, f.h, cf});
        }
        r.transition[static_cast<std::size_t>(side)] = m_layers.transition_xc(side);
    }
    for (int k = 0; k < m_layers.count(2); ++k) {
        const StationFlow<double> f = m_layers.flow(m_layers.first(2) + k);
        r.wakeDefect(k) = m_layers.state()[static_cast<std::size_t>(m_layers.first(2) + k)].m;
        r.layers.wake.push_back({m_wake[static_cast<std::size_t>(k)].x, m_wake[static_cast<std::size_t>(k)].y,
                                 m_wakeArc[static_cast<std::size_t>(k)], f.ue, f.theta, f.dstar, f.h, 0.0});
    }
    // Squire and Young: the momentum deficit far downstream from that at the wake's end.
    const StationFlow<double> end = m_layers.flow(m_layers.size() - 1);
    r.cd = 2 * end.theta * std::pow(std::max(end.ue, 0.0), 0.5 * (end.h + 5));
    r.cd_friction = friction;
    return r;
}

void report_layers(const SectionLayersResult& v, Point origin, double scale, FlowResult& r)
{
    r.cd_friction = v.cd_friction;
    r.transition_upper = v.transition[0];
    r.transition_lower = v.transition[1];
    r.separation_upper = v.separation[0];
    r.separation_lower = v.separation[1];
    r.layers = v.layers;
    for (auto* list : {&r.layers.upper, &r.layers.lower, &r.layers.wake})
        for (LayerStation& z : *list) {
            z.x = origin.x + scale * z.x;
            z.y = origin.y + scale * z.y;
            z.s *= scale;
            z.theta *= scale;
            z.dstar *= scale;
        }
}

} // namespace camber::smesh
