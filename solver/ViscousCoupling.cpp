// SPDX-License-Identifier: MIT
#include "ViscousCoupling.h"

#include "PanelLayers.h"
#include "PanelMethod.h"

#include <algorithm>
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
constexpr double kFlowAccuracy = 10;
// Updates mixed.
constexpr int kMixing = 4;

Eigen::VectorXd joined(const Eigen::VectorXd& a, const Eigen::VectorXd& b)
{
    Eigen::VectorXd v(a.size() + b.size());
    v << a, b;
    return v;
}

} // namespace

CouplingResult couple_viscous(const Panelling& p, const std::vector<Point>& wake, const FlowCase& flow,
                              const Transpiration& start, const OuterSolve& resolve,
                              std::chrono::steady_clock::time_point deadline)
{
    CouplingResult r;
    PanelMethod pm;
    pm.build(p);
    if (!pm.ok()) {
        r.failed = true;
        return r;
    }
    const auto n = static_cast<Eigen::Index>(p.node.size());
    const auto nw = static_cast<Eigen::Index>(wake.size());
    LayerSettings settings = layer_settings(flow, flow.mach);
    settings.flow.karmanTsien = false; // the outer flow's speeds are the edge speeds
    const double beta = std::sqrt(std::max(1 - flow.mach * flow.mach, kMinBeta * kMinBeta));
    SectionLayers layers(p, pm, wake, settings, 1 / beta);

    Transpiration carried = start;
    if (carried.nodeDefect.size() != n || carried.wakeDefect.size() != nw) {
        // From nothing but the base of a blunt trailing edge, whose displacement the wake
        // carries from the start: without it the outer flow stagnates behind the base.
        const double gap = std::hypot(p.node.front().x - p.node.back().x, p.node.front().y - p.node.back().y);
        carried = {Eigen::VectorXd::Zero(n), Eigen::VectorXd::Zero(nw), Eigen::VectorXd::Zero(n), Eigen::VectorXd::Zero(nw)};
        carried.wakeDefect(0) = gap;
        carried.wakeFlux(0) = gap;
    }
    OuterFlow outer;
    if (!resolve(carried.nodeFlux, carried.wakeFlux, 1e-9, outer)) {
        r.failed = true;
        return r;
    }
    const auto speeds = [&](double) {
        OuterSpeeds o;
        o.nodes = outer.nodes;
        o.wake = outer.wake;
        return o;
    };
    layers.start(speeds(outer.alpha));

    double change = 1, size = 0;
    Eigen::VectorXd lastResidual, lastDefect;
    std::vector<Eigen::VectorXd> mixedResiduals, mixedDefects; // differences of the last few
    for (int it = 0; it < kMaxCoupling; ++it) {
        if (std::chrono::steady_clock::now() > deadline)
            break;
        ++r.iterations;
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

} // namespace camber::smesh
