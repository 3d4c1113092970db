// SPDX-License-Identifier: MIT
#include "PlotHelpers.h"

#include "geometry/Format.h"
#include "ui/DrawingSurface.h"

#include <cmath>

namespace camber::editor {

void drawFrame(ui::DrawingSurface& pict, const PlotFrame& f, const char* mask, const QColor& labelColour)
{
    pict.setBackground(Qt::white);
    const int nx = static_cast<int>(round_half_even((f.xmax - f.xmin) / f.dx));
    const int ny = static_cast<int>(round_half_even((f.ymax - f.ymin) / f.dy));
    pict.setScale(f.xmin - 0.07, f.ymax + f.margin, f.xmax + f.right, f.ymin - f.margin);
    for (int i = 0; i <= nx; ++i) {
        const double x = i * f.dx + f.xmin;
        pict.line(x, f.ymin, x, f.ymax, kBlack);
    }
    for (int j = 0; j <= ny; ++j) {
        const double y = j * f.dy + f.ymin;
        pict.line(f.xmax, y, f.xmin, y, kBlack);
        pict.setTextColour(labelColour);
        pict.setTextPosition(f.xmin - 0.069, y);
        pict.print(QString::fromStdString(format_number(y, mask)));
        pict.setTextColour(kBlack);
    }
}

void polyline(ui::DrawingSurface& pict, const StationArray& x, const StationArray& y, int n, int stations,
              const QColor& colour)
{
    for (int i = 2; i <= stations; ++i)
        pict.line(x(n, i - 1), y(n, i - 1), x(n, i), y(n, i), colour);
}

void cross(ui::DrawingSurface& pict, double x, double y, double c)
{
    pict.line(x - c, y, x + c, y, kBlack);
    pict.line(x, y - c, x, y + c, kBlack);
}

void markedPolyline(ui::DrawingSurface& pict, const StationArray& x, const StationArray& y, int n, int stations,
                    double c, bool lineFirst)
{
    cross(pict, x(n, 1), y(n, 1), c);
    for (int i = 2; i <= stations; ++i) {
        if (!lineFirst)
            cross(pict, x(n, i), y(n, i), c);
        pict.line(x(n, i - 1), y(n, i - 1), x(n, i), y(n, i), kBlack);
        if (lineFirst)
            cross(pict, x(n, i), y(n, i), c);
    }
}

void controlPolygon(ui::DrawingSurface& pict, const ControlArray& X, const ControlArray& D, int n, int selected)
{
    pict.circle(X(n, 1), D(n, 1), 0.01, kBlack);
    for (int k = 2; k <= kControlPoints; ++k) {
        pict.circle(X(n, k), D(n, k), 0.01, k == selected ? kRed : kBlack);
        pict.line(X(n, k - 1), D(n, k - 1), X(n, k), D(n, k), kBlack);
    }
}

} // namespace camber::editor
