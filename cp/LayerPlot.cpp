// SPDX-License-Identifier: MIT
#include "LayerPlot.h"

#include "geometry/Format.h"
#include "ui/DrawingSurface.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace camber::cp {

namespace {

// Index of the leading-edge pressure point: the upper surface runs from index 0 (its trailing
// edge) to here, the lower from here to the last point.
constexpr int kLeadingEdgePoint = SMESH_CP_POINTS / 2;
// Shape factors above this mean a separated layer; the right-hand scale ends there.
constexpr double kShapeFactorTop = 4.0;
const QColor kUpperColour(0, 0, 255), kLowerColour(255, 0, 0), kGrid(0, 160, 0), kBlack(0, 0, 0);

const SmeshLayer& layer(const SmeshResult& r, Surface s) { return s == Surface::Upper ? r.upper : r.lower; }
const QColor& colour(Surface s) { return s == Surface::Upper ? kUpperColour : kLowerColour; }
double transition(const SmeshResult& r, Surface s) { return s == Surface::Upper ? r.transition_upper : r.transition_lower; }
double separation(const SmeshResult& r, Surface s) { return s == Surface::Upper ? r.separation_upper : r.separation_lower; }

// The pressure-point indices of a surface from the leading edge to its trailing edge.
std::vector<int> surfacePoints(Surface s)
{
    std::vector<int> points;
    for (int k = 0; k <= kLeadingEdgePoint; ++k)
        points.push_back(s == Surface::Upper ? kLeadingEdgePoint - k : kLeadingEdgePoint + k);
    return points;
}

// A layer event (transition, separation) at x/c < 1 is shown; 1 means none before the trailing edge.
bool happens(double x) { return x > 0 && x < 1; }

} // namespace

LayerCurve layer_curve(const SmeshResult& r, Surface surface)
{
    LayerCurve c;
    const SmeshLayer& l = layer(r, surface);
    if (l.count > 0) {
        const int n = std::min(l.count, SMESH_MAX_STATIONS);
        c.x.assign(l.x, l.x + n);
        c.cf.assign(l.cf, l.cf + n);
        c.h.assign(l.h, l.h + n);
        return c;
    }
    const bool viscous = std::any_of(std::begin(r.cp_theta), std::end(r.cp_theta), [](double t) { return t != 0; });
    if (!viscous)
        return c;
    for (int k : surfacePoints(surface)) {
        c.x.push_back(r.cp_x[k]);
        c.cf.push_back(r.cp_cf[k]);
        c.h.push_back(r.cp_theta[k] != 0 ? r.cp_dstar[k] / r.cp_theta[k] : 0.0);
    }
    return c;
}

double cp_at(const SmeshResult& r, Surface surface, double x)
{
    const std::vector<int> points = surfacePoints(surface);
    if (x <= r.cp_x[points.front()])
        return r.cp[points.front()];
    for (std::size_t k = 1; k < points.size(); ++k) {
        const int a = points[k - 1], b = points[k];
        if (x <= r.cp_x[b]) {
            const double w = r.cp_x[b] > r.cp_x[a] ? (x - r.cp_x[a]) / (r.cp_x[b] - r.cp_x[a]) : 1.0;
            return r.cp[a] + w * (r.cp[b] - r.cp[a]);
        }
    }
    return r.cp[points.back()];
}

double cf_axis_top(double cf_max)
{
    static constexpr std::array<double, 9> kTops{0.002, 0.004, 0.006, 0.008, 0.01, 0.015, 0.02, 0.03, 0.05};
    for (double top : kTops)
        if (cf_max <= top)
            return top;
    return kTops.back();
}

void plot_layers(ui::DrawingSurface& pict, const SmeshResult& r)
{
    const std::array<LayerCurve, 2> curves{layer_curve(r, Surface::Upper), layer_curve(r, Surface::Lower)};
    double cfMax = 0;
    for (const LayerCurve& c : curves)
        for (double cf : c.cf)
            cfMax = std::max(cfMax, cf);
    const double top = cf_axis_top(cfMax);
    const double toCf = top / kShapeFactorTop;  // the shape factor drawn on the skin-friction scale

    ui::RetainedDrawing retained(pict);
    pict.clear();
    pict.setScale(-0.14, 1.3 * top, 1.1, -0.15 * top);
    pict.setDotted(true);
    pict.setPenWidth(1);
    for (int i = 0; i <= 5; ++i)
        pict.line(0.2 * i, 0, 0.2 * i, top, kGrid);
    for (int j = 0; j <= 2; ++j) {
        const double y = 0.5 * top * j;
        pict.line(0, y, 1, y, kGrid);
        pict.setTextColour(kBlack);
        pict.setTextPosition(-0.135, y + 0.06 * top);
        pict.print(QString::fromStdString(format_number(y, "0.000")));
        pict.setTextPosition(1.01, y + 0.06 * top);
        pict.print(QString::fromStdString(format_number(y / toCf, "0")));
    }
    pict.setTextPosition(0.0, 1.27 * top);
    if (curves[0].x.empty() && curves[1].x.empty()) {
        pict.print(QStringLiteral("No boundary layers: inviscid flow"));
        pict.setDotted(false);
        return;
    }
    pict.print(QStringLiteral("Cf solid, H dotted; upper blue, lower red"));

    for (Surface s : {Surface::Upper, Surface::Lower}) {
        const LayerCurve& c = curves[s == Surface::Upper ? 0 : 1];
        QVector<QPointF> shape, friction;
        for (std::size_t k = 0; k < c.x.size(); ++k) {
            shape.append({c.x[k], std::min(c.h[k], kShapeFactorTop) * toCf});
            friction.append({c.x[k], c.cf[k]});
        }
        pict.setDotted(true);
        pict.polyline(shape, colour(s));
        pict.setDotted(false);
        pict.setPenWidth(2);
        pict.polyline(friction, colour(s));
        pict.setPenWidth(1);
        if (const double xt = transition(r, s); happens(xt))
            pict.line(xt, -0.1 * top, xt, 0.1 * top, colour(s));
        if (const double xs = separation(r, s); happens(xs)) {
            pict.line(xs - 0.015, -0.05 * top, xs + 0.015, 0.05 * top, colour(s));
            pict.line(xs - 0.015, 0.05 * top, xs + 0.015, -0.05 * top, colour(s));
        }
    }
}

void mark_layer_events_on_cp(ui::DrawingSurface& pict, const SmeshResult& r)
{
    // Half the size of a mark in Cp units, from its size in x/c and the picture's shape.
    const double dx = 0.012;
    const double dy = dx * std::fabs(pict.scaleHeight() / pict.scaleWidth()) * pict.width() / std::max(1, pict.height());
    for (Surface s : {Surface::Upper, Surface::Lower}) {
        if (const double xt = transition(r, s); happens(xt))
            pict.circle(xt, cp_at(r, s, xt), dx, colour(s));
        if (const double xs = separation(r, s); happens(xs)) {
            const double cp = cp_at(r, s, xs);
            pict.line(xs - dx, cp - dy, xs + dx, cp + dy, colour(s));
            pict.line(xs - dx, cp + dy, xs + dx, cp - dy, colour(s));
        }
    }
}

} // namespace camber::cp
