// SPDX-License-Identifier: MIT
#pragma once

#include "geometry/SectionState.h"

#include <QColor>

namespace camber::ui {
class DrawingSurface;
}

namespace camber::editor {

inline const QColor kBlack{0, 0, 0};
inline const QColor kBlue{0, 0, 255};
inline const QColor kRed{255, 0, 0};

/// A plot frame: x and y range, grid steps, the margin added above and below, and the room
/// right of xmax (for a second scale's labels).
struct PlotFrame {
    double xmin, xmax, ymin, ymax, dx, dy, margin;
    double right = 0.01;
};

/// Clears the picture to white, sets the user scale (x from xmin - 0.07 to xmax + right, y from
/// ymax + margin at the top to ymin - margin), draws the black grid and labels every horizontal
/// grid line at the left with mask, in labelColour (then black again).
void drawFrame(ui::DrawingSurface& pict, const PlotFrame& f, const char* mask, const QColor& labelColour = kBlack);

/// The polyline through (x(n, i), y(n, i)), i = 1..stations.
void polyline(ui::DrawingSurface& pict, const StationArray& x, const StationArray& y, int n, int stations,
              const QColor& colour);

/// The black polyline of an initial curve with a black cross of half-size c at every station;
/// lineFirst draws the line to a station before its cross, otherwise the cross comes first.
void markedPolyline(ui::DrawingSurface& pict, const StationArray& x, const StationArray& y, int n, int stations,
                    double c, bool lineFirst);

/// Black cross of half-size c at (x, y).
void cross(ui::DrawingSurface& pict, double x, double y, double c);

/// The seven control points as circles of radius 0.01 (the selected one red, point 1 always
/// black) joined by the black control polygon.
void controlPolygon(ui::DrawingSurface& pict, const ControlArray& X, const ControlArray& D, int n, int selected);

} // namespace camber::editor
