// SPDX-License-Identifier: MIT
#pragma once

#include "PolarPlots.h"

#include "ui/Controls.h"

#include <QWidget>

#include <atomic>
#include <map>
#include <memory>
#include <utility>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QThread;

namespace camber::cp {

/// The polar window, opened from the pressure window: sweeps the section as it now is, in lift
/// at a fixed Mach number (Opt_Sweep(0)) or in Mach number at a fixed lift (Opt_Sweep(1)), with
/// the flow settings of the pressure window's calculation, and plots the curve as its points
/// come in beside the one computed before it (greyed). The sweep runs on a thread of its own
/// with a solver memory of its own, so the window and the editors stay responsive and the
/// editors' calculations are neither disturbed nor slowed by it beyond sharing the processor.
///
/// Controls: Txt_Fixed (the fixed Mach number or lift coefficient), Txt_From, Txt_To, Txt_Step
/// (the sweep), Cmd_Compute, Cmd_Cancel, Prg_Sweep (points done), Lbl_Status, Lbl_Flow (the
/// flow settings used), Cmd_Save with Txt_File (the CSV file, in the current folder unless a
/// path is given), Pict_CD (CL against CD, or CD and its wave part against M with the
/// divergence Mach number) and Pict_Alpha (CL against the angle of attack, or the angle
/// against M).
class FrmPolar : public QWidget {
    Q_OBJECT
public:
    FrmPolar();
    ~FrmPolar() override;

    /// Shows the window modeless; unless a sweep runs, the fixed value and the flow settings
    /// are taken from the pressure window's last calculation.
    void showModeless();
    /// True from Compute until the sweep has ended (finished, cancelled or failed).
    bool running() const { return m_thread != nullptr; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    PolarKind kind() const;
    void kindClicked(int index);
    void takeFlowCase();
    void compute();
    void cancel();
    void save();
    void addPoint(const PolarPoint& point);
    void sweepEnded(const QString& failure);
    void showState();
    void plot();

    ui::OptionGroup m_optSweep;
    QLabel* m_lblFixed = nullptr;
    QLabel* m_lblRange = nullptr;
    QLabel* m_lblStatus = nullptr;
    QLabel* m_lblFlow = nullptr;
    QLabel* m_lblLegend = nullptr;
    QLineEdit* m_txtFixed = nullptr;
    QLineEdit* m_txtFrom = nullptr;
    QLineEdit* m_txtTo = nullptr;
    QLineEdit* m_txtStep = nullptr;
    QLineEdit* m_txtFile = nullptr;
    QPushButton* m_cmdCompute = nullptr;
    QPushButton* m_cmdCancel = nullptr;
    QPushButton* m_cmdSave = nullptr;
    QProgressBar* m_prgSweep = nullptr;
    ui::DrawingSurface* m_pictCd = nullptr;
    ui::DrawingSurface* m_pictAlpha = nullptr;

    /// The sweep texts of each kind, kept while the other kind is shown.
    struct Range {
        QString from, to, step;
    };
    std::map<PolarKind, Range> m_ranges;
    /// Per kind: the last curve and the one before it.
    std::map<PolarKind, std::pair<PolarCurve, PolarCurve>> m_curves;
    QThread* m_thread = nullptr;
    PolarKind m_runningKind = PolarKind::Lift; ///< the kind of the running or last sweep
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    int m_total = 0; ///< points of the running or last sweep
    bool m_wasCancelled = false;
    QString m_failure;
};

} // namespace camber::cp
