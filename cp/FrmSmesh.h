// SPDX-License-Identifier: MIT
#pragma once

#include "FlowPanel.h"
#include "SolverCache.h"

#include <QWidget>

#include <functional>
#include <memory>

class QGroupBox;
class QLineEdit;

namespace camber::ui {
class DrawingSurface;
}

namespace camber::cp {

class FlowFrame;

/// The pressure window: runs a calculation for the section being edited, flags its status,
/// writes lift, drag and angle of attack into the open editor, plots Cp along the chord with
/// the critical pressure coefficient marked, and saves the distribution to the .cpo file.
///
/// Beside the designed layout it holds the flow conditions of the calculation (Frm_flow), the
/// drag split into friction, pressure and wave parts with the layers' transition and
/// separation (Frm_drag), and below the Cp plot the boundary-layer picture Pict_BL (skin
/// friction and shape factor of both surfaces). Ctrl+Z and Ctrl+Shift+Z (or Ctrl+Y) undo and
/// redo the open editor's steps here too.
///
/// The window object may exist hidden: it is loaded (which runs one calculation) the first
/// time a calculation touches its controls or "Plot Cp" shows it.
class FrmSmesh : public QWidget {
    Q_OBJECT
public:
    FrmSmesh();

    /// One calculation: solver inputs from the section and the open editor's panel, the
    /// solver call, the status, the results into the editor, the count of calculations and
    /// the plot.
    void Graphic();
    /// Shows the window modeless ("Plot Cp"), loading it first when it is new.
    void showModeless();

    /// Tells the window where the open editor's flow panel is (the start-up window knows
    /// which editor was chosen).
    static void setOpenEditor(std::function<FlowPanel*()> resolver);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void load();
    void plot_cp();
    void saveCp();
    void flowChanged(const FlowSettings& settings);
    void makeDragFrame();
    void showDrag(const SolverOutputs& out);

    QLineEdit* m_txtCol = nullptr;
    ui::DrawingSurface* m_pictCp = nullptr;
    ui::DrawingSurface* m_pictBl = nullptr;
    FlowFrame* m_flow = nullptr;
    QGroupBox* m_drag = nullptr;
    std::shared_ptr<const SmeshResult> m_result;  ///< the last result shown
    SolverCache m_solverCache;
    bool m_loaded = false;
    bool m_inResize = false;
    double m_cpRatio = 1;
    int m_cpDw = 0;
    int m_cpDh = 0;
    int m_blGap = 0;      ///< pixels between the Cp plot and the boundary-layer picture
    int m_columnGap = 0;  ///< pixels between the Cp plot and the frames right of it
    int m_depth = 0;
};

/// The pressure window's calculation, creating the window hidden when it does not exist.
void Graphic();

} // namespace camber::cp
