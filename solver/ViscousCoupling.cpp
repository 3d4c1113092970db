// SPDX-License-Identifier: MIT
#include "ViscousCoupling.h"

#include "PanelLayers.h"
#include "Gas.h"
#include "PanelMethod.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace camber::smesh {

namespace {

// The interaction law's Prandtl-Glauert factor is kept from vanishing near sonic free streams.
constexpr double kMinBeta = 0.3;
// Outer iterations, and the Newton iterations of the layers in each (the first starts from a
// march and needs more).
constexpr int kMaxCoupling = 60, kFirstLayerNewton = 40, kLayerNewton = 20;
// The settled change of the mass defects relative to their largest value, the looser level still
// reported (with a warning), and the defect of a run-away layer (5 % of the chord is no boundary
// layer: massive separation).
constexpr double kSettled = 1e-4, kLoose = 1e-2, kRunawayDefect = 0.05;
// The outer flow is solved to this many times the last change of the defects.
constexpr double kFlowAccuracy = 0.1;
// The interaction law fades out between this local Mach number and sonic speed.
constexpr double kLawMach = 0.9;
// Outer iterations in which a transition point may still change interval.
constexpr int kTransitionIterations = 8;
// Passes of smoothing over a shock (see smoothedShocks).
constexpr int kShockPasses = 3;
// Updates mixed.
constexpr int kMixing = 4;

Eigen::VectorXd joined(const Eigen::VectorXd& a, const Eigen::VectorXd& b)
{
    Eigen::VectorXd v(a.size() + b.size());
    v << a, b;
    return v;
}

/// Forced transition per surface: the flow case's, or where a laminar layer would enter a
/// supersonic zone, the sonic point. In this coupling a laminar layer cannot be carried through
/// the zone and the shock that ends it: at the shock's captured rise in pressure it separates,
/// and the interval that then turns it turbulent makes the layers' system too stiff to solve
/// reliably; turbulent from the sonic point it passes the shock attached.
std::array<double, 2> sonicTransition(const SectionLayers& layers, const Panelling& p, const Eigen::VectorXd& speed,
                                      const FlowCase& flow)
{
    std::array<double, 2> forced{flow.transition[0] > 0 && flow.transition[0] < 1 ? flow.transition[0] : 1.0,
                                 flow.transition[1] > 0 && flow.transition[1] < 1 ? flow.transition[1] : 1.0};
    const int n = static_cast<int>(speed.size()), is = layers.stagnation();
    const auto mach2 = [&](int i) { return gas::machSquared(speed(i), flow.mach); };
    for (int side = 0; side < 2; ++side) {
        const int step = side == 0 ? -1 : 1;
        for (int i = side == 0 ? is : is + 1; i + step >= 0 && i + step < n; i += step) {
            const double a = mach2(i), b = mach2(i + step);
            if (a <= 1 && b > 1) {
                const double w = (1 - a) / (b - a);
                const double x = p.xc(static_cast<std::size_t>(i)) + w * (p.xc(static_cast<std::size_t>(i + step)) - p.xc(static_cast<std::size_t>(i)));
                forced[static_cast<std::size_t>(side)] = std::min(forced[static_cast<std::size_t>(side)], x);
                break;
            }
        }
    }
    return forced;
}

/// Node speeds with the captured shocks spread over a few more nodes: where the flow is
/// near sonic, passes of a three-point mean (kShockPasses; away from the stagnation panel and the
/// trailing edge). A layer meets a shock's rise in pressure over some of its own thicknesses,
/// not over the one or two cells of the outer grid that capture it.
Eigen::VectorXd smoothedShocks(const Eigen::VectorXd& speed, double mach, int stagnation)
{
    Eigen::VectorXd q = speed;
    const auto n = q.size();
    for (int pass = 0; pass < kShockPasses; ++pass) {
        const Eigen::VectorXd last = q;
        for (Eigen::Index i = 1; i + 1 < n; ++i) {
            if (i == stagnation || i == stagnation + 1)
                continue;
            const double m2 = std::max({gas::machSquared(last(i - 1), mach), gas::machSquared(last(i), mach),
                                        gas::machSquared(last(i + 1), mach)});
            if (m2 > kLawMach * kLawMach)
                q(i) = 0.25 * last(i - 1) + 0.5 * last(i) + 0.25 * last(i + 1);
        }
    }
    return q;
}

/// The coupling's iterations from layers started and an outer flow that carries the
/// displacement carried.
CouplingResult iterate(SectionLayers& layers, const Panelling& p, Transpiration carried, OuterFlow outer, const FlowCase& flow,
                       const OuterSolve& resolve, std::chrono::steady_clock::time_point deadline)
{
    CouplingResult r;
    const auto n = carried.nodeDefect.size(), nw = carried.wakeDefect.size();
    const auto speeds = [&](double) {
        OuterSpeeds o;
        o.nodes = smoothedShocks(outer.nodes, flow.mach, layers.stagnation());
        o.wake = outer.wake;
        return o;
    };
    double change = 1, size = 0;
    Eigen::VectorXd lastResidual, lastDefect;
    std::vector<Eigen::VectorXd> mixedResiduals, mixedDefects; // differences of the last few
    for (int it = 0; it < kMaxCoupling; ++it) {
        if (std::chrono::steady_clock::now() > deadline)
            break;
        ++r.iterations;
        // Where the outer flow is supersonic its answer to a displacement has the opposite sign
        // of the subsonic law's: there the layers take the outer flow's speeds as they are.
        Eigen::VectorXd weight(n);
        for (Eigen::Index k = 0; k < n; ++k) {
            const double m2 = gas::machSquared(outer.nodes(k), flow.mach);
            weight(k) = std::clamp((1 - m2) / (1 - kLawMach * kLawMach), 0.0, 1.0);
        }
        layers.setLawWeights(weight);
        layers.setForcedTransition(sonicTransition(layers, p, outer.nodes, flow));
        // A transition point on the edge of an interval can be sent to and fro across it by the
        // small changes of the outer flow; after the first iterations it keeps its interval.
        layers.setTransitionsMove(it < kTransitionIterations);
        double alpha = outer.alpha;
        const bool solved = layers.solve(speeds, carried.nodeDefect, carried.wakeDefect, alpha,
                                         it == 0 ? kFirstLayerNewton : kLayerNewton);
        SectionLayersResult result = layers.result(outer.alpha, flow.mach);
        const Eigen::VectorXd defect = joined(result.nodeDefect, result.wakeDefect);
        if (!defect.allFinite()) {
            r.failed = true;
            return r;
        }
        const Eigen::VectorXd residual = defect - joined(carried.nodeDefect, carried.wakeDefect);
        size = defect.lpNorm<Eigen::Infinity>();
        change = residual.lpNorm<Eigen::Infinity>();
        r.layers = std::move(result);
        r.carried = carried;
        r.carried.layers = layers.snapshot();
        if (size > kRunawayDefect) {
            r.failed = true;
            return r;
        }
        if (solved && change <= kSettled * size) {
            r.settled = true;
            return r;
        }
        // The interaction law makes the plain update converge fast in attached flow. Where it
        // matches the outer flow less well (a transition or separation point, which the outer
        // flow's grid smears, or the supersonic zone, where the law even has the wrong sign) a
        // slow or alternating error remains, which Anderson's mixing of the last few updates
        // takes out (Walker & Ni, SIAM J. Numer. Anal. 49, 2011): the next defect combines the
        // last ones so that their residuals, so combined, are least.
        const Eigen::VectorXd current = joined(carried.nodeDefect, carried.wakeDefect);
        if (lastResidual.size() == residual.size()) {
            if (static_cast<int>(mixedResiduals.size()) == kMixing) {
                mixedResiduals.erase(mixedResiduals.begin());
                mixedDefects.erase(mixedDefects.begin());
            }
            mixedResiduals.push_back(residual - lastResidual);
            mixedDefects.push_back(current - lastDefect);
        }
        lastResidual = residual;
        lastDefect = current;
        Eigen::VectorXd next = current + residual;
        if (!mixedResiduals.empty()) {
            const auto depth = static_cast<Eigen::Index>(mixedResiduals.size());
            Eigen::MatrixXd df(residual.size(), depth), dx(residual.size(), depth);
            for (Eigen::Index k = 0; k < depth; ++k) {
                df.col(k) = mixedResiduals[static_cast<std::size_t>(k)];
                dx.col(k) = mixedDefects[static_cast<std::size_t>(k)];
            }
            const Eigen::VectorXd gamma = df.colPivHouseholderQr().solve(residual);
            if (gamma.allFinite())
                next -= (dx + df) * gamma;
        }
        carried.nodeDefect = next.head(n);
        carried.wakeDefect = next.tail(nw);
        layers.massFluxes(carried.nodeDefect, carried.wakeDefect, flow.mach, carried.nodeFlux, carried.wakeFlux);
        // The outer flow needs no more accuracy than the defect it carries has: while that still
        // changes, a rough solution does.
        if (!resolve(carried.nodeFlux, carried.wakeFlux, std::clamp(kFlowAccuracy * change, 1e-9, 1e-3), outer))
            break;
    }
    // A layer that keeps creeping (separated) stands within 1 % of its defect, with a warning;
    // running out of time or a failed outer flow does not count.
    r.loose = r.iterations == kMaxCoupling && change <= kLoose * size;
    return r;
}

} // namespace

