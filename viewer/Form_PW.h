// SPDX-License-Identifier: MIT
#pragma once

#include "viewer/ViewFit.h"

#include <QWidget>

class QLabel;

namespace camber {

namespace ui {
class DrawingSurface;
}

/// The section viewer: the current section as read, turned to its chord-line angle, over a
/// dotted grid of chord fractions, with the point counts and a cursor read-out in chords from
/// the leading edge. Dragging with the left button translates the view, with Shift, Ctrl or
/// Alt held it zooms; any release redraws. Resizing keeps the drawing's shape.
class Form_PW : public QWidget {
    Q_OBJECT
public:
    /// Loads the window (hidden): fits the view of every section and draws the current one.
    Form_PW();

    /// The view windows of the sections.
    const ViewState& views() const { return m_views; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void show_counts(Integer k);
    void draw_section(Single xc, Single yc, Single w, Single h);
    void draw_current();
    void Picture1_MouseDown(int button, int shift, double x, double y);
    void Picture1_MouseMove(int button, int shift, double x, double y);
    void Picture1_MouseUp(int button, int shift, double x, double y);

    QLabel* Label_x = nullptr;
    QLabel* Label_y = nullptr;
    QLabel* Lbl_mu = nullptr;
    QLabel* Lbl_ml = nullptr;
    ui::DrawingSurface* Picture1 = nullptr;

    ViewState m_views;
    Single x_down = 0, y_down = 0;
    Single pw_ratio = 0;  ///< Picture1 height / width at load
    int pw_dw = 0;        ///< client width minus Picture1 width at load, pixels
    int pw_dh = 0;        ///< client height minus Picture1 height at load, pixels
};

} // namespace camber
