// SPDX-License-Identifier: MIT
#include "UlPlots.h"

#include "editor/PlotHelpers.h"
#include "geometry/Format.h"
#include "ui/DrawingSurface.h"

namespace camber::edit_ul {

using editor::kBlack;
using editor::kBlue;
using editor::kRed;

void MkFrame_Y(ui::DrawingSurface& pict, int activeSet)
{
    const editor::PlotFrame f{0.0, 1.0, -0.1, 0.15, 0.2, 0.05, 0.002};
    editor::drawFrame(pict, f, "#0.00");
    pict.setTextPosition(f.xmin + 0.03, f.ymax - 0.01);
    pict.print(activeSet == 1 ? QStringLiteral("LOWER SURFACE") : QStringLiteral("UPPER SURFACE"));
    pict.setTextPosition(f.xmin + 0.01, f.ymin + 0.04);
    pict.print(QStringLiteral("Black line - initial"));
    pict.setTextPosition(f.xmin + 0.01, f.ymin + 0.025);
    pict.print(QStringLiteral("Red line   - delta"));
    pict.setTextPosition(f.xmin + 0.01, f.ymin + 0.01);
    pict.print(QStringLiteral("Blue line  - modificated value = initial + delta"));
}

void MkFrame_TC(ui::DrawingSurface& pict, int mode)
{
    // The camber scale's labels sit right of the chord, inside the picture.
    const double right = 0.1;
    if (mode == 0) {
        const editor::PlotFrame f{0.0, 1.0, 0.0, 0.1, 0.2, 0.025, (0.1 - 0.0) * 0.5 * 0.05, right};
        editor::drawFrame(pict, f, "#0.00#", kBlue);
        return;
    }
    // The camber scale shares the picture with the half-thickness frame: only the scale and
    // the right-hand labels are new.
    const double ymin = -0.02, ymax = 0.06, dy = 0.02;
    const double m = (ymax - ymin) * 0.5 * 0.05;
    pict.setScale(-0.07, ymax + m, 1.0 + right, ymin - m);
    pict.setTextColour(kRed);
    for (int j = 0; j <= 4; ++j) {
        const double y = j * dy + ymin;
        pict.setTextPosition(1.0 + 0.01, y);
        pict.print(QString::fromStdString(format_number(y, "#0.00")));
    }
    pict.setTextColour(kBlack);
}

void Plot_S(ui::DrawingSurface& pict, const SectionState& s, int activeSet)
{
    ui::RetainedDrawing retained(pict);
    MkFrame_Y(pict, activeSet);
    const int n = s.k_sec;
    const int stations = s.n_up(n);
    const double c = s.chord(n) / 400.0;
    editor::polyline(pict, s.x_st, s.y_lo, n, stations, kBlue);
    editor::markedPolyline(pict, s.x_st, s.y_lo0, n, stations, c, true);
    editor::polyline(pict, s.x_st, s.y_up, n, stations, kBlue);
    editor::markedPolyline(pict, s.x_st, s.y_up0, n, stations, c, false);
    if (activeSet == 2) {
        editor::polyline(pict, s.x_st, s.d_up, n, stations, kRed);
        editor::controlPolygon(pict, s.x_cp2, s.d_cp2, n, s.k_cp2);
    } else if (activeSet == 1) {
        editor::polyline(pict, s.x_st, s.d_lo, n, stations, kRed);
        editor::controlPolygon(pict, s.x_cp1, s.d_cp1, n, s.k_cp1);
    }
}

void Plot_F(ui::DrawingSurface& pict, const SectionState& s)
{
    ui::RetainedDrawing retained(pict);
    MkFrame_TC(pict, 0);
    const int n = s.k_sec;
    for (int i = 2; i <= s.n_up(n); ++i) {
        pict.line(s.x_st(n, i - 1), s.t_half(n, i - 1), s.x_st(n, i), s.t_half(n, i), kBlue);
        pict.setDotted(true);
        pict.line(s.x_st0(n, i - 1), s.t_half0(n, i - 1), s.x_st0(n, i), s.t_half0(n, i), kBlue);
        pict.setDotted(false);
    }
    MkFrame_TC(pict, 1);
    for (int i = 2; i <= s.n_up(n); ++i) {
        pict.line(s.x_st(n, i - 1), s.camb(n, i - 1), s.x_st(n, i), s.camb(n, i), kRed);
        pict.setDotted(true);
        pict.line(s.x_st0(n, i - 1), s.camb0(n, i - 1), s.x_st0(n, i), s.camb0(n, i), kRed);
        pict.setDotted(false);
    }
}

} // namespace camber::edit_ul
