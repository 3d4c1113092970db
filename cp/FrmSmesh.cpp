// SPDX-License-Identifier: MIT
#include "FrmSmesh.h"

#include "CpCore.h"
#include "FlowFrame.h"
#include "FrmPolar.h"
#include "LayerPlot.h"
#include "geometry/Error.h"
#include "geometry/Format.h"
#include "geometry/SectionState.h"
#include "ui/Captions.h"
#include "ui/Controls.h"
#include "ui/DrawingSurface.h"
#include "ui/Guarded.h"
#include "ui/HistoryKeys.h"
#include "ui/Windows.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>

#include <cmath>

namespace camber::cp {

namespace {

// A recalculation may set the editor's angle scroll bar, whose change recalculates again; the
// chain ends when the angle stops changing, and this depth ends it in any case.
constexpr int kMaxNesting = 4;

std::function<FlowPanel*()>& openEditor()
{
    static std::function<FlowPanel*()> resolver;
    return resolver;
}

FlowPanel& panel()
{
    FlowPanel* p = openEditor() ? openEditor()() : nullptr;
    if (!p)
        throw Error("no editor is open for the pressure calculation");
    return *p;
}

// The frames right of the Cp plot and the boundary-layer picture below it, in twips.
constexpr ui::Twips kFlowFrame{5280, 960, 2760, 2760};
constexpr ui::Twips kDragFrame{5280, 3840, 2760, 2880};
constexpr ui::Twips kLayerPicture{120, 7080, 5052, 3000};

float number(const QString& text) { return static_cast<float>(text_to_number(text.toStdString())); }

} // namespace

FrmSmesh::FrmSmesh()
{
    setWindowTitle(QStringLiteral("Pressure distribution"));
    setFont(ui::designFont());
    ui::setClientSize(this, kFlowFrame.left + kFlowFrame.width + 120,
                      kLayerPicture.top + kLayerPicture.height + 120);
    const QFont legendFont = ui::namedFont(QStringLiteral("MS Sans Serif"), 9.75);
    ui::makeLabel(this, QStringLiteral("Lbl_def"), QStringLiteral("Black Line  - Initial Airfoil"),
                  {120, 120, 2412, 252})
        ->setFont(legendFont);
    ui::makeLabel(this, QStringLiteral("Lbl_def2"), QStringLiteral("Blue Line  --  Last Modification"),
                  {120, 480, 2775, 255})
        ->setFont(legendFont);
    auto* cmdSaveCp = ui::makeButton(this, QStringLiteral("Cmd_SaveCp"), QStringLiteral("Save Cp to File"),
                                 {3840, 120, 1335, 375});
    m_txtCol = ui::makeTextBox(this, QStringLiteral("TxtCol"), QStringLiteral("Calculation - OK"),
                               {3840, 600, 1335, 285});
    m_pictCp = new ui::DrawingSurface(this);
    m_pictCp->setObjectName(QStringLiteral("Pict_CP"));
    m_pictCp->setBackground(Qt::white);
    ui::place(m_pictCp, {120, 960, 5052, 6012});

    m_flow = new FlowFrame(this, kFlowFrame);
    m_flow->show(state().flow);
    makeDragFrame();

    m_pictBl = new ui::DrawingSurface(this);
    m_pictBl->setObjectName(QStringLiteral("Pict_BL"));
    m_pictBl->setBackground(Qt::white);
    ui::place(m_pictBl, kLayerPicture);
    ui::fitCaptions(this);

    connect(cmdSaveCp, &QPushButton::clicked, this, [this] { ui::guarded(this, [&] { saveCp(); }); });
    connect(m_flow, &FlowFrame::changed, this,
            [this](const FlowSettings& settings) { ui::guarded(this, [&] { flowChanged(settings); }); });
    auto* cmdPolar =
        ui::makeButton(this, QStringLiteral("Cmd_Polar"), QStringLiteral("Polar..."), {2940, 120, 840, 375});
    connect(cmdPolar, &QPushButton::clicked, this,
            [this] { ui::guarded(this, [] { ui::Windows::get<FrmPolar>().showModeless(); }); });
}

void FrmSmesh::makeDragFrame()
{
    m_drag = ui::makeFrame(this, QStringLiteral("Frm_drag"), QStringLiteral("Drag and layers"), kDragFrame);
    const auto readout = [this](const char* label, const char* caption, const char* box, int top) {
        ui::makeLabel(m_drag, QString::fromLatin1(label), QString::fromLatin1(caption), {120, top, 1200, 255});
        ui::makeTextBox(m_drag, QString::fromLatin1(box), QString(), {1320, top - 30, 1320, 285})->setReadOnly(true);
    };
    readout("Lbl_CdTotal", "Total", "Txt_CdTotal", 300);
    readout("Lbl_CdFric", "Friction", "Txt_CdFric", 660);
    readout("Lbl_CdPres", "Pressure", "Txt_CdPres", 1020);
    readout("Lbl_CdWave", "Wave", "Txt_CdWave", 1380);
    ui::makeLabel(m_drag, QStringLiteral("Lbl_Upper"), QStringLiteral("upper"), {1320, 1740, 660, 255});
    ui::makeLabel(m_drag, QStringLiteral("Lbl_Lower"), QStringLiteral("lower"), {1980, 1740, 660, 255});
    const auto pair = [this](const char* label, const char* caption, const char* upper, const char* lower, int top) {
        ui::makeLabel(m_drag, QString::fromLatin1(label), QString::fromLatin1(caption), {120, top, 1200, 255});
        ui::makeTextBox(m_drag, QString::fromLatin1(upper), QString(), {1320, top - 30, 660, 285})->setReadOnly(true);
        ui::makeTextBox(m_drag, QString::fromLatin1(lower), QString(), {1980, top - 30, 660, 285})->setReadOnly(true);
    };
    pair("Lbl_Tr", "Transition x/c", "Txt_TrUpper", "Txt_TrLower", 2100);
    pair("Lbl_Sep", "Separation x/c", "Txt_SepUpper", "Txt_SepLower", 2460);
}

void FrmSmesh::setOpenEditor(std::function<FlowPanel*()> resolver) { openEditor() = std::move(resolver); }

void FrmSmesh::load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    m_cpRatio = static_cast<double>(m_pictCp->height()) / m_pictCp->width();
    m_cpDw = width() - m_pictCp->width();
    m_cpDh = height() - m_pictCp->height();
    m_blGap = m_pictBl->y() - (m_pictCp->y() + m_pictCp->height());
    m_columnGap = m_flow->x() - (m_pictCp->x() + m_pictCp->width());
    Graphic();
}

