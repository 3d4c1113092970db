// SPDX-License-Identifier: MIT
#include "PanelLayers.h"

#include "LayerNewton.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace camber::smesh {

namespace {

constexpr double kWakeLength = 1.0; // chords behind the trailing edge
constexpr int kMaxNewton = 40;
// Newton's method has converged when no thickness, shear stress or speed changes by more than
// this fraction and no amplification factor by more than this.
constexpr double kTolerance = 1e-7;
// Steps are shortened so that no thickness, shear stress or speed grows by more than half again
// or falls by more than half in one update (a laminar amplification factor by more than 5), and
// the angle changes by at most 2 degrees.
constexpr double kMostGrowth = 1.5, kMostFall = -0.5, kMostAmplification = 5, kMostAngle = 2 * kDeg, kMostSpeed = 0.25;
// ... and so that no shape factor falls below these (layers and wakes).
constexpr double kLowestH = 1.1, kLowestWakeH = 1.002;
// A node that changes sides as the stagnation point passes it starts its new layer with the shape
// factor of the stagnation-point flow, and a speed of at least this.
constexpr double kStagnationShape = 2.24, kLeastSpeed = 1e-4;
// Transition may move between intervals this many times; after that it stays where it is, which
// ends a cycle between two neighbouring intervals.
constexpr int kTransitionMoves = 12;
// ... and is placed anew after a shortened step only every this many iterations.
constexpr int kTransitionEvery = 4;

int wakePoints(int nodes) { return std::max(8, nodes / 7 + 2); }

Point unit(Point a, Point b)
{
    const double l = std::hypot(b.x - a.x, b.y - a.y);
    return l > 0 ? Point{(b.x - a.x) / l, (b.y - a.y) / l} : Point{1, 0};
}

/// The node speeds of the inviscid flow at angle alpha.
Eigen::VectorXd inviscid(const PanelMethod& pm, double alpha)
{
    return std::cos(alpha) * pm.gamma0() + std::sin(alpha) * pm.gamma90();
}

/// The wake: from the trailing-edge midpoint along the bisector of the edge, then along the
/// inviscid streamline, the steps growing geometrically from the length of the edge panels so
/// that the wake is kWakeLength long.
std::vector<Point> traceWake(const Panelling& p, const PanelMethod& pm, double alpha)
{
    const auto& node = p.node;
    const std::size_t n = node.size();
    const int count = wakePoints(static_cast<int>(n));
    const Point te{0.5 * (node.front().x + node.back().x), 0.5 * (node.front().y + node.back().y)};
    const Point a = unit(node[0], node[1]), b = unit(node[n - 2], node[n - 1]);
    Point direction = unit({0, 0}, {b.x - a.x, b.y - a.y});
    const double first = 0.5 * (std::hypot(node[1].x - node[0].x, node[1].y - node[0].y) +
                                std::hypot(node[n - 1].x - node[n - 2].x, node[n - 1].y - node[n - 2].y));
    double lo = 1 + 1e-9, hi = 4;
    const auto length = [&](double r) { return first * (std::pow(r, count - 1) - 1) / (r - 1); };
    for (int it = 0; it < 100; ++it) {
        const double mid = 0.5 * (lo + hi);
        (length(mid) < kWakeLength ? lo : hi) = mid;
    }
    const Eigen::VectorXd gamma = inviscid(pm, alpha);
    std::vector<Point> wake{te};
    Eigen::MatrixXd perVorticity, perSource;
    double step = first;
    for (int k = 1; k < count; ++k) {
        if (k >= 2) {
            pm.velocityInfluence(wake.back(), perVorticity, perSource);
            const Eigen::Vector2d v = Eigen::Vector2d(std::cos(alpha), std::sin(alpha)) + perVorticity * gamma;
            if (v.norm() > 1e-3)
                direction = {v.x() / v.norm(), v.y() / v.norm()};
        }
        wake.push_back({wake.back().x + step * direction.x, wake.back().y + step * direction.y});
        step *= lo;
    }
    return wake;
}

/// Which node each station stands on and how its speed follows from the node speeds.
struct StationMap {
    int stagnation = 0;        // the stagnation point lies between this node and the next
    std::vector<int> node;     // per surface station; wake stations follow
    std::vector<double> sign;  // q = sign gamma at a surface station
    std::vector<double> arc;   // distance of a surface station from the stagnation point
    std::vector<double> wakeArc; // distance of a wake station from the trailing edge
    int upper = 0, lower = 0, wake = 0;
};

/// The node after which the node speed turns from the upper surface's direction to the lower's;
/// of several such places the one nearest the leading edge.
int stagnationNode(const Eigen::VectorXd& gamma, int le)
{
    const int n = static_cast<int>(gamma.size());
    int best = -1;
    for (int i = 0; i + 1 < n; ++i)
        if (gamma(i) <= 0 && gamma(i + 1) > 0 && (best < 0 || std::abs(i - le) < std::abs(best - le)))
            best = i;
    return best >= 0 ? best : std::clamp(le, 1, n - 3);
}

StationMap mapStations(const Panelling& p, const Eigen::VectorXd& gamma, const std::vector<Point>& wake)
{
    StationMap m;
    const int n = static_cast<int>(gamma.size());
    // Each surface keeps at least two stations.
    m.stagnation = std::clamp(stagnationNode(gamma, p.le), 1, n - 3);
    const int is = m.stagnation;
    const double ga = gamma(is), gb = gamma(is + 1);
    const auto s = [&](int i) { return p.s[static_cast<std::size_t>(i)]; };
    const double stagnation = s(is) + (gb != ga ? std::clamp(-ga / (gb - ga), 0.0, 1.0) : 0.5) * (s(is + 1) - s(is));
    for (int i = is; i >= 0; --i) {
        m.node.push_back(i);
        m.sign.push_back(-1);
        m.arc.push_back(stagnation - s(i));
    }
    for (int i = is + 1; i < n; ++i) {
        m.node.push_back(i);
        m.sign.push_back(1);
        m.arc.push_back(s(i) - stagnation);
    }
    m.upper = is + 1;
    m.lower = n - 1 - is;
    m.wake = static_cast<int>(wake.size());
    m.wakeArc.push_back(0);
    for (std::size_t k = 1; k < wake.size(); ++k)
        m.wakeArc.push_back(m.wakeArc.back() + std::hypot(wake[k].x - wake[k - 1].x, wake[k].y - wake[k - 1].y));
    return m;
}

/// Everything the coupling needs that depends only on the geometry: the node speeds and the
/// speeds along the wake at its points per unit source at every contour node and every wake point
/// (sources vary linearly between the points, so that no speed is singular at a point).
struct Influence {
    Eigen::MatrixXd gammaPerSource;   // n x sources
    Eigen::MatrixXd wakePerSource;    // wake points x sources: speed along the wake
    Eigen::MatrixXd wakeFree;         // wake points x 2: the speeds of the free stream at 0 and 90 degrees
};

Influence influence(const PanelMethod& pm, const std::vector<Point>& wake)
{
    Influence f;
    const Eigen::MatrixXd contour = pm.gammaOfNodeSources(), sheet = pm.gammaOfSheetSources(wake);
    const Eigen::Index n = contour.rows(), np = contour.cols(), nw = sheet.cols();
    f.gammaPerSource.resize(n, np + nw);
    f.gammaPerSource << contour, sheet;
    f.wakePerSource = Eigen::MatrixXd::Zero(nw, np + nw);
    f.wakeFree = Eigen::MatrixXd::Zero(nw, 2);
    Eigen::MatrixXd perVorticity, perSource;
    // The first point is the trailing edge, whose speed the coupling takes from the surfaces.
    for (Eigen::Index k = 1; k < nw; ++k) {
        const Point at = wake[static_cast<std::size_t>(k)];
        const Point before = unit(wake[static_cast<std::size_t>(k - 1)], at);
        const Point after = k + 1 < nw ? unit(at, wake[static_cast<std::size_t>(k + 1)]) : before;
        const Point t = unit({0, 0}, {before.x + after.x, before.y + after.y});
        pm.velocityInfluence(at, perVorticity, perSource);
        const Eigen::RowVectorXd alongVorticity = t.x * perVorticity.row(0) + t.y * perVorticity.row(1);
        const Eigen::MatrixXd ownSheet = sheet_source_velocity(wake, at);
        Eigen::RowVectorXd direct(np + nw);
        direct.head(np) = t.x * perSource.row(0) + t.y * perSource.row(1);
        direct.tail(nw) = t.x * ownSheet.row(0) + t.y * ownSheet.row(1);
        f.wakePerSource.row(k) = alongVorticity * f.gammaPerSource + direct;
        f.wakeFree(k, 0) = t.x + alongVorticity.dot(pm.gamma0());
        f.wakeFree(k, 1) = t.y + alongVorticity.dot(pm.gamma90());
    }
    return f;
}

/// The coupling of the stations of map: speeds per unit mass defect and the inviscid speeds at 0
/// and 90 degrees.
struct StationCoupling {
    Eigen::MatrixXd d;            // dq / dm
    Eigen::MatrixXd free;         // stations x 2: inviscid speeds at 0 and 90 degrees
};

StationCoupling stationCoupling(const StationMap& map, const Influence& f, const PanelMethod& pm)
{
    const int ns = map.upper + map.lower, nw = map.wake, stations = ns + nw;
    const Eigen::Index sources = f.gammaPerSource.cols();
    const Eigen::Index np = sources - nw;
    Eigen::MatrixXd perSource(stations, sources);
    StationCoupling c;
    c.free.resize(stations, 2);
    for (int k = 0; k < ns; ++k) {
        const int node = map.node[static_cast<std::size_t>(k)];
        const double sign = map.sign[static_cast<std::size_t>(k)];
        perSource.row(k) = sign * f.gammaPerSource.row(node);
        c.free(k, 0) = sign * pm.gamma0()(node);
        c.free(k, 1) = sign * pm.gamma90()(node);
    }
    // The first wake station, the trailing edge, takes the mean speed of the two edges.
    const int w0 = ns;
    perSource.row(w0) = 0.5 * (perSource.row(map.upper - 1) + perSource.row(ns - 1));
    c.free.row(w0) = 0.5 * (c.free.row(map.upper - 1) + c.free.row(ns - 1));
    perSource.bottomRows(nw - 1) = f.wakePerSource.bottomRows(nw - 1);
    c.free.bottomRows(nw - 1) = f.wakeFree.bottomRows(nw - 1);
    // Sources from mass defects: at each point the growth of m along the layer, by central
    // differences in arc length (one-sided at the trailing edge and the wake's ends); the mass
    // defect vanishes at the stagnation point.
    Eigen::MatrixXd perDefect = Eigen::MatrixXd::Zero(sources, stations);
    const auto difference = [&](Eigen::Index source, int before, int after, double length) {
        if (after >= 0)
            perDefect(source, after) += 1 / length;
        if (before >= 0)
            perDefect(source, before) -= 1 / length;
    };
    for (int side = 0; side < 2; ++side) {
        const int first = side == 0 ? 0 : map.upper, count = side == 0 ? map.upper : map.lower;
        for (int k = 0; k < count; ++k) {
            const int i = first + k;
            const int before = k > 0 ? i - 1 : -1, after = k + 1 < count ? i + 1 : i;
            const double s0 = k > 0 ? map.arc[static_cast<std::size_t>(i - 1)] : 0.0;
            const double s1 = map.arc[static_cast<std::size_t>(after)];
            difference(map.node[static_cast<std::size_t>(i)], k + 1 < count ? before : i - 1, after, s1 - s0);
        }
    }
    for (int k = 0; k < nw; ++k) {
        const int before = k > 0 ? k - 1 : 0, after = k + 1 < nw ? k + 1 : k;
        difference(np + k, w0 + before, w0 + after, map.wakeArc[static_cast<std::size_t>(after)] - map.wakeArc[static_cast<std::size_t>(before)]);
    }
    c.d = perSource * perDefect;
    return c;
}

LayerStations layerStations(const Panelling& p, const SectionLoads& loads, const StationMap& map,
                            const std::vector<Point>& wake)
{
    LayerStations s;
    const auto is = static_cast<std::size_t>(map.stagnation);
    s.stagnationPanel = p.s[is + 1] - p.s[is];
    for (int k = 0; k < map.upper + map.lower; ++k) {
        const int side = k < map.upper ? 0 : 1;
        const auto node = static_cast<std::size_t>(map.node[static_cast<std::size_t>(k)]);
        s.distance[static_cast<std::size_t>(side)].push_back(side == 0 ? p.s[is] - p.s[node] : p.s[node] - p.s[is + 1]);
        s.xc[static_cast<std::size_t>(side)].push_back(loads.xc(node));
    }
    s.wake.push_back(0);
    for (std::size_t k = 1; k < wake.size(); ++k)
        s.wake.push_back(s.wake.back() + std::hypot(wake[k].x - wake[k - 1].x, wake[k].y - wake[k - 1].y));
    s.gap = std::hypot(p.node.front().x - p.node.back().x, p.node.front().y - p.node.back().y);
    return s;
}

/// The fraction of a Newton update to take (see kMostGrowth).
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
        // approaches its node; its relative changes say nothing of the step's quality there (the
        // update keeps it positive instead).
        if (i != layers.first(0) && i != layers.first(1)) {
            limit(d.theta, s.theta);
            limit(d.m, s.m);
        }
        // Speeds change by at most a quarter of the free stream's: near the stagnation point they
        // must be able to change sign, which moves the stagnation point past a node.
        if (std::fabs(d.q) > kMostSpeed)
            r = std::min(r, kMostSpeed / std::fabs(d.q));
    }
    if (std::fabs(u.alpha) > kMostAngle)
        r = std::min(r, kMostAngle / std::fabs(u.alpha));
    return r;
}

