// SPDX-License-Identifier: MIT
#include "PolarPlots.h"

#include "geometry/Format.h"
#include "ui/DrawingSurface.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <string>

namespace camber::cp {

namespace {

constexpr int kMostDivisions = 10;
// Steps that put an end of the axis exactly on a value are not lost to rounding.
constexpr double kOnStep = 1e-9;

const QColor kCurrent(0, 0, 255);
const QColor kPrevious(170, 170, 170);
const QColor kFailed(255, 0, 0);
const QColor kGrid(0, 160, 0);
const QColor kText(0, 0, 0);

using Quantity = double PolarPoint::*;

/// One curve of a picture: y against x over the points of a polar.
struct Series {
    const PolarCurve* curve;
    Quantity x, y;
    QColor colour;
    int width;
};

/// What one picture shows.
struct Picture {
    QString xTitle, yTitle;
    std::vector<Series> series;
    std::optional<double> mark; ///< an x marked by a vertical line (the divergence Mach number)
};

// The mask of an axis's labels: as many decimals as its step needs.
std::string labelMask(double step)
{
    const int decimals = std::max(0, static_cast<int>(std::ceil(-std::log10(step) - kOnStep)));
    return decimals == 0 ? std::string("0") : "0." + std::string(static_cast<std::size_t>(decimals), '0');
}

void draw(ui::DrawingSurface& pict, const Picture& picture)
{
    double xLow = INFINITY, xHigh = -INFINITY, yLow = INFINITY, yHigh = -INFINITY;
    for (const Series& s : picture.series)
        for (const PolarPoint& p : s.curve->points)
            if (p.status >= 0) {
                xLow = std::min(xLow, p.*s.x);
                xHigh = std::max(xHigh, p.*s.x);
                yLow = std::min(yLow, p.*s.y);
                yHigh = std::max(yHigh, p.*s.y);
            }
    if (xLow > xHigh) {
        xLow = yLow = 0;
        xHigh = yHigh = 1;
    }
    const PlotAxis ax = nice_axis(xLow, xHigh), ay = nice_axis(yLow, yHigh);
    const double sx = ax.high - ax.low, sy = ay.high - ay.low;

    ui::RetainedDrawing retained(pict);
    pict.clear();
    // Room on the left and below for the labels, above for the titles.
    pict.setScale(ax.low - 0.2 * sx, ay.high + 0.1 * sy, ax.high + 0.1 * sx, ay.low - 0.1 * sy);
    pict.setTextColour(kText);
    pict.setPenWidth(1);
    pict.setDotted(true);
    const int nx = static_cast<int>(std::lround(sx / ax.step)), ny = static_cast<int>(std::lround(sy / ay.step));
    const int xEvery = nx > 6 ? 2 : 1, yEvery = ny > 6 ? 2 : 1;
    for (int i = 0; i <= nx; ++i) {
        const double x = ax.low + i * ax.step;
        pict.line(x, ay.low, x, ay.high, kGrid);
        if (i % xEvery == 0) {
            pict.setTextPosition(x - 0.04 * sx, ay.low - 0.02 * sy);
            pict.print(QString::fromStdString(format_number(x, labelMask(ax.step))));
        }
    }
    for (int j = 0; j <= ny; ++j) {
        const double y = ay.low + j * ay.step;
        pict.line(ax.low, y, ax.high, y, kGrid);
        if (j % yEvery == 0) {
            pict.setTextPosition(ax.low - 0.19 * sx, y + 0.025 * sy);
            pict.print(QString::fromStdString(format_number(y, labelMask(ay.step))));
        }
    }
    pict.setTextPosition(ax.low - 0.19 * sx, ay.high + 0.09 * sy);
    pict.print(picture.yTitle);
    pict.setTextPosition(ax.high - 0.1 * sx, ay.high + 0.09 * sy);
    pict.print(picture.xTitle);
    if (picture.mark) {
        pict.line(*picture.mark, ay.low, *picture.mark, ay.high, kFailed);
        pict.setTextColour(kFailed);
        pict.setTextPosition(*picture.mark + 0.01 * sx, ay.high + 0.045 * sy);
        pict.print(QStringLiteral("M_DD %1").arg(QString::fromStdString(format_number(*picture.mark, "0.000"))));
        pict.setTextColour(kText);
    }
    pict.setDotted(false);
    const double radius = 0.008 * sx;
    for (const Series& s : picture.series) {
        pict.setPenWidth(s.width);
        const PolarPoint* last = nullptr;
        for (const PolarPoint& p : s.curve->points) {
            if (p.status < 0) {
                pict.circle(p.*s.x, p.*s.y, radius, kFailed);
                continue;
            }
            if (last != nullptr)
                pict.line(last->*s.x, last->*s.y, p.*s.x, p.*s.y, s.colour);
            pict.circle(p.*s.x, p.*s.y, radius, s.colour);
            last = &p;
        }
    }
    pict.setPenWidth(1);
}

} // namespace

PlotAxis nice_axis(double low, double high)
{
    if (!(high > low)) {
        const double half = std::max(0.1 * std::fabs(low), 0.05);
        high = low + half;
        low -= half;
    }
    const double span = high - low;
    PlotAxis axis;
    for (double decade = std::pow(10.0, std::floor(std::log10(span)) - 2);; decade *= 10) {
        for (const double factor : {1.0, 2.0, 5.0}) {
            const double step = factor * decade;
            const double first = std::floor(low / step + kOnStep), last = std::ceil(high / step - kOnStep);
            if (last - first <= kMostDivisions)
                return {first * step, last * step, step};
        }
    }
}

void plot_polar(ui::DrawingSurface& drag, ui::DrawingSurface& angle, const PolarCurve& current,
                const PolarCurve& previous)
{
    const bool mach = current.kind == PolarKind::Mach;
    Picture left, right;
    for (const auto& [curve, colour, width] :
         {std::tuple{&previous, kPrevious, 1}, std::tuple{&current, kCurrent, 2}}) {
        if (mach) {
            left.series.push_back({curve, &PolarPoint::mach, &PolarPoint::cd, colour, width});
            left.series.push_back({curve, &PolarPoint::mach, &PolarPoint::cd_wave, colour, 1});
            right.series.push_back({curve, &PolarPoint::mach, &PolarPoint::alpha, colour, width});
        } else {
            left.series.push_back({curve, &PolarPoint::cd, &PolarPoint::cl, colour, width});
            right.series.push_back({curve, &PolarPoint::alpha, &PolarPoint::cl, colour, width});
        }
    }
    if (mach) {
        left = {QStringLiteral("M"), QStringLiteral("CD, CD wave"), left.series, current.divergence};
        right = {QStringLiteral("M"), QStringLiteral("alpha"), right.series, std::nullopt};
    } else {
        left = {QStringLiteral("CD"), QStringLiteral("CL"), left.series, std::nullopt};
        right = {QStringLiteral("alpha"), QStringLiteral("CL"), right.series, std::nullopt};
    }
    draw(drag, left);
    draw(angle, right);
}

} // namespace camber::cp
