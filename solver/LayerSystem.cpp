// SPDX-License-Identifier: MIT
#include "LayerSystem.h"

#include "LayerClosures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace camber::smesh {

namespace {

// Shape factors beyond which the first march holds the shape and lets the speed follow (inverse
// marching): a laminar layer near separation, a turbulent one well past it.
constexpr double kMarchLaminarHk = 3.8;
constexpr double kMarchTurbulentHk = 2.5;
constexpr int kMarchIterations = 25;
constexpr double kMarchTolerance = 1e-10;
// A forced transition position beyond the interval: none there.
constexpr double kNotForced = 2;
// Transition moves to an earlier interval when a laminar station's amplification exceeds ncrit by
// this much, to the next one when it would be reached beyond the present interval by this
// fraction of it: a margin that keeps it from moving back and forth while the layers converge.
constexpr double kAmplificationMargin = 0.0;
constexpr double kFractionMargin = 0.0;
// The interval after a surface's first station spans at most a factor 1 / kFirstSpan in xi.
constexpr double kFirstSpan = 0.05;
// The stagnation point keeps this fraction of its panel from either end: the first station's
// distance from it is divided by.
constexpr double kNearestStagnation = 1e-6;

StationFlow<Dual9> widen(const StationFlow<Dual4>& f, std::size_t offset)
{
    StationFlow<Dual9> w;
    const auto to8 = [&](const Dual4& a) { return smesh::widen<9>(a, offset); };
    w.c = to8(f.c);
    w.theta = to8(f.theta);
    w.dstar = to8(f.dstar);
    w.ue = to8(f.ue);
    w.me2 = to8(f.me2);
    w.ret = to8(f.ret);
    w.h = to8(f.h);
    w.hk = to8(f.hk);
    w.hs = to8(f.hs);
    w.hss = to8(f.hss);
    w.cf = to8(f.cf);
    w.di = to8(f.di);
    w.rate = to8(f.rate);
    w.us = to8(f.us);
    w.seq = to8(f.seq);
    w.delta = to8(f.delta);
    return w;
}

template <typename D>
StationFlow<D> flowOf(const StationState& s, std::size_t offset, Regime regime, const LayerCase& lc)
{
    D c, theta, m, q;
    unknowns(s, offset, c, theta, m, q);
    return station_flow(c, theta, m, q, regime, lc);
}

/// Scale of a step of unknowns that keeps thicknesses, shear stress and speed from changing by
/// more than the given fractions of themselves (amplification factors change freely).
double stepScale(const StationState& s, const double* step, const int* which, int n, bool laminar)
{
    double scale = 1;
    for (int k = 0; k < n; ++k) {
        const double* field[] = {&s.c, &s.theta, &s.m, &s.q};
        const double base = *field[which[k]];
        if (which[k] == 0 && laminar)
            continue;
        const double ratio = step[k] / std::max(std::fabs(base), 1e-12);
        const double up = which[k] == 3 ? 0.2 : 1.0, down = which[k] == 3 ? -0.2 : -0.5;
        if (ratio > up)
            scale = std::min(scale, up / ratio);
        if (ratio < down)
            scale = std::min(scale, down / ratio);
    }
    return scale;
}

} // namespace

LayerSystem::LayerSystem(LayerStations stations, const LayerSettings& settings)
    : m_stations(std::move(stations)), m_settings(settings)
{
    m_first[0] = 0;
    m_first[1] = static_cast<int>(m_stations.distance[0].size());
    m_first[2] = m_first[1] + static_cast<int>(m_stations.distance[1].size());
    m_first[3] = m_first[2] + static_cast<int>(m_stations.wake.size());
    m_turbulent = {count(0), count(1)};
    m_state.assign(static_cast<std::size_t>(m_first[3]), StationState{});
    m_rows.assign(m_state.size(), Row{});
}