/// Largest relative change of an update (amplification factors absolute).
double largestChange(const LayerSystem& layers, const LayerUpdate& u)
{
    double largest = std::fabs(u.alpha);
    for (int i = 0; i < layers.size(); ++i) {
        const StationState& s = layers.state()[static_cast<std::size_t>(i)];
        const StationState& d = u.delta[static_cast<std::size_t>(i)];
        const bool laminar = layers.regime(i) == Regime::Laminar;
        largest = std::max({largest, laminar ? 1e-3 * std::fabs(d.c) : std::fabs(d.c / s.c), std::fabs(d.theta / s.theta),
                            std::fabs(d.m / s.m), std::fabs(d.q)});
    }
    return largest;
}

} // namespace

PanelLayersResult solve_panel_layers(const Panelling& p, const PanelMethod& pm, const SectionLoads& loads,
                                     const FlowCase& flow, double mach, double alpha)
{
    PanelLayersResult result;
    const int n = static_cast<int>(p.node.size());
    const std::vector<Point> wake = traceWake(p, pm, alpha);
    const Influence inf = influence(pm, wake);
    LayerSettings settings;
    settings.flow.reynolds = flow.reynolds;
    settings.flow.mach = mach;
    settings.flow.karmanTsien = true;
    settings.ncrit = flow.ncrit;
    for (std::size_t side = 0; side < 2; ++side)
        settings.forced[side] = flow.transition[side] > 0 && flow.transition[side] < 1 ? flow.transition[side] : 1.0;

    Eigen::VectorXd gamma = inviscid(pm, alpha);
    StationMap map = mapStations(p, gamma, wake);
    StationCoupling sc = stationCoupling(map, inf, pm);
    LayerSystem layers(layerStations(p, loads, map, wake), settings);
    LayerCoupling coupling;
    coupling.d = sc.d;
    const auto speedsAt = [&](double a) -> Eigen::VectorXd { return std::cos(a) * sc.free.col(0) + std::sin(a) * sc.free.col(1); };
    const auto start = [&](const Eigen::VectorXd& q) {
        for (int i = 0; i < layers.size(); ++i)
            layers.state()[static_cast<std::size_t>(i)].q = std::max(q(i), 1e-4);
        layers.march();
    };
    start(speedsAt(alpha));
    if (getenv("DBG")) {
        const int N = layers.size();
    }

    if (flow.prescribed_lift) {
        coupling.target = flow.target;
        coupling.lift = [&](const Eigen::VectorXd& q, double a, Eigen::VectorXd& dq, double& da) {
            Eigen::VectorXd g(n), dg;
            for (int k = 0; k < map.upper + map.lower; ++k)
                g(map.node[static_cast<std::size_t>(k)]) = map.sign[static_cast<std::size_t>(k)] * q(k);
            const double cl = loads.lift(g, a, dg, da);
            dq = Eigen::VectorXd::Zero(q.size());
            for (int k = 0; k < map.upper + map.lower; ++k)
                dq(k) = map.sign[static_cast<std::size_t>(k)] * dg(map.node[static_cast<std::size_t>(k)]);
            return cl;
        };
    }

    const auto jcheck = [&]() {
        const int N = layers.size();
        layers.assemble();
        std::vector<LayerSystem::Row> rows; for (int i = 0; i < N; ++i) rows.push_back(layers.row(i));
        double worstJ = 0;
        for (int j = 0; j < N; ++j) for (int v = 0; v < 4; ++v) {
            StationState& st = layers.state()[j]; double* f[] = {&st.c, &st.theta, &st.m, &st.q};
            double h = 1e-7 * std::max(std::fabs(*f[v]), 1e-3); double keep = *f[v]; *f[v] += h; layers.assemble(); *f[v] = keep;
            for (int i = 0; i < N; ++i) {
                Eigen::Vector3d fd = (layers.row(i).r - rows[i].r) / h, an = Eigen::Vector3d::Zero();
                if (i == j) an = rows[i].self.col(v);
                if (v == 3 && i < layers.first(2)) { auto sl = layers.stagnation_slopes(); if (j == layers.first(0)) an += rows[i].stagnation * sl[0]; if (j == layers.first(1)) an += rows[i].stagnation * sl[1]; }
                for (int kk = 0; kk < 2; ++kk) if (rows[i].upstream[kk] == j) an += rows[i].up[kk].col(v);
                double e = (fd - an).cwiseAbs().maxCoeff() / std::max(1.0, an.cwiseAbs().maxCoeff());
                if (e > 1e-4) { if (e > worstJ) worstJ = e; fprintf(stderr, "  J mismatch row %d col %d var %d: fd %g %g %g an %g %g %g reg %d\n", i, j, v, fd(0), fd(1), fd(2), an(0), an(1), an(2), (int)layers.regime(i)); }
            }
        }
        layers.assemble();
        fprintf(stderr, "J check worst %g\n", worstJ);
    };
    int moves = 0;
    for (int it = 0; it < kMaxNewton; ++it) {
        if (getenv("JCHECK")) jcheck();
        result.iterations = it + 1;
        coupling.alpha0 = alpha;
        coupling.q0 = speedsAt(alpha);
        if (flow.prescribed_lift)
            coupling.qAlpha = -std::sin(alpha) * sc.free.col(0) + std::cos(alpha) * sc.free.col(1);
        layers.assemble();
        LayerUpdate u;
        if (!layer_newton_update(layers, coupling, alpha, u))
            break;
        const double r = relaxation(layers, u);
        if (getenv("DBG")) {
            const int N = layers.size(); double lin = 0;
            for (int i = 0; i < N; ++i) { const auto& row = layers.row(i); const auto& d = u.delta[i];
                Eigen::Vector3d e = row.r + row.self * Eigen::Vector4d(d.c, d.theta, d.m, d.q);
                for (int kk = 0; kk < 2; ++kk) if (row.upstream[kk] >= 0) { const auto& dp = u.delta[row.upstream[kk]]; e += row.up[kk] * Eigen::Vector4d(dp.c, dp.theta, dp.m, dp.q); }
                lin = std::max(lin, e.cwiseAbs().maxCoeff()); }
            Eigen::VectorXd dm(N), dqv(N), qv(N); for (int i = 0; i < N; ++i) { dm(i) = u.delta[i].m; dqv(i) = u.delta[i].q; qv(i) = layers.state()[i].q; }
            Eigen::VectorXd rq = qv - coupled_speeds(layers, coupling, alpha);
            double lin2 = (dqv - coupling.d * dm + rq).cwiseAbs().maxCoeff();
            fprintf(stderr, "  linear check: layers %g coupling %g |rq| %g\n", lin, lin2, rq.cwiseAbs().maxCoeff());
            if (it == 0) for (int i = 0; i < N; ++i) if (std::fabs(rq(i)) > 0.03 || i >= layers.first(2)) { auto f = layers.flow(i); fprintf(stderr, "   rq st %d %g q %g th %g H %g c %g\n", i, rq(i), qv(i), f.theta, f.h, f.c); }
            double worst = 0; int wi = -1;
            for (int i = 0; i < layers.size(); ++i) { double rr = layers.row(i).r.cwiseAbs().maxCoeff(); if (rr > worst) { worst = rr; wi = i; } }
            fprintf(stderr, "  max residual %g at %d (first %d %d %d)\n", worst, wi, layers.first(0), layers.first(1), layers.first(2));
            for (int i = 0; i < layers.size(); ++i) { const auto& s = layers.state()[i]; const auto& d = u.delta[i];
                double rat = std::max({std::fabs(d.theta/s.theta), std::fabs(d.m/s.m), std::fabs(d.q/s.q)});
                if (rat > 0.5 || i >= layers.first(2) - 2) fprintf(stderr, "   st %d reg %d c %g th %g m %g q %g | d %g %g %g %g\n", i, (int)layers.regime(i), s.c, s.theta, s.m, s.q, d.c, d.theta, d.m, d.q); }
        }
        for (int i = 0; i < layers.size(); ++i) {
            StationState& s = layers.state()[static_cast<std::size_t>(i)];
            const StationState& d = u.delta[static_cast<std::size_t>(i)];
            const double before = s.m / (s.q * s.theta);
            s.c += r * d.c;
            s.theta = std::max(s.theta + r * d.theta, (1 + kMostFall) * s.theta);
            s.m = std::max(s.m + r * d.m, (1 + kMostFall) * s.m);
            s.q += r * d.q;
            // The shape factor does not fall below its lowest physical value (or further below
            // it): there the closures are held constant and the layer's equations lose their hold
            // on it.
            const double lowest = std::min(layers.regime(i) == Regime::Wake ? kLowestWakeH : kLowestH, before);
            s.m = std::max(s.m, lowest * s.q * s.theta);
        }
        alpha += r * u.alpha;
        const double change = largestChange(layers, u);
        if (getenv("DBG3")) { for (int i = 98; i < 112; ++i) { auto f = layers.flow(i); fprintf(stderr, "     st %d reg %d q %.4f th %.3e H %.3f Hk %.3f c %.4f seq %.4f cf %.2e di %.2e\n", i, (int)layers.regime(i), layers.state()[i].q, f.theta, f.h, f.hk, f.c, f.seq, f.cf, f.di); } }
        if (getenv("DBG")) { double big = 0; int bi = -1; for (int i = 0; i < layers.size(); ++i) { const auto& ss = layers.state()[i]; const auto& d = u.delta[i]; double v = std::max({layers.regime(i) == Regime::Laminar ? 0.0 : std::fabs(d.c/ss.c), std::fabs(d.theta/ss.theta), std::fabs(d.m/ss.m), std::fabs(d.q)}); if (v > big) { big = v; bi = i; } } if (bi >= 0) { const auto& ss = layers.state()[bi]; const auto& d = u.delta[bi]; fprintf(stderr, "   biggest st %d reg %d state %g %g %g %g delta %g %g %g %g\n", bi, (int)layers.regime(bi), ss.c, ss.theta, ss.m, ss.q, d.c, d.theta, d.m, d.q); } }
        if (getenv("DBG")) { double hmin = 1e9; int im = -1; for (int i = 0; i < layers.size(); ++i) { auto f = layers.flow(i); if (f.h < hmin) { hmin = f.h; im = i; } } fprintf(stderr, "   Hmin %g at %d\n", hmin, im); }
        if (getenv("DBG")) { fprintf(stderr, "it %d r %g change %g alpha %g xtr %g %g\n", it, r, change, alpha/kDeg, layers.transition_xc(0), layers.transition_xc(1)); }
        if (!std::isfinite(change))
            break;
        // The stagnation point moved past a node: the stations are mapped again, every node
        // keeping its layer, but the one that changed sides, which starts the other surface's
        // layer with its similar solution's shape.
        const int upperFirst = layers.first(0), lowerFirst = layers.first(1);
        if (layers.state()[static_cast<std::size_t>(upperFirst)].q <= 0 || layers.state()[static_cast<std::size_t>(lowerFirst)].q <= 0) {
            Eigen::VectorXd g(n);
            std::vector<StationState> atNode(static_cast<std::size_t>(n));
            std::vector<int> sideOfNode(static_cast<std::size_t>(n));
            for (int k = 0; k < map.upper + map.lower; ++k) {
                const auto node = static_cast<std::size_t>(map.node[static_cast<std::size_t>(k)]);
                g(static_cast<Eigen::Index>(node)) = map.sign[static_cast<std::size_t>(k)] * layers.state()[static_cast<std::size_t>(k)].q;
                atNode[node] = layers.state()[static_cast<std::size_t>(k)];
                sideOfNode[node] = k < map.upper ? 0 : 1;
            }
            const std::vector<StationState> wakeState(layers.state().begin() + layers.first(2), layers.state().end());
            const std::array<int, 2> transition{layers.transition_station(0), layers.transition_station(1)};
            const std::array<int, 2> counts{map.upper, map.lower};
            map = mapStations(p, g, wake);
            sc = stationCoupling(map, inf, pm);
            coupling.d = sc.d;
            layers = LayerSystem(layerStations(p, loads, map, wake), settings);
            for (int k = 0; k < map.upper + map.lower; ++k) {
                const auto node = static_cast<std::size_t>(map.node[static_cast<std::size_t>(k)]);
                const int side = k < map.upper ? 0 : 1;
                StationState& z = layers.state()[static_cast<std::size_t>(k)];
                z = atNode[node];
                z.q = std::max(map.sign[static_cast<std::size_t>(k)] * g(static_cast<Eigen::Index>(node)), kLeastSpeed);
                if (sideOfNode[node] != side) {
                    z.c = 0;
                    z.m = kStagnationShape * z.q * z.theta;
                }
            }
            std::copy(wakeState.begin(), wakeState.end(), layers.state().begin() + layers.first(2));
            for (int side = 0; side < 2; ++side) {
                const int count = side == 0 ? map.upper : map.lower;
                layers.set_transition_station(side, std::clamp(transition[static_cast<std::size_t>(side)] + count -
                                                                    counts[static_cast<std::size_t>(side)],
                                                                1, count - 1));
            }
            continue;
        }
        // Transition is placed anew after full Newton steps only: a shortened step leaves the layers
        // between two states, whose amplification would move it to no purpose.
        const bool moved = moves < kTransitionMoves && (r == 1 || it % kTransitionEvery == kTransitionEvery - 1) &&
                           layers.settle_transition();
        moves += moved ? 1 : 0;
        if (getenv("DBG") && moved) fprintf(stderr, "   moved (%d) to %d %d\n", moves, layers.transition_station(0), layers.transition_station(1));
        if (change < kTolerance && !moved) {
            result.converged = true;
            break;
        }
    }

    // Results at the nodes and per station.
    result.alpha = alpha;
    result.gamma = Eigen::VectorXd::Zero(n);
    result.cf.assign(static_cast<std::size_t>(n), 0.0);
    result.theta.assign(static_cast<std::size_t>(n), 0.0);
    result.dstar.assign(static_cast<std::size_t>(n), 0.0);
    const Point stream{std::cos(alpha), std::sin(alpha)};
    Layers& out = result.layers;
    double friction = 0;
    for (int side = 0; side < 2; ++side) {
        auto& list = side == 0 ? out.upper : out.lower;
        for (int k = 0; k < layers.count(side); ++k) {
            const int i = layers.first(side) + k;
            const int node = map.node[static_cast<std::size_t>(i)];
            const StationFlow<double> f = layers.flow(i);
            const double rhoU2 = f.ue * f.ue * std::pow(1 + 0.2 * mach * mach * (1 - f.ue * f.ue), 2.5);
            const double cf = f.cf * rhoU2;
            result.gamma(node) = map.sign[static_cast<std::size_t>(i)] * layers.state()[static_cast<std::size_t>(i)].q;
            result.cf[static_cast<std::size_t>(node)] = cf;
            result.theta[static_cast<std::size_t>(node)] = f.theta;
            result.dstar[static_cast<std::size_t>(node)] = f.dstar;
            const Point at = p.node[static_cast<std::size_t>(node)];
            if (k > 0) {
                const LayerStation& before = list.back();
                friction += 0.5 * (cf + before.cf) * ((at.x - before.x) * stream.x + (at.y - before.y) * stream.y);
                if (layers.regime(i) == Regime::Turbulent && cf < 0 && before.cf >= 0 &&
                    result.separation[static_cast<std::size_t>(side)] >= 1) {
                    const double xa = layers.stations().xc[static_cast<std::size_t>(side)][static_cast<std::size_t>(k - 1)];
                    const double xb = layers.stations().xc[static_cast<std::size_t>(side)][static_cast<std::size_t>(k)];
                    result.separation[static_cast<std::size_t>(side)] = xa + before.cf / (before.cf - cf) * (xb - xa);
                }
            }
            list.push_back({at.x, at.y, layers.xi(side, k), f.ue, f.theta, f.dstar, f.h, cf});
        }
        result.transition[static_cast<std::size_t>(side)] = layers.transition_xc(side);
    }
    for (int k = 0; k < layers.count(2); ++k) {
        const StationFlow<double> f = layers.flow(layers.first(2) + k);
        out.wake.push_back({wake[static_cast<std::size_t>(k)].x, wake[static_cast<std::size_t>(k)].y,
                            layers.stations().wake[static_cast<std::size_t>(k)], f.ue, f.theta, f.dstar, f.h, 0.0});
    }
    if (getenv("DBG2")) {
        for (int i = 0; i < layers.size(); ++i) { if (i % 3 && !(i > 55 && i < 80) && !(i > 125)) continue; auto f = layers.flow(i); fprintf(stderr, "%d ue %.4f th %.3e H %.3f Hk %.3f cf %.3e S %.4f Seq %.4f Hs %.4f Ret %.0f di %.3e\n", i, f.ue, f.theta, f.h, f.hk, f.cf, f.c, f.seq, f.hs, f.ret, f.di); }
    }
    // Squire and Young: the momentum deficit far downstream from the wake's end.
    const StationFlow<double> end = layers.flow(layers.size() - 1);
    result.cd = 2 * end.theta * std::pow(std::max(end.ue, 0.0), 0.5 * (end.h + 5));
    result.cd_friction = friction;
    return result;
}

} // namespace camber::smesh