void FrmSmesh::showModeless()
{
    load();
    show();
    raise();
}

void FrmSmesh::Graphic()
{
    if (m_depth >= kMaxNesting)
        return;
    struct Nesting {
        int& depth;
        explicit Nesting(int& d) : depth(d) { ++depth; }
        ~Nesting() { --depth; }
    } nesting(m_depth);

    SectionState& s = state();
    fill_solver_inputs(s);
    FlowPanel& editor = panel();
    s.mach(1) = number(editor.machText());
    if (!editor.liftPrescribed()) {
        s.k_alcl = 1;
        s.alcl(1) = number(editor.alphaText());
    } else {
        s.k_alcl = 0;
        s.alcl(1) = number(editor.liftText());
    }
    SolverOutputs out;
    QString failure;
    try {
        out = m_solverCache.call(s);
    } catch (const Error& e) {
        failure = QString::fromStdString(e.what());
    }

    // The first calculation that touches the window's controls loads it, which runs a
    // calculation of its own before this one goes on.
    load();
    const bool ok = failure.isEmpty() && s.sm_stat(1) >= 0;
    m_txtCol->setText(ok ? QStringLiteral("Calculation - OK") : QStringLiteral("Calc. is not OK"));
    m_txtCol->setStyleSheet(ok ? QStringLiteral("background-color: rgb(0, 255, 0);")
                               : QStringLiteral("background-color: rgb(255, 0, 0);"));
    m_txtCol->setToolTip(failure);
    if (!failure.isEmpty())
        return;  // no solver: nothing new to show

    m_result = out.result;
    m_flow->show(s.flow);
    showDrag(out);
    panel().showResults(s.clift, out.cdrag, s.alpha);
    s.n_calc += 1;
    if (s.n_calc == 1) {
        for (int i = 1; i <= kCpPoints; ++i) {
            s.cp_x0(i) = s.cp_x(i);
            s.cp0(i) = s.cp(1, i);
        }
    }
    plot_cp();
}

