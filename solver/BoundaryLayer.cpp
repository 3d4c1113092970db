// SPDX-License-Identifier: MIT
#include "BoundaryLayer.h"

#include <algorithm>
#include <cmath>

namespace camber::smesh {

namespace {

constexpr double kSeparationH = 2.4;
constexpr double kTurbulentStartH = 1.4;
constexpr double kTrailingEdgeZone = 0.97;

// Thwaites' correlations l(lambda) and H(lambda) (White's fits).
void thwaites(double lambda, double& l, double& h)
{
    if (lambda >= 0) {
        const double la = std::min(lambda, 0.25);
        l = 0.22 + 1.57 * la - 1.8 * la * la;
        h = 2.61 - 3.75 * la + 5.24 * la * la;
    } else {
        const double la = std::max(lambda, -0.09);
        l = 0.22 + 1.402 * la + 0.018 * la / (0.107 + la);
        h = 2.088 + 0.0731 / (0.14 + la);
    }
}

// Drela & Giles: critical Re_theta and envelope growth rate dN/dxi for a laminar layer.
double amplificationRate(double h, double theta, double reTheta)
{
    h = std::clamp(h, 2.05, 7.0);
    const double hk = 1 / (h - 1);
    const double log10Crit = (1.415 * hk - 0.489) * std::tanh(20 * hk - 12.9) + 3.295 * hk + 0.44;
    if (std::log10(std::max(reTheta, 1.0)) < log10Crit)
        return 0;
    const double t = 2.4 * h - 3.7 + 2.5 * std::tanh(1.5 * h - 4.65);
    const double dndRe = 0.01 * std::sqrt(t * t + 0.25);
    const double l = (6.54 * h - 14.07) / (h * h);
    const double m = (0.058 * (h - 4) * (h - 4) / (h - 1) - 0.068) / l;
    return dndRe * 0.5 * (m + 1) * l / theta;
}

// Head's shape factor H1 = (delta - delta*) / theta and its inverse. The two branches of the
// fit are joined where they meet (H = 1.58467, H1 = 5.39142) rather than at the H = 1.6 of the
// tables, so that H1(H) is continuous: a jump there would make the coupling iteration cycle.
constexpr double kBranchH = 1.58467;
constexpr double kBranchH1 = 5.39142;

double headH1(double h)
{
    return h <= kBranchH ? 3.3 + 0.8234 * std::pow(h - 1.1, -1.287) : 3.3 + 1.5501 * std::pow(h - 0.6778, -3.064);
}

double headH(double h1)
{
    h1 = std::max(h1, 3.35);
    return h1 >= kBranchH1 ? 1.1 + std::pow((h1 - 3.3) / 0.8234, -1 / 1.287)
                           : 0.6778 + std::pow((h1 - 3.3) / 1.5501, -1 / 3.064);
}

struct Turbulent {
    double theta;
    double q; // ue theta H1
};

// Shape factor and skin friction of a turbulent state at edge speed ue; H is held at hMax.
void headState(const Turbulent& s, double ue, double nu, double hMax, double& h, double& h1, double& cf)
{
    const double theta = std::max(s.theta, 1e-12);
    h1 = s.q / (ue * theta);
    h = headH(h1);
    if (h > hMax) {
        h = hMax;
        h1 = headH1(hMax);
    }
    const double reTheta = std::max(ue * theta / nu, 100.0);
    cf = 0.246 * std::exp(-0.678 * 2.302585092994046 * h - 0.268 * std::log(reTheta)); // 10^(-0.678 H) Re^-0.268
}

// Right-hand side of Head's equations at edge speed ue with gradient due.
void headRates(const Turbulent& s, double ue, double due, double nu, double hMax, double& dTheta, double& dQ)
{
    double h = 0, h1 = 0, cf = 0;
    headState(s, ue, nu, hMax, h, h1, cf);
    dTheta = 0.5 * cf - (h + 2) * std::max(s.theta, 1e-12) / ue * due;
    dQ = ue * 0.0306 * std::pow(h1 - 3, -0.6169);
}

} // namespace

void trailing_edge_speed(BoundaryLayerInput& in)
{
    const std::size_t n = in.xc.size();
    std::size_t k = n;
    while (k > 2 && in.xc[k - 1] > kTrailingEdgeZone)
        --k;
    if (k >= n || k < 3)
        return;
    const std::size_t a = k - 1, b = k - 2; // the last station before the zone and one before
    const double d = in.xi[a] - in.xi[b];
    const double slope = d > 0 ? (in.ue[a] - in.ue[b]) / d : 0.0;
    for (std::size_t i = k; i < n; ++i)
        in.ue[i] = std::max(in.ue[a] + slope * (in.xi[i] - in.xi[a]), 0.5 * in.ue[a]);
}

double squire_young(double theta, double h, double ue)
{
    return 2 * theta * std::pow(std::max(ue, 0.0), 0.5 * (h + 5));
}

BoundaryLayerResult march_boundary_layer(const BoundaryLayerInput& in)
{
    const std::size_t n = in.xi.size();
    BoundaryLayerResult r;
    r.theta.assign(n, 0.0);
    r.h.assign(n, 0.0);
    r.cf.assign(n, 0.0);
    if (n < 2)
        return r;
    const double nu = 1 / in.reynolds;
    // Edge speed kept away from zero: the stagnation point itself is station 0.
    std::vector<double> ue(n);
    for (std::size_t i = 0; i < n; ++i)
        ue[i] = std::max(in.ue[i], 1e-6);
    ue[0] = 0;
    const auto slope = [&](std::size_t i) {
        const std::size_t a = i > 0 ? i - 1 : 0, b = std::min(i + 1, n - 1);
        const double d = in.xi[b] - in.xi[a];
        return d > 0 ? (ue[b] - ue[a]) / d : 0.0;
    };

    // Laminar part (Thwaites) with the amplification factor integrated alongside.
    const double due0 = std::max(ue[1] / std::max(in.xi[1], 1e-12), 1e-6);
    r.theta[0] = std::sqrt(0.075 * nu / due0);
    r.h[0] = 2.61 - 3.75 * 0.075 + 5.24 * 0.075 * 0.075;
    r.cf[0] = 0; // the stagnation point
    double integral = 0, amp = 0, rateBefore = 0, lambdaBefore = 0.075;
    double fraction = 1; // where in the interval before station i the layer turned turbulent
    std::size_t i = 1;
    for (; i < n; ++i) {
        const double d = in.xi[i] - in.xi[i - 1];
        const double ua = ue[i - 1], ub = ue[i];
        // Integral of ue^5 with ue linear over the interval.
        const double ua6 = ua * ua * ua * ua * ua * ua, ub6 = ub * ub * ub * ub * ub * ub;
        integral += std::fabs(ub - ua) > 1e-12 * ub ? d * (ub6 - ua6) / (6 * (ub - ua)) : d * ub6 / ub;
        const double theta2 = 0.45 * nu * integral / ub6;
        const double theta = std::sqrt(std::max(theta2, 1e-30));
        const double lambda = theta2 * slope(i) / nu;
        double l = 0, h = 0;
        thwaites(lambda, l, h);
        r.theta[i] = theta;
        r.h[i] = h;
        const double reTheta = ub * theta / nu;
        r.cf[i] = 2 * l / std::max(reTheta, 1e-9);
        const double rate = amplificationRate(h, theta, reTheta);
        const double ampBefore = amp;
        amp += 0.5 * (rate + rateBefore) * d;
        rateBefore = rate;
        const bool forced = in.forced > 0 && in.forced < 1 && in.xc[i] >= in.forced;
        if (amp >= in.ncrit) {
            fraction = (in.ncrit - ampBefore) / (amp - ampBefore);
            break;
        }
        if (forced) {
            const double dx = in.xc[i] - in.xc[i - 1];
            fraction = dx > 0 ? std::clamp((in.forced - in.xc[i - 1]) / dx, 0.0, 1.0) : 1.0;
            break;
        }
        if (lambda < -0.09) {
            fraction = std::clamp((lambdaBefore + 0.09) / (lambdaBefore - lambda), 0.0, 1.0);
            break;
        }
        lambdaBefore = lambda;
    }
    if (i >= n)
        return r;
    // The turbulent layer starts inside the interval, with theta continuous; the position moves
    // smoothly with the flow, so the coupling iteration does not jump between stations.
    const double xiStart = in.xi[i - 1] + fraction * (in.xi[i] - in.xi[i - 1]);
    const double thetaStart = r.theta[i - 1] + fraction * (r.theta[i] - r.theta[i - 1]);
    const double ueStart = ue[i - 1] + fraction * (ue[i] - ue[i - 1]);
    r.transition_xc = in.xc[i - 1] + fraction * (in.xc[i] - in.xc[i - 1]);
    Turbulent s{thetaStart, std::max(ueStart, 1e-6) * thetaStart * headH1(kTurbulentStartH)};
    // Past separation the shape factor is held, which keeps the displacement bounded.
    const double heldH1 = headH1(kSeparationH + 0.2);
    const auto hold = [&](double u) { s.q = std::max(s.q, u * s.theta * heldH1); };
    {
        const double d = in.xi[i] - xiStart;
        const double due = (in.xi[i] - in.xi[i - 1]) > 0 ? (ue[i] - ue[i - 1]) / (in.xi[i] - in.xi[i - 1]) : 0.0;
        double t0 = 0, q0 = 0;
        headRates(s, std::max(ueStart, 1e-6), due, nu, 3.0, t0, q0);
        s.theta = std::max(s.theta + d * t0, 1e-12);
        s.q += d * q0;
        hold(ue[i]);
        double h1 = 0, h = 0, cf = 0;
        headState(s, ue[i], nu, 3.0, h, h1, cf);
        // The station just past transition reports the laminar and the turbulent state blended
        // by where in the interval the layer turned: transition at the station gives the laminar
        // state it had, transition at the station before the turbulent one. Otherwise the
        // displacement thickness there would jump (H from about 2.6 to 1.4) as the transition
        // point crosses the station, and a coupling whose transition point sits near a station
        // would cycle between the two.
        r.theta[i] = fraction * r.theta[i] + (1 - fraction) * s.theta;
        r.h[i] = fraction * r.h[i] + (1 - fraction) * h;
        r.cf[i] = fraction * r.cf[i] + (1 - fraction) * cf;
    }
    for (std::size_t k = i + 1; k < n; ++k) {
        // Heun's predictor-corrector step over the interval (the panels are short against the
        // length over which the turbulent layer changes; halving the step changes the drag in
        // the fifth digit).
        const double d = in.xi[k] - in.xi[k - 1];
        const double due = d > 0 ? (ue[k] - ue[k - 1]) / d : 0.0;
        double t0 = 0, q0 = 0, t1 = 0, q1 = 0;
        headRates(s, ue[k - 1], due, nu, 3.0, t0, q0);
        const Turbulent p{std::max(s.theta + d * t0, 1e-12), s.q + d * q0};
        headRates(p, ue[k], due, nu, 3.0, t1, q1);
        s.theta = std::max(s.theta + 0.5 * d * (t0 + t1), 1e-12);
        s.q = s.q + 0.5 * d * (q0 + q1);
        hold(ue[k]);
        double h = 0, h1 = 0, cf = 0;
        headState(s, ue[k], nu, 3.0, h, h1, cf);
        r.theta[k] = s.theta;
        r.h[k] = h;
        r.cf[k] = cf;
        if (h > kSeparationH && r.separation_xc >= 1)
            r.separation_xc = in.xc[k];
    }
    for (std::size_t k = 0; k < n; ++k)
        if (!std::isfinite(r.theta[k]) || !std::isfinite(r.h[k]) || !std::isfinite(r.cf[k]))
            r.finite = false;
    return r;
}

} // namespace camber::smesh