Regime LayerSystem::regime(int station) const
{
    if (station >= m_first[2])
        return Regime::Wake;
    const int side = station >= m_first[1] ? 1 : 0;
    return station - m_first[static_cast<std::size_t>(side)] < m_turbulent[static_cast<std::size_t>(side)] ? Regime::Laminar
                                                                                                          : Regime::Turbulent;
}

double LayerSystem::stagnation_fraction() const
{
    const double qu = m_state[static_cast<std::size_t>(first(0))].q, ql = m_state[static_cast<std::size_t>(first(1))].q;
    return std::clamp(qu / (qu + ql), kNearestStagnation, 1 - kNearestStagnation);
}

std::array<double, 2> LayerSystem::stagnation_slopes() const
{
    const double qu = m_state[static_cast<std::size_t>(first(0))].q, ql = m_state[static_cast<std::size_t>(first(1))].q;
    const double f = qu / (qu + ql);
    if (!(f > kNearestStagnation && f < 1 - kNearestStagnation))
        return {0, 0};
    return {ql / ((qu + ql) * (qu + ql)), -qu / ((qu + ql) * (qu + ql))};
}

Dual9 LayerSystem::xiDual(int side, int k) const
{
    // The upper surface's stations lie f L beyond their distances, the lower's (1 - f) L.
    const double l = m_stations.stagnationPanel, f = stagnation_fraction();
    Dual9 x(m_stations.distance[static_cast<std::size_t>(side)][static_cast<std::size_t>(k)] + (side == 0 ? f * l : (1 - f) * l));
    x.d[kStagnationSlot] = side == 0 ? l : -l;
    return x;
}

double LayerSystem::xi(int side, int k) const { return xiDual(side, k).v; }

StationFlow<Dual9> LayerSystem::intervalStart(int side, int k, const StationState& a, Regime regime, Dual9& xa) const
{
    xa = xiDual(side, k - 1);
    StationFlow<Dual9> f = flowOf<Dual9>(a, 0, regime, m_settings.flow);
    if (k != 1)
        return f;
    // The first station may lie arbitrarily close to the stagnation point, where the
    // logarithmic quadrature of the interval after it would span an unbounded range of ln(xi).
    // The interval then starts further out, at the point of the stagnation-point flow where the
    // edge speed has grown in proportion to xi and the layer keeps its thickness and shape.
    const Dual9 nearest = kFirstSpan * xiDual(side, 1);
    if (nearest.v <= xa.v)
        return f;
    const Dual9 scale = nearest / xa;
    Dual9 c, theta, m, q;
    unknowns(a, 0, c, theta, m, q);
    xa = nearest;
    return station_flow(c, theta, m * scale, q * scale, regime, m_settings.flow);
}

double LayerSystem::forcedFraction(int side, int k) const
{
    const auto& xc = m_stations.xc[static_cast<std::size_t>(side)];
    const double xf = m_settings.forced[static_cast<std::size_t>(side)];
    const double a = xc[static_cast<std::size_t>(k - 1)], b = xc[static_cast<std::size_t>(k)];
    double w = kNotForced;
    if (xf <= a && k == 1)
        w = 0;
    else if (xf > a && xf <= b)
        w = (xf - a) / (b - a);
    // A layer still laminar at the trailing edge turns turbulent there, to start the wake.
    return k == count(side) - 1 ? std::min(w, 1.0) : w;
}

Residuals<Dual9> LayerSystem::intervalResiduals(int side, int k, const std::vector<StationState>& s) const
{
    const int i = first(side) + k;
    const Dual9 xb = xiDual(side, k);
    const LayerCase& lc = m_settings.flow;
    const StationState& a = s[static_cast<std::size_t>(i - 1)];
    const StationState& b = s[static_cast<std::size_t>(i)];
    const int kt = m_turbulent[static_cast<std::size_t>(side)];
    if (k == kt) {
        const Dual9 xa = xiDual(side, k - 1);
        const Dual9 w = transition_fraction(a, xa, xb, m_settings.ncrit, forcedFraction(side, k), lc);
        return transition_interval(a, b, w, xa, xb, lc);
    }
    const Regime r = k < kt ? Regime::Laminar : Regime::Turbulent;
    Dual9 xa;
    const StationFlow<Dual9> fa = intervalStart(side, k, a, r, xa);
    return interval(fa, flowOf<Dual9>(b, 4, r, lc), xa, xb, r);
}

