// SPDX-License-Identifier: MIT
#include "LayerEquations.h"

#include "Gas.h"
#include "LayerClosures.h"

#include <algorithm>

namespace camber::smesh {

namespace {

// Lowest kinematic shape factors the closures are taken at: a laminar profile fuller than the
// strongest favourable Falkner-Skan one does not exist, nor a wake without a velocity defect.
constexpr double kLowestLaminarHk = 1.02;
constexpr double kLowestTurbulentHk = 1.05;
constexpr double kLowestWakeHk = 1.00005;
// Width of the band above those limits over which Hk is held off them smoothly.
constexpr double kHkWidth = 0.01;
// Slip velocities above these make the equilibrium shear stress meaningless (it grows without
// bound as Us reaches 1).
constexpr double kHighestUs = 0.98;
constexpr double kHighestWakeUs = 0.99;
// Re_theta of a turbulent layer or wake is kept above 1: below it none exists, and the closures
// take its logarithm. A laminar one's closures are exact in 1 / Re_theta down to the stagnation
// point, where Re_theta vanishes with the edge speed; it is only kept positive.
constexpr double kLowestRet = 1, kLowestLaminarRet = 1e-30;
// The relative change of the shape factor below which the upwind weight's corner is rounded.
constexpr double kUpwindRounding = 0.02;
// A transition fraction that stands for none in the interval.
constexpr double kNoTransition = 2;

template <typename T>
T atLeast(const T& a, double limit)
{
    return value(a) < limit ? T(limit) : a;
}

/// a held above limit smoothly: unchanged from limit + width up, approaching limit exponentially
/// below, so that the closures keep a slope and a Newton iterate that strays there does not meet
/// a singular Jacobian.
template <typename T>
T smoothlyAbove(const T& a, double limit, double width)
{
    using std::exp;
    const T d = a - limit;
    return value(d) >= width ? a : limit + width * exp((d - width) / width);
}

/// Upwind weight of the downstream station in an interval's averages: one half (the trapezoidal
/// rule) while the shape changes little, towards one (backward differences, which do not
/// oscillate) where Hk changes by much of its distance from 1, as across transition or a bubble.
Dual9 upwindWeight(const Dual9& hka, const Dual9& hkb)
{
    // |change|, rounded off where the shape hardly changes so that the weight is smooth in the
    // unknowns (a corner there would send Newton's method round in a cycle).
    const Dual9 change = (hkb - hka) / (0.5 * (hka + hkb) - 1);
    const Dual9 size = sqrt(change * change + kUpwindRounding * kUpwindRounding);
    return 1 - 0.5 * exp(kUpwindRounding - size);
}

/// The momentum and kinetic-energy residuals (and the amplification or shear-stress one) of the
/// stretch from a at xa to b at xb. On a surface the rates of the thickness equations are
/// integrated over ln(xi): near the stagnation point, where the edge speed grows in proportion to
/// xi, xi times a friction or dissipation rate is nearly constant while the rate itself is not,
/// and the trapezoidal rule in xi would thicken the layer spuriously. The wake, whose xi starts
/// at 0, takes them over xi, as does the amplification everywhere.
Residuals<Dual9> stretch(const StationFlow<Dual9>& a, const StationFlow<Dual9>& b, const Dual9& xa, const Dual9& xb,
                         Regime regime)
{
    const Dual9 w = upwindWeight(a.hk, b.hk);
    const bool inLog = regime != Regime::Wake;
    const Dual9 span = inLog ? log(xb / xa) : xb - xa;
    const Dual9 sa = inLog ? xa : Dual9(1), sb = inLog ? xb : Dual9(1);
    // span times the weighted mean of the rates fa and fb (per unit xi) at the two ends.
    const auto integral = [&](const Dual9& fa, const Dual9& fb) { return span * ((1 - w) * sa * fa + w * sb * fb); };
    const auto mean = [&](const Dual9& fa, const Dual9& fb) { return (1 - w) * fa + w * fb; };
    const Dual9 lnU = log(b.ue / a.ue);
    Residuals<Dual9> r;
    if (regime == Regime::Laminar) {
        r[0] = b.c - a.c - (xb - xa) * 0.5 * (a.rate + b.rate);
    } else {
        // The shear-stress lag equation in terms of S = sqrt(C_tau): the stress relaxes towards
        // its equilibrium value over a length of about 2 delta / 5.6, and pressure gradients and
        // wall friction beyond the equilibrium locus drive it away. A wake's outer layers mix
        // faster.
        const double lag = regime == Regime::Wake ? closure::kWakeLag : 1.0;
        const auto rate = [&](const StationFlow<Dual9>& s) { return closure::kLag * 1.333 / (1 + s.us) / (2 * s.delta); };
        const auto source = [&](const StationFlow<Dual9>& s) {
            const Dual9 excess = (s.hk - 1) / (closure::kLocusA * lag * s.hk);
            const Dual9 uq = (0.5 * s.cf - excess * excess) / (closure::kLocusB * s.dstar);
            return rate(s) * (s.seq - lag * s.c) + uq;
        };
        // Where the stress relaxes within a fraction of the interval (a thin layer, as just after
        // transition), the trapezoidal rule would let it overshoot and oscillate about its
        // equilibrium; the weight moves towards the downstream end (backward differences).
        const Dual9 stiffness = (xb - xa) * 0.5 * (rate(a) + rate(b));
        const Dual9 wl = w + (1 - w) * (1 - exp(-0.25 * stiffness));
        const auto lagIntegral = [&](const Dual9& fa, const Dual9& fb) { return span * ((1 - wl) * sa * fa + wl * sb * fb); };
        r[0] = log(b.c / a.c) + lnU - lagIntegral(source(a), source(b));
    }
    r[1] = log(b.theta / a.theta) + mean(a.h + 2 - a.me2, b.h + 2 - b.me2) * lnU -
           integral(0.5 * a.cf / a.theta, 0.5 * b.cf / b.theta);
    r[2] = log(b.hs / a.hs) + mean(2 * a.hss / a.hs + 1 - a.h, 2 * b.hss / b.hs + 1 - b.h) * lnU +
           integral((0.5 * a.cf - a.di) / a.theta, (0.5 * b.cf - b.di) / b.theta);
    return r;
}

} // namespace

template <typename T>
StationFlow<T> station_flow(const T& c, const T& theta, const T& m, const T& q, Regime regime, const LayerCase& lc)
{
    StationFlow<T> s;
    s.c = c;
    s.theta = theta;
    s.dstar = m / q;
    s.ue = edge_speed(q, lc);
    const T te = gas::temperature(s.ue, lc.mach);
    s.me2 = s.ue * s.ue * (lc.mach * lc.mach) / te;
    s.ret = atLeast(lc.reynolds * gas::density(te) * s.ue * theta / gas::viscosity(te),
                    regime == Regime::Laminar ? kLowestLaminarRet : kLowestRet);
    s.h = s.dstar / theta;
    const double lowest = regime == Regime::Laminar ? kLowestLaminarHk
                                                    : (regime == Regime::Turbulent ? kLowestTurbulentHk : kLowestWakeHk);
    s.hk = smoothlyAbove(closure::kinematicShape(s.h, s.me2), lowest, kHkWidth);
    s.hss = closure::densityShape(s.hk, s.me2);
    if (regime == Regime::Laminar) {
        s.hs = closure::laminarHs(s.hk);
        s.cf = closure::laminarCf(s.hk, s.ret);
        s.di = closure::laminarDissipation(s.hk, s.ret);
        s.rate = closure::amplificationRate(s.hk, theta, s.ret);
        return s;
    }
    s.hs = closure::turbulentHs(s.hk, s.ret, s.me2);
    const bool wake = regime == Regime::Wake;
    s.us = closure::slipVelocity(s.hs, s.hk, s.h, wake ? kHighestWakeUs : kHighestUs);
    s.seq = closure::equilibriumShear(s.hs, s.hk, s.h, s.us, s.ret, wake);
    s.delta = closure::layerThickness(theta, s.dstar, s.hk);
    s.cf = wake ? T(0) : closure::turbulentCf(s.hk, s.ret, s.me2);
    s.di = closure::turbulentDissipation(c, s.cf, s.hs, s.hk, s.us, s.ret, wake);
    // A turbulent layer dissipates at least as much as a laminar one of its shape.
    if (!wake) {
        const T laminar = closure::laminarDissipation(s.hk, s.ret);
        if (value(laminar) > value(s.di))
            s.di = laminar;
    }
    return s;
}

template StationFlow<double> station_flow(const double&, const double&, const double&, const double&, Regime,
                                          const LayerCase&);
template StationFlow<Dual4> station_flow(const Dual4&, const Dual4&, const Dual4&, const Dual4&, Regime,
                                         const LayerCase&);
template StationFlow<Dual9> station_flow(const Dual9&, const Dual9&, const Dual9&, const Dual9&, Regime,
                                         const LayerCase&);

Residuals<Dual9> similarity_station(const StationFlow<Dual9>& s, const Dual9& xi)
{
    // d ln(theta) / d ln(xi) = 0 and d ln(H*) / d ln(xi) = 0 with d ln(ue) / d ln(xi) = 1: the
    // momentum and kinetic-energy equations of the stagnation-point (Hiemenz) layer.
    return {s.c, s.h + 2 - s.me2 - xi * 0.5 * s.cf / s.theta,
            2 * s.hss / s.hs + 1 - s.h + xi * (0.5 * s.cf - s.di) / s.theta};
}

Residuals<Dual9> interval(const StationFlow<Dual9>& a, const StationFlow<Dual9>& b, const Dual9& xa, const Dual9& xb,
                          Regime regime)
{
    return stretch(a, b, xa, xb, regime);
}

template <typename T>
T free_transition_fraction(const StationFlow<T>& a, const T& xa, const T& xb, double ncrit)
{
    if (!(value(a.rate) > 0))
        return T(kNoTransition);
    const T w = (ncrit - a.c) / (a.rate * (xb - xa));
    return value(w) > kNoTransition ? T(kNoTransition) : w;
}

template double free_transition_fraction(const StationFlow<double>&, const double&, const double&, double);
template Dual9 free_transition_fraction(const StationFlow<Dual9>&, const Dual9&, const Dual9&, double);

Dual9 transition_fraction(const StationState& sa, const Dual9& xa, const Dual9& xb, double ncrit, double forced,
                          const LayerCase& lc, bool bounded)
{
    Dual9 ca, ta, ma, qa;
    unknowns(sa, 0, ca, ta, ma, qa);
    const StationFlow<Dual9> a = station_flow(ca, ta, ma, qa, Regime::Laminar, lc);
    // The amplification grows at the start's rate: the rate further on is that of a laminar
    // layer that, past the transition point, no longer exists (the station at the interval's end
    // carries the turbulent layer).
    const Dual9 free = free_transition_fraction(a, xa, xb, ncrit);
    Dual9 w(std::min(forced, 1.0));
    if (value(free) < value(w) || !bounded)
        w = free;
    if (value(w) < 0)
        w = Dual9(0);
    if (value(w) > 1 && bounded)
        w = Dual9(1);
    return w;
}

Residuals<Dual9> transition_interval(const StationState& sa, const StationState& sb, const Dual9& w, const Dual9& xa,
                                     const Dual9& xb, const LayerCase& lc)
{
    Dual9 ca, ta, ma, qa, cb, tb, mb, qb;
    unknowns(sa, 0, ca, ta, ma, qa);
    unknowns(sb, 4, cb, tb, mb, qb);
    const StationFlow<Dual9> a = station_flow(ca, ta, ma, qa, Regime::Laminar, lc);
    const StationFlow<Dual9> b = station_flow(cb, tb, mb, qb, Regime::Turbulent, lc);
    // The state at the transition point, interpolated between the stations.
    const Dual9 tt = ta + w * (tb - ta), mt = ma + w * (mb - ma), qt = qa + w * (qb - qa);
    const StationFlow<Dual9> laminar = station_flow(ca, tt, mt, qt, Regime::Laminar, lc);
    const StationFlow<Dual9> shape = station_flow(Dual9(0), tt, mt, qt, Regime::Turbulent, lc);
    const Dual9 st = closure::transitionShear(shape.hk, shape.seq);
    const StationFlow<Dual9> turbulent = station_flow(st, tt, mt, qt, Regime::Turbulent, lc);
    const Dual9 xt = xa + w * (xb - xa);
    const Residuals<Dual9> first = stretch(a, laminar, xa, xt, Regime::Laminar);
    const Residuals<Dual9> second = stretch(turbulent, b, xt, xb, Regime::Turbulent);
    return {second[0], first[1] + second[1], first[2] + second[2]};
}

Residuals<Dual12> wake_junction(const StationState& upper, const StationState& lower, const StationState& wake,
                                double gap, const LayerCase&)
{
    Dual12 cu, tu, mu, qu, cl, tl, ml, ql, cw, tw, mw, qw;
    unknowns(upper, 0, cu, tu, mu, qu);
    unknowns(lower, 4, cl, tl, ml, ql);
    unknowns(wake, 8, cw, tw, mw, qw);
    const Dual12 theta = tu + tl;
    const Dual12 dstar = mu / qu + ml / ql + gap;
    return {cw - (cu * tu + cl * tl) / theta, (tw - theta) / theta, (mw / qw - dstar) / dstar};
}

} // namespace camber::smesh
