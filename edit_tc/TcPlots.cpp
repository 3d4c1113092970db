// SPDX-License-Identifier: MIT
#include "TcPlots.h"

#include "editor/PlotHelpers.h"
#include "ui/DrawingSurface.h"

namespace camber::edit_tc {

using editor::kBlack;
using editor::kBlue;
using editor::kRed;

namespace {

void legend(ui::DrawingSurface& pict, const char* const (&lines)[4], const double (&at)[4][2])
{
    for (int i = 0; i < 4; ++i) {
        pict.setTextPosition(at[i][0], at[i][1]);
        pict.print(QString::fromLatin1(lines[i]));
    }
}

} // namespace

void MkFrame_F(ui::DrawingSurface& pict) { editor::drawFrame(pict, {0.0, 1.0, -0.1, 0.1, 0.2, 0.05, 0.01}, "#0.00"); }

void MkFrame_C(ui::DrawingSurface& pict)
{
    const editor::PlotFrame f{0.0, 1.0, -0.03, 0.03, 0.2, 0.01, 0.002};
    editor::drawFrame(pict, f, "#0.00");
    legend(pict,
           {"CAMBER", "Black line - initial camber", "Red line   - delta camber",
            "Blue line  - modificated camber = initial - delta"},
           {{f.xmin + 0.05, f.ymax - 0.003},
            {f.xmin + 0.01, f.ymin + 0.01},
            {f.xmin + 0.01, f.ymin + 0.007},
            {f.xmin + 0.01, f.ymin + 0.004}});
}

void MkFrame_T(ui::DrawingSurface& pict)
{
    const editor::PlotFrame f{0.0, 1.0, -0.1, 0.1, 0.2, 0.05, 0.002};
    editor::drawFrame(pict, f, "#0.00");
    legend(pict,
           {"THICKNESS", "Black line - initial thickness", "Red line   - delta thickness",
            "Blue line  - modificated thickness = initial - delta"},
           {{f.xmin + 0.03, f.ymax - 0.01},
            {f.xmin + 0.01, f.ymin + 0.04},
            {f.xmin + 0.01, f.ymin + 0.025},
            {f.xmin + 0.01, f.ymin + 0.01}});
}

void Plot_F(ui::DrawingSurface& pict, const SectionState& s)
{
    ui::RetainedDrawing retained(pict);
    MkFrame_F(pict);
    const int n = s.k_sec;
    const double d = s.chord(n) / 200.0;
    for (const auto* surface : {&s.y_up, &s.y_lo}) {
        const StationArray& y = *surface;
        const StationArray& y0 = surface == &s.y_up ? s.y_up0 : s.y_lo0;
        editor::cross(pict, s.x_st0(n, 1), y0(n, 1), d);
        for (int i = 2; i <= s.n_up(n); ++i) {
            pict.line(s.x_st(n, i - 1), y(n, i - 1), s.x_st(n, i), y(n, i), kBlue);
            pict.line(s.x_st0(n, i - 1), y0(n, i - 1), s.x_st0(n, i), y0(n, i), kBlack);
            editor::cross(pict, s.x_st0(n, i), y0(n, i), d);
        }
    }
}

void Plot_C(ui::DrawingSurface& pict, const SectionState& s)
{
    ui::RetainedDrawing retained(pict);
    MkFrame_C(pict);
    const int n = s.k_sec;
    const int stations = s.n_up(n);
    editor::polyline(pict, s.x_st0, s.camb0, n, stations, kBlack);
    editor::polyline(pict, s.x_st0, s.d_camb, n, stations, kRed);
    // The modified camber is shown against the chord line through its end values, so that a
    // change of the end values does not hide the shape of the mean line.
    const double slope = s.camb(n, stations) - s.camb(n, 1);
    auto relative = [&](int i) { return s.camb(n, i) - (s.camb(n, 1) + slope * s.x_st0(n, i)); };
    for (int i = 2; i <= stations; ++i)
        pict.line(s.x_st0(n, i - 1), relative(i - 1), s.x_st0(n, i), relative(i), kBlue);
    editor::controlPolygon(pict, s.x_tcp1, s.d_tcp1, n, s.k_tcp1);
}

void Plot_T(ui::DrawingSurface& pict, const SectionState& s)
{
    ui::RetainedDrawing retained(pict);
    MkFrame_T(pict);
    const int n = s.k_sec;
    const int stations = s.n_up(n);
    editor::polyline(pict, s.x_st, s.t_half0, n, stations, kBlack);
    editor::polyline(pict, s.x_st, s.d_thalf, n, stations, kRed);
    editor::polyline(pict, s.x_st, s.t_half, n, stations, kBlue);
    editor::controlPolygon(pict, s.x_tcp2, s.d_tcp2, n, s.k_tcp2);
}

} // namespace camber::edit_tc
