// SPDX-License-Identifier: MIT
#include "PanelLayers.h"

#include <algorithm>
#include <cmath>

namespace camber::smesh {

namespace {

constexpr double kWakeLength = 1.0; // chords behind the trailing edge
constexpr int kMaxNewton = 40;

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

} // namespace

std::vector<Point> trace_wake(const Panelling& p, const PanelMethod& pm, double alpha)
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

LayerSettings layer_settings(const FlowCase& flow, double mach)
{
    LayerSettings settings;
    settings.flow.reynolds = flow.reynolds;
    settings.flow.mach = mach;
    settings.flow.karmanTsien = true;
    settings.ncrit = flow.ncrit;
    for (std::size_t side = 0; side < 2; ++side)
        settings.forced[side] = flow.transition[side] > 0 && flow.transition[side] < 1 ? flow.transition[side] : 1.0;
    return settings;
}

SectionLayersResult solve_panel_layers(const Panelling& p, const PanelMethod& pm, const SectionLoads& loads,
                                       const FlowCase& flow, double mach, double alpha)
{
    SectionLayers layers(p, pm, trace_wake(p, pm, alpha), layer_settings(flow, mach));
    // The panel method's speeds are those of the free stream and the vorticity; by the angle they
    // change as those of the free stream turned a quarter turn further.
    const auto outer = [&](double a) {
        OuterSpeeds o;
        o.nodes = inviscid(pm, a);
        o.wake = layers.wakeSpeeds(o.nodes, a);
        o.nodesAlpha = inviscid(pm, a + 0.5 * kPi);
        o.wakeAlpha = layers.wakeSpeeds(o.nodesAlpha, a + 0.5 * kPi);
        return o;
    };
    layers.start(outer(alpha));
    SectionLayers::LiftFunction lift;
    if (flow.prescribed_lift)
        lift = [&](const Eigen::VectorXd& speed, double a, Eigen::VectorXd& dSpeed, double& dAlpha) {
            return loads.lift(speed, a, dSpeed, dAlpha);
        };
    const bool converged = layers.solve(outer, {}, {}, alpha, kMaxNewton, lift, flow.target);
    SectionLayersResult result = layers.result(alpha, mach);
    result.converged = converged;
    return result;
}

} // namespace camber::smesh
