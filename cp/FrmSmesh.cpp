// SPDX-License-Identifier: MIT
#include "FrmSmesh.h"

#include "CpCore.h"
#include "FrmPolar.h"
#include "geometry/Error.h"
#include "geometry/Format.h"
#include "geometry/SectionState.h"
#include "ui/Controls.h"
#include "ui/DrawingSurface.h"
#include "ui/Guarded.h"
#include "ui/Windows.h"

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

float number(const QString& text) { return static_cast<float>(text_to_number(text.toStdString())); }

} // namespace

FrmSmesh::FrmSmesh()
{
    setWindowTitle(QStringLiteral("Pressure distribution"));
    setFont(ui::designFont());
    ui::setClientSize(this, 5265, 7095);
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
    connect(cmdSaveCp, &QPushButton::clicked, this, [this] { ui::guarded(this, [&] { saveCp(); }); });
    auto* cmdPolar =
        ui::makeButton(this, QStringLiteral("Cmd_Polar"), QStringLiteral("Polar..."), {2940, 120, 840, 375});
    connect(cmdPolar, &QPushButton::clicked, this,
            [this] { ui::guarded(this, [] { ui::Windows::get<FrmPolar>().showModeless(); }); });
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
    ui::guarded(this, [&] { Graphic(); });
}

void Graphic() { ui::Windows::get<FrmSmesh>().Graphic(); }

} // namespace camber::cp