void LayerSystem::assemble()
{
    const LayerCase& lc = m_settings.flow;
    // Each station's closures once, differentiated by its own unknowns; the intervals on both
    // sides of it widen them to their eight unknowns.
    std::vector<StationFlow<Dual4>> flows(m_state.size());
    for (int i = 0; i < size(); ++i)
        flows[static_cast<std::size_t>(i)] = flowOf<Dual4>(m_state[static_cast<std::size_t>(i)], 0, regime(i), lc);
    const auto fromPair = [](const Residuals<Dual9>& r, Row& row) {
        for (int e = 0; e < 3; ++e) {
            row.r(e) = r[static_cast<std::size_t>(e)].v;
            for (int k = 0; k < 4; ++k) {
                row.up[0](e, k) = r[static_cast<std::size_t>(e)].d[static_cast<std::size_t>(k)];
                row.self(e, k) = r[static_cast<std::size_t>(e)].d[static_cast<std::size_t>(k + 4)];
            }
            row.stagnation(e) = r[static_cast<std::size_t>(e)].d[kStagnationSlot];
        }
    };
    for (int part = 0; part < 3; ++part) {
        for (int k = 0; k < count(part); ++k) {
            const int i = first(part) + k;
            Row& row = m_rows[static_cast<std::size_t>(i)];
            row = Row{};
            if (part < 2 && k == 0) {
                fromPair(similarity_station(widen(flows[static_cast<std::size_t>(i)], 4), xiDual(part, 0)), row);
            } else if (part == 2 && k == 0) {
                const int upper = first(1) - 1, lower = first(2) - 1;
                row.upstream = {upper, lower};
                const Residuals<Dual12> r = wake_junction(m_state[static_cast<std::size_t>(upper)],
                                                          m_state[static_cast<std::size_t>(lower)],
                                                          m_state[static_cast<std::size_t>(i)], m_stations.gap, lc);
                for (int e = 0; e < 3; ++e) {
                    row.r(e) = r[static_cast<std::size_t>(e)].v;
                    for (int c = 0; c < 4; ++c) {
                        row.up[0](e, c) = r[static_cast<std::size_t>(e)].d[static_cast<std::size_t>(c)];
                        row.up[1](e, c) = r[static_cast<std::size_t>(e)].d[static_cast<std::size_t>(c + 4)];
                        row.self(e, c) = r[static_cast<std::size_t>(e)].d[static_cast<std::size_t>(c + 8)];
                    }
                }
            } else if (part == 2) {
                row.upstream[0] = i - 1;
                fromPair(interval(widen(flows[static_cast<std::size_t>(i - 1)], 0), widen(flows[static_cast<std::size_t>(i)], 4),
                                  Dual9(m_stations.wake[static_cast<std::size_t>(k - 1)]),
                                  Dual9(m_stations.wake[static_cast<std::size_t>(k)]), Regime::Wake),
                         row);
            } else {
                row.upstream[0] = i - 1;
                const int kt = m_turbulent[static_cast<std::size_t>(part)];
                if (k == kt || k == 1) {
                    fromPair(intervalResiduals(part, k, m_state), row);
                } else {
                    fromPair(interval(widen(flows[static_cast<std::size_t>(i - 1)], 0),
                                      widen(flows[static_cast<std::size_t>(i)], 4), xiDual(part, k - 1), xiDual(part, k),
                                      regime(i)),
                             row);
                }
            }
        }
    }
}

