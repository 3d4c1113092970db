// SPDX-License-Identifier: MIT
#include "Frame.h"

#include <cassert>
#include <cmath>

namespace camber::smesh {

std::optional<FlowResult> unusable_input(const std::vector<Point>& given, const FlowCase& flow)
{
    const bool usableCase = std::isfinite(flow.mach) && flow.mach >= 0 && std::isfinite(flow.target);
    if (usableCase && check_contour(given) == ContourProblem::Usable)
        return std::nullopt;
    FlowResult r;
    r.status = kUnusableContour;
    r.alpha = std::isfinite(flow.target) && !flow.prescribed_lift ? flow.target : 0.0;
    fill_fallback(r);
    return r;
}

UnitChord to_unit_chord(const std::vector<Point>& given, int nodes)
{
    const Panelling raw = repanel(given, nodes);
    UnitChord frame;
    frame.origin = raw.leading_edge;
    frame.scale = raw.chord;
    frame.points.resize(given.size());
    for (std::size_t i = 0; i < given.size(); ++i)
        frame.points[i] = {(given[i].x - frame.origin.x) / frame.scale, (given[i].y - frame.origin.y) / frame.scale};
    return frame;
}

void write_outputs(const Panelling& p, const UnitChord& frame, const NodeValues& values, FlowResult& r)
{
    const std::size_t n = p.node.size();
    std::vector<double> xs(n), ys(n);
    for (std::size_t i = 0; i < n; ++i) {
        xs[i] = p.node[i].x;
        ys[i] = p.node[i].y;
    }
    const auto at = [&](const std::vector<double>* f, double s) {
        assert(f->size() == n);
        return interpolate(p, *f, s);
    };
    const std::vector<double> stations = output_stations(p, (kOutputPoints + 1) / 2);
    for (std::size_t k = 0; k < stations.size(); ++k) {
        const double s = stations[k];
        r.x[k] = frame.origin.x + frame.scale * interpolate(p, xs, s);
        r.y[k] = frame.origin.y + frame.scale * interpolate(p, ys, s);
        if (values.cp)
            r.cp[k] = at(values.cp, s);
        if (values.local_mach)
            r.local_mach[k] = at(values.local_mach, s);
        if (values.cf)
            r.cf[k] = at(values.cf, s);
        if (values.dstar)
            r.dstar[k] = frame.scale * at(values.dstar, s);
        if (values.theta)
            r.theta[k] = frame.scale * at(values.theta, s);
    }
}

} // namespace camber::smesh