CouplingResult couple_viscous(const Panelling& p, const std::vector<Point>& wake, const FlowCase& flow,
                              const Transpiration& start, const OuterSolve& resolve,
                              std::chrono::steady_clock::time_point deadline)
{
    PanelMethod pm;
    pm.build(p);
    if (!pm.ok()) {
        CouplingResult r;
        r.failed = true;
        return r;
    }
    const auto n = static_cast<Eigen::Index>(p.node.size());
    const auto nw = static_cast<Eigen::Index>(wake.size());
    LayerSettings settings = layer_settings(flow, flow.mach);
    settings.flow.karmanTsien = false; // the outer flow's speeds are the edge speeds
    const double beta = std::sqrt(std::max(1 - flow.mach * flow.mach, kMinBeta * kMinBeta));

    Transpiration carried = start;
    const bool cold = carried.nodeDefect.size() != n || carried.wakeDefect.size() != nw;
    if (cold) {
        // From nothing but the base of a blunt trailing edge, whose displacement the wake
        // carries from the start: without it the outer flow stagnates behind the base.
        const double gap = std::hypot(p.node.front().x - p.node.back().x, p.node.front().y - p.node.back().y);
        carried = {Eigen::VectorXd::Zero(n), Eigen::VectorXd::Zero(nw), Eigen::VectorXd::Zero(n), Eigen::VectorXd::Zero(nw), {}};
        carried.wakeDefect(0) = gap;
        carried.wakeFlux(0) = gap;
    }
    OuterFlow outer;
    if (!resolve(carried.nodeFlux, carried.wakeFlux, 1e-9, outer)) {
        CouplingResult r;
        r.failed = true;
        return r;
    }
    // The layers marched on the outer flow's speeds, then solved with the interaction law.
    SectionLayers layers(p, pm, wake, settings, 1 / beta);
    OuterSpeeds marched;
    marched.nodes = outer.nodes;
    marched.wake = outer.wake;
    if (cold)
        layers.start(marched);
    else
        layers.resume(start.layers, marched);
    CouplingResult r = iterate(layers, p, carried, outer, flow, resolve, deadline);
    if (!cold || r.settled || r.loose)
        return r;
    // Where that fails (at high lift the interaction law alone does not bring back a march on
    // the inviscid speeds), the layers start as the panel method's, solved together with its
    // flow at the outer flow's angle, whose Karman-Tsien speeds are near the outer flow's in
    // subsonic flow.
    LayerSettings compressible = settings;
    compressible.flow.karmanTsien = true;
    SectionLayers panel(p, pm, wake, compressible, 1);
    const auto inviscid = [&](double a) {
        OuterSpeeds o;
        o.nodes = std::cos(a) * pm.gamma0() + std::sin(a) * pm.gamma90();
        o.wake = panel.wakeSpeeds(o.nodes, a);
        return o;
    };
    panel.start(inviscid(outer.alpha));
    double alpha = outer.alpha;
    if (!panel.solve(inviscid, {}, {}, alpha, kFirstLayerNewton))
        return r;
    const SectionLayersResult result = panel.result(alpha, flow.mach);
    carried.nodeDefect = result.nodeDefect;
    carried.wakeDefect = result.wakeDefect;
    panel.massFluxes(carried.nodeDefect, carried.wakeDefect, flow.mach, carried.nodeFlux, carried.wakeFlux);
    if (!resolve(carried.nodeFlux, carried.wakeFlux, 1e-9, outer))
        return r;
    panel.setOuterFlow(1 / beta, false);
    const int before = r.iterations;
    const CouplingResult again = iterate(panel, p, carried, outer, flow, resolve, deadline);
    if (again.settled || again.loose || r.failed)
        r = again;
    r.iterations = before + again.iterations;
    return r;
}

} // namespace camber::smesh