std::array<int, 2> LayerSystem::settle_transition(const std::array<bool, 2>& may)
{
    const LayerCase& lc = m_settings.flow;
    std::array<int, 2> moved{0, 0};
    for (int side = 0; side < 2; ++side) {
        if (!may[static_cast<std::size_t>(side)])
            continue;
        const int n = count(side), first0 = first(side);
        const int old = m_turbulent[static_cast<std::size_t>(side)];
        const auto state = [&](int k) -> StationState& { return m_state[static_cast<std::size_t>(first0 + k)]; };
        int found = old;
        // Upstream: a laminar station whose amplification passed ncrit, or a forced position in an
        // earlier interval.
        for (int k = 1; k < old; ++k)
            if (forcedFraction(side, k) <= 1 || state(k).c > m_settings.ncrit + kAmplificationMargin) {
                found = k;
                break;
            }
        // Downstream, by one interval at a time (the stations beyond carry turbulent layers whose
        // amplification means nothing): the amplification does not reach ncrit within the
        // present interval, by a margin, and nothing forces it there.
        if (found == old && old < n - 1 && forcedFraction(side, old) > 1) {
            const Dual9 w = transition_fraction(state(old - 1), Dual9(xi(side, old - 1)), Dual9(xi(side, old)),
                                                m_settings.ncrit, kNotForced, lc, false);
            if (w.v > 1 + kFractionMargin)
                found = old + 1;
        }
        if (found == old)
            continue;
        moved[static_cast<std::size_t>(side)] = found > old ? 1 : -1;
        if (found > old) {
            // The new laminar station: its amplification from the one before, at that one's rate,
            // and that one's shape, which the turbulent layer it carried does not have.
            StationState& b = state(old);
            const StationState& a = state(old - 1);
            const StationFlow<double> fa = station_flow(a.c, a.theta, a.m, a.q, Regime::Laminar, lc);
            b.c = a.c + fa.rate * (xi(side, old) - xi(side, old - 1));
            b.m = b.q * fa.h * b.theta;
        } else {
            for (int k = found; k < old; ++k) {
                StationState& s = state(k);
                const StationFlow<double> f = station_flow(0.0, s.theta, s.m, s.q, Regime::Turbulent, lc);
                s.c = closure::transitionShear(f.hk, f.seq);
            }
        }
        m_turbulent[static_cast<std::size_t>(side)] = found;
    }
    return moved;
}

double LayerSystem::transition_xc(int side) const
{
    const int k = m_turbulent[static_cast<std::size_t>(side)];
    const auto& xc = m_stations.xc[static_cast<std::size_t>(side)];
    if (k >= count(side))
        return 1;
    const int i = first(side) + k;
    const Dual9 xa = xiDual(side, k - 1), xb = xiDual(side, k);
    const StationFlow<Dual9> fa = flowOf<Dual9>(m_state[static_cast<std::size_t>(i - 1)], 0, Regime::Laminar, m_settings.flow);
    const double w = transition_fraction(m_state[static_cast<std::size_t>(i - 1)], xa, xb, m_settings.ncrit,
                                         forcedFraction(side, k), m_settings.flow).v;
    // Laminar to the trailing edge: the layer only turns turbulent to start the wake.
    if (k == count(side) - 1 && w >= 1 && forcedFraction(side, k) >= 1 &&
        free_transition_fraction(fa, xa, xb, m_settings.ncrit).v > 1)
        return 1;
    return xc[static_cast<std::size_t>(k - 1)] + w * (xc[static_cast<std::size_t>(k)] - xc[static_cast<std::size_t>(k - 1)]);
}

StationFlow<double> LayerSystem::flow(int i) const
{
    const StationState& s = m_state[static_cast<std::size_t>(i)];
    return station_flow(s.c, s.theta, s.m, s.q, regime(i), m_settings.flow);
}

// ---- The first march ---------------------------------------------------------------------------

