// SPDX-License-Identifier: MIT
#pragma once

#include "cp/FlowPanel.h"
#include "geometry/ControlDrag.h"
#include "geometry/EditHistory.h"
#include "ui/Controls.h"

#include <QWidget>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace camber::ui {
class DrawingSurface;
}

namespace camber::editor {

/// A labelled control of the designed layout.
struct Placed {
    QString name;
    QString caption;
    ui::Twips at;
};

/// A frame holding the check boxes and option buttons of one control-point set.
struct SetFrame {
    QString name;
    QString caption;
    ui::Twips at;
    QString headingName;  ///< the "X     Y" column heading
};

/// What distinguishes the two editors' windows: caption, designed layout, texts.
struct EditorLayout {
    QString caption;
    int clientWidth = 0, clientHeight = 0;  ///< twips
    Placed lblClift, txtClift, lblCdrag, txtCdrag, lblYmax, txtYthick, lblXmax, txtXthick;
    Placed legend1, legend2;  ///< legend labels of Pict_F
    bool legendFontNamed = false;  ///< legends in 9.75-point "MS Sans Serif" (or the sans-serif fallback)
    Placed lblM, txtM;
    ui::Twips hscrM;
    int machSmallChange = 5, machLargeChange = 5;
    Placed lblAl, txtAlpha;
    ui::Twips hscrA;
    Placed labelX, labelY;
    Placed frmCp;
    Placed cmdSmesh, cmdCpSave, lblAlpha, lblCl, txtCl;  ///< inside Frm_cp
    ui::Twips optAlpha, optCl;                             ///< inside Frm_cp
    SetFrame set2Frame;  ///< the frame of Opt_PT, Chk_XT, Chk_YT
    SetFrame set1Frame;  ///< the frame of Opt_P, Chk_X, Chk_Y
    ui::Twips optTC0, optTC1;
    ui::Twips pictF, pictS;
};

/// The window both section editors share: the lift, drag and thickness read-outs, the
/// flow-condition panel, two control-point frames, the active-set choice, two pictures and
/// the picking and dragging of control points. An editor adds its deformation and plots.
///
/// Every completed drag (the right button released) and every change of the pressure window's
/// flow conditions is a step of the editor's history: Ctrl+Z undoes it, Ctrl+Shift+Z or Ctrl+Y
/// redoes it, restoring the section, the control points and their move boxes exactly. The
/// history starts empty when the editor is opened and ends with the window.
class EditorWindow : public QWidget, public cp::FlowPanel {
    Q_OBJECT
public:
    ~EditorWindow() override;

    /// Runs the load steps once, after the window object exists: the scroll bars take their
    /// positions from the designed texts (which recomputes when the pressure window is open).
    void ensureLoaded();

    /// Opens the editor as the start-up window's edit command does: the flow case of the
    /// section state into the panel, lift prescribed, set 1 active, control points reset
    /// (point 3 of each set selected), move boxes built, window shown.
    void openForEditing();

    /// Called when an editor window closes (the start-up window re-enables its file controls).
    static void setClosedHandler(std::function<void()> handler);

    // Flow panel read and written by the pressure calculation.
    QString machText() const override;
    bool liftPrescribed() const override;
    QString alphaText() const override;
    QString liftText() const override;
    void showResults(float clift, float cdrag, float alpha) override;
    void changeFlow(const FlowSettings& settings) override;
    void undo() override;
    void redo() override;

protected:
    explicit EditorWindow(const EditorLayout& layout);

    /// The active set: 1 when Opt_TC(0) is set, else 2.
    int activeSet() const;
    /// 1 or 2 as the Opt_TC button that is set, 0 while neither is.
    int shownSet() const;
    ui::DrawingSurface& pictF() { return *m_pictF; }
    ui::OptionGroup& optionTC() { return m_optTC; }
    ui::DrawingSurface& pictS() { return *m_pictS; }

    /// Control points of set 1 or 2 of this editor.
    virtual ControlSet controlSet(int set) = 0;
    /// The selected-point variable of set 1 or 2.
    virtual Integer& selectedPoint(int set) = 0;
    /// Resets both control-point sets.
    virtual void initControlPoints() = 0;
    /// Rebuilds the section from the control points.
    virtual void calcSs() = 0;
    /// Rebuilds the move boxes of the active set.
    virtual void setBoxes() = 0;
    virtual void plotF() = 0;
    /// Redraws Pict_S for the active set.
    virtual void plotS() = 0;
    /// Option button index of set (1 or 2) clicked.
    virtual void pointOptionClicked(int set, int index) = 0;
    /// The end of a resize, after the pictures got their new size.
    virtual void redrawAfterResize() = 0;
    /// The mask of the cursor read-out over Pict_F, or empty when Pict_F has none.
    virtual QString pictFReadoutMask() const { return {}; }

    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void activeSetClicked();
    void pick(int button, double x, double y);
    void moveOverS(int buttons, double x, double y);
    void moveOverF(double x, double y);
    void showReadout(double x, double y, const QString& mask);
    void dragStep(double x, double y);
    void releaseOverS(int button);
    void showThickness();
    void showRestored();
    void alphaScrolled(int value);
    void machScrolled(int value);
    void enableAngle(bool enabled);
    void saveCpSnapshot();
    void plotCp();

    QLineEdit* m_txtClift = nullptr;
    QLineEdit* m_txtCdrag = nullptr;
    QLineEdit* m_txtYthick = nullptr;
    QLineEdit* m_txtXthick = nullptr;
    QLineEdit* m_txtM = nullptr;
    QLineEdit* m_txtAlpha = nullptr;
    QLineEdit* m_txtCl = nullptr;
    QScrollBar* m_hscrM = nullptr;
    QScrollBar* m_hscrA = nullptr;
    QLabel* m_labelX = nullptr;
    QLabel* m_labelY = nullptr;
    QRadioButton* m_optAlpha = nullptr;
    QRadioButton* m_optCl = nullptr;
    ui::OptionGroup m_optP, m_optPT, m_optTC;
    ui::CheckGroup m_chkX, m_chkY, m_chkXT, m_chkYT;
    ui::DrawingSurface* m_pictF = nullptr;
    ui::DrawingSurface* m_pictS = nullptr;
    DragHistory m_prev1, m_prev2;  ///< x_prev1/d_prev1 and x_prev2/d_prev2
    EditHistory m_history;

    // Layout kept from load, in pixels, for the proportional resize.
    double m_aspF = 1, m_aspS = 1;
    int m_mrgW = 0, m_offS = 0, m_mrgH = 0;
    bool m_inResize = false;
    bool m_loaded = false;
};

} // namespace camber::editor