void FrmSmesh::plot_cp()
{
    const SectionState& s = state();
    ui::DrawingSurface& pict = *m_pictCp;
    const Single cpStar = critical_cp(s.mach(1));
    const CpScan scan = scan_cp(s, cpStar);
    const double y0 = cp_axis_bottom(scan.cp_min);

    ui::RetainedDrawing retained(pict);
    pict.clear();
    // Negative Cp is plotted upwards, as aerodynamicists read pressure distributions.
    pict.setScale(-0.1, y0 - 0.01, 1.01, 1.01);
    const QColor green(0, 255, 0), black(0, 0, 0), blue(0, 0, 255);
    pict.setDotted(true);
    pict.setPenWidth(1);
    for (int i = 0; i <= 5; ++i)
        pict.line(0.2 * i, 1.0, 0.2 * i, y0, green);
    const int lines = static_cast<int>(std::lround((1.0 - y0) / 0.5));
    for (int j = 0; j <= lines; ++j) {
        const double y = y0 + 0.5 * j;
        pict.line(1.0, y, 0.0, y, green);
        pict.setTextPosition(-0.065, y);
        pict.print(QString::fromStdString(format_number(y, "#0.0")));
    }
    pict.setDotted(false);
    if (const CpStarLine sonic = cp_star_line(scan.k); sonic.drawn)
        pict.line(s.cp_x(sonic.from), cpStar, s.cp_x(sonic.to), cpStar, black);
    if (s.n_calc != 1)
        for (int i = 2; i <= kCpPoints; ++i)
            pict.line(s.cp_x0(i - 1), s.cp0(i - 1), s.cp_x0(i), s.cp0(i), black);
    pict.setPenWidth(2);
    for (int i = 2; i <= kCpPoints; ++i)
        pict.line(s.cp_x(i - 1), s.cp(1, i - 1), s.cp_x(i), s.cp(1, i), blue);
    pict.setPenWidth(1);
    if (m_result) {
        mark_layer_events_on_cp(pict, *m_result);
        plot_layers(*m_pictBl, *m_result);
    }
}

void FrmSmesh::showDrag(const SolverOutputs& out)
{
    const auto show = [this](const char* box, double value, const char* mask) {
        m_drag->findChild<QLineEdit*>(QString::fromLatin1(box))->setText(QString::fromStdString(format_number(value, mask)));
    };
    const SmeshResult& r = *out.result;
    show("Txt_CdTotal", out.cdrag, "0.00000#");
    show("Txt_CdFric", r.cd_friction, "0.00000#");
    // The pressure part without the shocks' share, so that the three parts add up to the total.
    show("Txt_CdPres", r.cd_pressure - r.cd_wave, "0.00000#");
    show("Txt_CdWave", r.cd_wave, "0.00000#");
    show("Txt_TrUpper", r.transition_upper, "0.000");
    show("Txt_TrLower", r.transition_lower, "0.000");
    show("Txt_SepUpper", r.separation_upper, "0.000");
    show("Txt_SepLower", r.separation_lower, "0.000");
}

void FrmSmesh::flowChanged(const FlowSettings& settings)
{
    panel().changeFlow(settings);
    if (state().cp_win == 1)
        Graphic();
}

void FrmSmesh::keyPressEvent(QKeyEvent* event)
{
    const ui::HistoryKey key = ui::historyKey(event);
    if (key == ui::HistoryKey::None) {
        QWidget::keyPressEvent(event);
        return;
    }
    ui::guarded(this, [&] { key == ui::HistoryKey::Undo ? panel().undo() : panel().redo(); });
}

void FrmSmesh::saveCp() { save_cp(state()); }

void FrmSmesh::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!m_loaded || m_inResize || width() <= m_cpDw)
        return;
    // The window keeps the plot's shape: the width is free, the height follows.
    const int pictWidth = width() - m_cpDw;
    const int windowHeight = static_cast<int>(std::lround(pictWidth * m_cpRatio)) + m_cpDh;
    m_inResize = true;
    if (height() != windowHeight)
        resize(width(), windowHeight);
    m_inResize = false;
    m_pictCp->resize(pictWidth, height() - m_cpDh);
    const int right = m_pictCp->x() + pictWidth;
    m_pictBl->setGeometry(m_pictCp->x(), m_pictCp->y() + m_pictCp->height() + m_blGap, pictWidth, m_pictBl->height());
    m_flow->move(right + m_columnGap, m_flow->y());
    m_drag->move(right + m_columnGap, m_drag->y());
    ui::guarded(this, [&] { Graphic(); });
}

void Graphic() { ui::Windows::get<FrmSmesh>().Graphic(); }

} // namespace camber::cp