bool LayerSystem::marchStation(int part, int k)
{
    const int i = first(part) + k;
    StationState& b = m_state[static_cast<std::size_t>(i)];
    const LayerCase& lc = m_settings.flow;
    const auto residuals = [&](const std::vector<StationState>& s) -> Residuals<Dual9> {
        if (part == 2)
            return interval(flowOf<Dual9>(s[static_cast<std::size_t>(i - 1)], 0, Regime::Wake, lc),
                            flowOf<Dual9>(s[static_cast<std::size_t>(i)], 4, Regime::Wake, lc),
                            Dual9(m_stations.wake[static_cast<std::size_t>(k - 1)]), Dual9(m_stations.wake[static_cast<std::size_t>(k)]),
                            Regime::Wake);
        return intervalResiduals(part, k, s);
    };
    const bool laminar = regime(i) == Regime::Laminar;
    const double q = b.q;
    const StationState start = b;
    bool converged = false;
    // Direct: c, theta and m for the given speed.
    for (int it = 0; it < kMarchIterations && !converged; ++it) {
        const Residuals<Dual9> r = residuals(m_state);
        Eigen::Matrix3d j;
        Eigen::Vector3d f;
        for (int e = 0; e < 3; ++e) {
            f(e) = r[static_cast<std::size_t>(e)].v;
            for (int c = 0; c < 3; ++c)
                j(e, c) = r[static_cast<std::size_t>(e)].d[static_cast<std::size_t>(4 + c)];
        }
        const Eigen::Vector3d step = -j.partialPivLu().solve(f);
        if (!step.allFinite())
            break;
        const int which[] = {0, 1, 2};
        const double scale = stepScale(b, step.data(), which, 3, laminar);
        b.c += scale * step(0);
        b.theta += scale * step(1);
        b.m += scale * step(2);
        converged = scale == 1 && std::fabs(step(1)) < kMarchTolerance * b.theta && std::fabs(step(2)) < kMarchTolerance * b.m;
    }
    const double limit = laminar ? kMarchLaminarHk : kMarchTurbulentHk;
    const StationFlow<double> direct = flow(i);
    // A shape factor below 1 is no boundary layer: the closures, held at their lowest Hk there,
    // admit a spurious solution with a vanishing displacement thickness.
    converged = converged && std::isfinite(direct.hk) && b.theta > 0 && b.m > 0 && direct.h > 1.02;
    // Past the limit and still growing, the layer is separating: marched on the given speed it
    // would run away (or fail).
    const bool sameRegime = regime(i - 1) == regime(i);
    const bool separating = direct.hk > limit && direct.hk > flow(i - 1).hk;
    if (part != 2 && (!converged || separating)) {
        // Inverse: the shape held at the limit, the speed following from the layer. A layer
        // that turns turbulent here keeps its own starting shear stress, not the amplification.
        const StationState fallback = converged ? b : start;
        const StationState& a = m_state[static_cast<std::size_t>(i - 1)];
        b = a;
        b.q = a.q;
        if (!sameRegime)
            b.c = start.c;
        const StationFlow<double> fa = flow(i - 1);
        b.m = a.m / a.q * b.q * std::min(1.0, limit / fa.hk);
        for (int it = 0; it < kMarchIterations; ++it) {
            const Residuals<Dual9> r = residuals(m_state);
            const StationFlow<Dual9> fb = flowOf<Dual9>(b, 4, regime(i), lc);
            Eigen::Matrix4d j;
            Eigen::Vector4d f;
            for (int e = 0; e < 4; ++e) {
                const Dual9& re = e < 3 ? r[static_cast<std::size_t>(e)] : fb.hk - limit;
                f(e) = re.v;
                for (int c = 0; c < 4; ++c)
                    j(e, c) = re.d[static_cast<std::size_t>(4 + c)];
            }
            const Eigen::Vector4d step = -j.partialPivLu().solve(f);
            if (!step.allFinite())
                break;
            const int which[] = {0, 1, 2, 3};
            const double scale = stepScale(b, step.data(), which, 4, laminar);
            b.c += scale * step(0);
            b.theta += scale * step(1);
            b.m += scale * step(2);
            b.q += scale * step(3);
            if (scale == 1 && std::fabs(step(1)) < kMarchTolerance * b.theta && std::fabs(step(3)) < kMarchTolerance)
                return true;
        }
        // Not converged: the direct solution, or failing that the start it had, a finite one
        // for Newton.
        b = fallback;
        b.q = q;
        return false;
    }
    return std::isfinite(b.theta) && std::isfinite(b.m) && std::isfinite(b.c);
}

