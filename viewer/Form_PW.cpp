// SPDX-License-Identifier: MIT
#include "Form_PW.h"

#include "geometry/Format.h"
#include "ui/Captions.h"
#include "ui/Controls.h"
#include "ui/DrawingSurface.h"
#include "ui/Guarded.h"

#include <QLabel>
#include <QResizeEvent>

#include <cmath>

namespace camber {

namespace {

const QColor kGrid(0, 255, 0);
const QColor kContour(0, 0, 0);
const QColor kCross(255, 0, 0);

} // namespace

Form_PW::Form_PW()
{
    using ui::makeLabel;
    setWindowTitle("Pict(Wing Section)");
    setFont(ui::designFont());
    ui::setClientSize(this, 7080, 4020);
    Label_x = makeLabel(this, "Label_x", "x=", {0, 0, 975, 255});
    Label_y = makeLabel(this, "Label_y", "y=", {0, 240, 975, 255});
    Lbl_mu = makeLabel(this, "Lbl_mu", "mu=", {1080, 0, 1095, 255});
    Lbl_ml = makeLabel(this, "Lbl_ml", "ml=", {1080, 240, 1095, 255});
    const QFont help = ui::namedFont("MS Sans Serif", 9.75);
    makeLabel(this, "Lbl_hlp1", "Translate  - Left mouse button", {2280, 0, 3735, 255})->setFont(help);
    makeLabel(this, "Lbl_hlp2", "Zoom  -  Shift + Left mouse button", {2280, 240, 3735, 255})->setFont(help);
    Picture1 = new ui::DrawingSurface(this);
    Picture1->setObjectName("Picture1");
    ui::place(Picture1, {0, 480, 7000, 3500});
    connect(Picture1, &ui::DrawingSurface::mouseDown, this, &Form_PW::Picture1_MouseDown);
    connect(Picture1, &ui::DrawingSurface::mouseMove, this, &Form_PW::Picture1_MouseMove);
    connect(Picture1, &ui::DrawingSurface::mouseUp, this, &Form_PW::Picture1_MouseUp);

    ui::fitCaptions(this);

    pw_ratio = static_cast<Single>(Picture1->height()) / static_cast<Single>(Picture1->width());
    pw_dw = width() - Picture1->width();
    pw_dh = height() - Picture1->height();

    SectionState& s = state();
    show_counts(s.k_sec);
    for (Integer i = 1; i <= s.n_sections; ++i)
        fit_frame(s, m_views, i, static_cast<Single>(Picture1->width()), static_cast<Single>(Picture1->height()));
    draw_current();
}

void Form_PW::show_counts(Integer k)
{
    const SectionState& s = state();
    Lbl_mu->setText(QString::fromStdString("mu=" + format_number(s.n_up(k), "#0")));
    Lbl_ml->setText(QString::fromStdString("ml=" + format_number(s.n_lo(k), "#0")));
}

void Form_PW::draw_current()
{
    const Integer k = state().k_sec;
    draw_section(m_views.view_xc(k), m_views.view_yc(k), m_views.view_w(k), m_views.view_h(k));
}

void Form_PW::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!Picture1)
        return;
    // Minimised, or narrower than the margin beside the picture: nothing sensible to lay out.
    const int pictureWidth = width() - pw_dw;
    if (isMinimized() || pictureWidth <= 0)
        return;
    const int windowHeight = static_cast<int>(std::lround(pictureWidth * pw_ratio)) + pw_dh;
    const int pictureHeight = windowHeight - pw_dh;
    if (pictureHeight <= 0)
        return;
    Picture1->resize(pictureWidth, pictureHeight);
    if (height() != windowHeight && !isMaximized() && !isFullScreen())
        resize(width(), windowHeight);
    ui::guarded(this, [this] { draw_current(); });
}