void LayerSystem::marchWakeStart()
{
    const StationState& u = m_state[static_cast<std::size_t>(first(1) - 1)];
    const StationState& l = m_state[static_cast<std::size_t>(first(2) - 1)];
    StationState& w = m_state[static_cast<std::size_t>(first(2))];
    w.theta = u.theta + l.theta;
    w.c = (u.c * u.theta + l.c * l.theta) / w.theta;
    w.m = w.q * (u.m / u.q + l.m / l.q + m_stations.gap);
}

bool LayerSystem::march()
{
    const LayerCase& lc = m_settings.flow;
    bool ok = true;
    for (int side = 0; side < 2; ++side) {
        const int n = count(side), i0 = first(side);
        m_turbulent[static_cast<std::size_t>(side)] = n;
        // The stagnation layer: theta from the Hiemenz solution's order of magnitude, refined.
        StationState& s0 = m_state[static_cast<std::size_t>(i0)];
        const double xi0 = xi(side, 0);
        s0.c = 0;
        s0.theta = 0.3 * std::sqrt(xi0 / (lc.reynolds * std::max(s0.q, 1e-6)));
        s0.m = 2.2 * s0.theta * s0.q;
        for (int it = 0; it < kMarchIterations; ++it) {
            const Residuals<Dual9> r = similarity_station(flowOf<Dual9>(s0, 4, Regime::Laminar, lc), Dual9(xi0));
            Eigen::Matrix2d j;
            Eigen::Vector2d f;
            for (int e = 0; e < 2; ++e) {
                f(e) = r[static_cast<std::size_t>(e + 1)].v;
                for (int c = 0; c < 2; ++c)
                    j(e, c) = r[static_cast<std::size_t>(e + 1)].d[static_cast<std::size_t>(c + 5)];
            }
            const Eigen::Vector2d step = -j.partialPivLu().solve(f);
            if (!step.allFinite())
                break;
            const double step3[] = {step(0), step(1)};
            const int which[] = {1, 2};
            const double scale = stepScale(s0, step3, which, 2, true);
            s0.theta += scale * step(0);
            s0.m += scale * step(1);
            if (scale == 1 && std::fabs(step(0)) < kMarchTolerance * s0.theta)
                break;
        }
        for (int k = 1; k < n; ++k) {
            StationState& b = m_state[static_cast<std::size_t>(i0 + k)];
            const StationState& a = m_state[static_cast<std::size_t>(i0 + k - 1)];
            if (m_turbulent[static_cast<std::size_t>(side)] == n) {
                const StationFlow<double> fa = station_flow(a.c, a.theta, a.m, a.q, Regime::Laminar, lc);
                if (forcedFraction(side, k) <= 1 || free_transition_fraction(fa, xi(side, k - 1), xi(side, k), m_settings.ncrit) <= 1)
                    m_turbulent[static_cast<std::size_t>(side)] = k;
            }
            b.theta = a.theta;
            b.m = a.m / a.q * b.q;
            b.c = a.c;
            if (k == m_turbulent[static_cast<std::size_t>(side)]) {
                const StationFlow<double> f = station_flow(0.0, a.theta, a.m, a.q, Regime::Turbulent, lc);
                b.c = closure::transitionShear(f.hk, f.seq);
            }
            ok = marchStation(side, k) && ok;
        }
    }
    marchWakeStart();
    for (int k = 1; k < count(2); ++k) {
        StationState& b = m_state[static_cast<std::size_t>(first(2) + k)];
        const StationState& a = m_state[static_cast<std::size_t>(first(2) + k - 1)];
        b.c = a.c;
        b.theta = a.theta;
        b.m = a.m / a.q * b.q;
        ok = marchStation(2, k) && ok;
    }
    return ok;
}

} // namespace camber::smesh