void Form_PW::draw_section(Single xc, Single yc, Single w, Single h)
{
    const SectionState& s = state();
    const Integer k = s.k_sec;
    const Single c = s.chord(k);
    const Single xL = s.x_c(k, s.n_up(k));
    const Single yL = s.y_c(k, s.n_up(k));
    ui::DrawingSurface& p = *Picture1;
    ui::RetainedDrawing plot(p);

    p.setBackground(QColor(255, 255, 255));
    p.setScale(xc - w / 2, yc + h / 2, xc + w / 2, yc - h / 2);

    // Chord grid: a line every tenth of the chord, labelled every fifth below the grid.
    p.setDotted(true);
    for (int i = 1; i <= 11; ++i) {
        const Single x = xL + static_cast<Single>(i - 1) * 0.1f * c;
        p.line(x, yL - 0.2f * c, x, yL + 0.2f * c, kGrid);
        if (i % 2 == 0) {
            p.setDotted(false);
            p.setTextPosition(xL + static_cast<Single>(i) * 0.1f * c - 0.02f * c, yL - 0.2f * c - 0.01f * c);
            p.print(QString::fromStdString(general_number(0.1 * i)));
            p.setDotted(true);
        }
    }
    for (int j = 1; j <= 9; ++j) {
        const Single y = yL - 0.2f * c + static_cast<Single>(j - 1) * 0.05f * c;
        p.line(xL, y, xL + c, y, kGrid);
    }
    p.setDotted(false);
    p.setTextPosition(xL, yL + 0.1f * c);
    p.print(" 0.1");
    p.setTextPosition(xL, yL - 0.1f * c);
    p.print("-0.1");

    // The contour as read, turned back by the accumulated chord-line angle, a red cross on every point.
    const Single theta = -s.twist_sec(k) * 3.141592653f / 180.0f;
    const Single sn = std::sin(theta);
    const Single q = std::sqrt(1 - sn * sn);
    auto point = [&](int i) {
        return QPointF(q * s.x_c(k, i) - sn * s.y_c(k, i), sn * s.x_c(k, i) + q * s.y_c(k, i));
    };
    const Single m = w / 200;
    auto cross = [&](QPointF pt) {
        p.line(pt.x() - m, pt.y(), pt.x() + m, pt.y(), kCross);
        p.line(pt.x(), pt.y() - m, pt.x(), pt.y() + m, kCross);
    };
    QPointF previous = point(1);
    cross(previous);
    for (int i = 2; i <= s.n_tot(k); ++i) {
        const QPointF next = point(i);
        p.line(previous.x(), previous.y(), next.x(), next.y(), kContour);
        cross(next);
        previous = next;
    }
}

void Form_PW::Picture1_MouseDown(int, int, double x, double y)
{
    x_down = static_cast<Single>(x);
    y_down = static_cast<Single>(y);
}

void Form_PW::Picture1_MouseMove(int, int, double x, double y)
{
    // Read-out in chords from the leading edge of the section.
    ui::guarded(this, [&] {
        const SectionState& s = state();
        const Integer k = s.k_sec;
        const Single c = s.chord(k);
        const Single u = (static_cast<Single>(x) - s.x_c(k, s.n_up(k))) / c;
        const Single v = (static_cast<Single>(y) - s.y_c(k, s.n_up(k))) / c;
        Label_x->setText(QString::fromStdString("x=" + format_number(u, "#0.00000")));
        Label_y->setText(QString::fromStdString("y=" + format_number(v, "#0.00000")));
    });
}

void Form_PW::Picture1_MouseUp(int button, int shift, double x, double y)
{
    ui::guarded(this, [&] {
        const Integer k = state().k_sec;
        if (button == ui::kLeftButton) {
            if (shift != 0)
                zoom_view(m_views, k, y_down, static_cast<Single>(y));
            else
                translate_view(m_views, k, x_down, y_down, static_cast<Single>(x), static_cast<Single>(y));
        }
        draw_current();
    });
}

} // namespace camber
