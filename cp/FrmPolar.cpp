// SPDX-License-Identifier: MIT
#include "FrmPolar.h"

#include "CpCore.h"
#include "geometry/Format.h"
#include "geometry/SectionState.h"
#include "geometry/TextFile.h"
#include "ui/DrawingSurface.h"
#include "ui/Guarded.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QThread>

#include <algorithm>
#include <filesystem>

namespace camber::cp {

namespace {

// The designed layout, twips.
constexpr int kClientWidth = 9600, kClientHeight = 6960;
constexpr int kMargin = 120;
constexpr int kPlotTop = 1920;     // the pictures below the controls
constexpr int kLegendHeight = 375; // the legend below the pictures

// The sweeps a new window offers: a drag polar at the editors' lift range, a drag-divergence
// curve through the transonic range.
const std::map<PolarKind, std::array<const char*, 3>> kDefaultRanges{{PolarKind::Lift, {"0", "1", "0.1"}},
                                                                     {PolarKind::Mach, {"0.6", "0.8", "0.01"}}};

double number(const QLineEdit* box) { return text_to_number(box->text().toStdString()); }

QString text(const std::string& s) { return QString::fromStdString(s); }

// The CSV file a window suggests: the Cp file's name with "_polar.csv", in the current folder.
QString defaultFile()
{
    const std::string cpo = state().f_cpo;
    const std::string stem = cpo.empty() ? std::string("section") : std::filesystem::path(cpo).stem().string();
    return text(stem + "_polar.csv");
}

QString flowText(const FlowSettings& f)
{
    QString t = f.viscous ? QStringLiteral("Re %1 million, Ncrit %2, ")
                                .arg(text(format_number(f.reynolds / 1e6, "0.0##")), QString::number(f.ncrit))
                          : QStringLiteral("inviscid, ");
    if (f.viscous && (f.transition_upper > 0 || f.transition_lower > 0))
        t += QStringLiteral("transition at %1 / %2, ")
                 .arg(text(format_number(f.transition_upper, "0.0#")), text(format_number(f.transition_lower, "0.0#")));
    t += QStringLiteral("level %1, %2").arg(f.level).arg(f.method == 1 ? QStringLiteral("panel method")
                                                                        : QStringLiteral("full-potential method"));
    return t;
}

} // namespace

FrmPolar::FrmPolar()
{
    setWindowTitle(QStringLiteral("Polar"));
    setFont(ui::designFont());
    ui::setClientSize(this, kClientWidth, kClientHeight);
    m_optSweep.add(ui::makeOption(this, ui::indexedName(QStringLiteral("Opt_Sweep"), 0),
                                  QStringLiteral("Lift at fixed Mach"), {kMargin, 120, 2295, 255}));
    m_optSweep.add(ui::makeOption(this, ui::indexedName(QStringLiteral("Opt_Sweep"), 1),
                                  QStringLiteral("Mach at fixed lift"), {kMargin, 420, 2295, 255}));
    m_lblFixed = ui::makeLabel(this, QStringLiteral("Lbl_Fixed"), QString(), {2520, 150, 1200, 255});
    m_txtFixed = ui::makeTextBox(this, QStringLiteral("Txt_Fixed"), QString(), {3840, 90, 855, 285});
    m_lblRange = ui::makeLabel(this, QStringLiteral("Lbl_Range"), QString(), {kMargin, 810, 2295, 255});
    m_txtFrom = ui::makeTextBox(this, QStringLiteral("Txt_From"), QString(), {2520, 780, 855, 285});
    m_txtTo = ui::makeTextBox(this, QStringLiteral("Txt_To"), QString(), {3480, 780, 855, 285});
    m_txtStep = ui::makeTextBox(this, QStringLiteral("Txt_Step"), QString(), {4440, 780, 855, 285});
    m_cmdCompute =
        ui::makeButton(this, QStringLiteral("Cmd_Compute"), QStringLiteral("Compute"), {5520, 90, 1215, 375});
    m_cmdCancel = ui::makeButton(this, QStringLiteral("Cmd_Cancel"), QStringLiteral("Cancel"), {5520, 540, 1215, 375});
    m_cmdSave = ui::makeButton(this, QStringLiteral("Cmd_Save"), QStringLiteral("Save"), {6960, 90, 1215, 375});
    m_txtFile = ui::makeTextBox(this, QStringLiteral("Txt_File"), defaultFile(), {6960, 600, 2520, 285});
    m_prgSweep = new QProgressBar(this);
    m_prgSweep->setObjectName(QStringLiteral("Prg_Sweep"));
    ui::place(m_prgSweep, {kMargin, 1200, 5175, 255});
    m_lblStatus = ui::makeLabel(this, QStringLiteral("Lbl_Status"), QString(), {5520, 1200, 3960, 255});
    m_lblFlow = ui::makeLabel(this, QStringLiteral("Lbl_Flow"), QString(), {kMargin, 1560, 9360, 255});
    m_pictCd = new ui::DrawingSurface(this);
    m_pictCd->setObjectName(QStringLiteral("Pict_CD"));
    m_pictAlpha = new ui::DrawingSurface(this);
    m_pictAlpha->setObjectName(QStringLiteral("Pict_Alpha"));
    m_lblLegend = ui::makeLabel(this, QStringLiteral("Lbl_Legend"),
                                QStringLiteral("Blue: this sweep    Grey: the sweep before    Red: failed points, "
                                               "divergence Mach number"),
                                {kMargin, kClientHeight - kLegendHeight + 60, 9360, 255});
    for (const auto& [k, r] : kDefaultRanges)
        m_ranges[k] = {QString::fromLatin1(r[0]), QString::fromLatin1(r[1]), QString::fromLatin1(r[2])};

    connect(&m_optSweep, &ui::OptionGroup::clicked, this, [this](int index) { kindClicked(index); });
    connect(m_cmdCompute, &QPushButton::clicked, this, [this] { ui::guarded(this, [&] { compute(); }); });
    connect(m_cmdCancel, &QPushButton::clicked, this, [this] { cancel(); });
    connect(m_cmdSave, &QPushButton::clicked, this, [this] { ui::guarded(this, [&] { save(); }); });
    m_optSweep.setValue(0, true);
    takeFlowCase();
    showState();
}

FrmPolar::~FrmPolar()
{
    // A closed window ends its sweep: the point being computed finishes (the solver's time is
    // bounded), nothing after it.
    if (m_thread != nullptr) {
        *m_cancelled = true;
        m_thread->wait();
        delete m_thread;
    }
}

PolarKind FrmPolar::kind() const { return m_optSweep.value(1) ? PolarKind::Mach : PolarKind::Lift; }

void FrmPolar::kindClicked(int index)
{
    const PolarKind shown = index == 1 ? PolarKind::Mach : PolarKind::Lift;
    const PolarKind other = shown == PolarKind::Mach ? PolarKind::Lift : PolarKind::Mach;
    if (!m_txtFrom->text().isEmpty())
        m_ranges[other] = {m_txtFrom->text(), m_txtTo->text(), m_txtStep->text()};
    m_txtFrom->setText(m_ranges[shown].from);
    m_txtTo->setText(m_ranges[shown].to);
    m_txtStep->setText(m_ranges[shown].step);
    m_lblFixed->setText(shown == PolarKind::Mach ? QStringLiteral("Lift coefficient") : QStringLiteral("Mach number"));
    m_lblRange->setText(shown == PolarKind::Mach ? QStringLiteral("Mach from, to, step")
                                                 : QStringLiteral("CL from, to, step"));
    takeFlowCase();
    showState();
    plot();
}

void FrmPolar::takeFlowCase()
{
    if (running())
        return;
    const SectionState& s = state();
    // A Mach sweep holds the lift of the pressure window's calculation, prescribed or reached.
    const double lift = s.k_alcl == 1 ? s.clift : s.alcl(1);
    m_txtFixed->setText(kind() == PolarKind::Mach ? text(format_number(lift, "0.000#"))
                                                  : text(format_number(s.mach(1), "0.00#")));
    m_lblFlow->setText(flowText(s.flow));
}

void FrmPolar::showModeless()
{
    takeFlowCase();
    show();
    raise();
    plot();
}

void FrmPolar::compute()
{
    if (running())
        return;
    PolarRequest request;
    request.kind = kind();
    request.fixed = number(m_txtFixed);
    request.values = sweep_values(number(m_txtFrom), number(m_txtTo), number(m_txtStep));
    request.flow = state().flow;
    // The section as it now is, edited or not, taken once: later edits do not reach this sweep.
    auto section = std::make_unique<SectionState>(state());
    fill_solver_inputs(*section);
    const SolverContour contour = solver_contour(*section);
    const SolverFunctions solver = solver_functions();
    const std::vector<SmeshCase> cases = polar_cases(request);

    m_runningKind = request.kind;
    auto& [current, previous] = m_curves[request.kind];
    if (!current.points.empty())
        previous = std::move(current);
    current = PolarCurve{request.kind, {}, std::nullopt};
    m_total = static_cast<int>(cases.size());
    m_wasCancelled = false;
    m_failure.clear();
    m_lblFlow->setText(flowText(request.flow));
    m_cancelled = std::make_shared<std::atomic<bool>>(false);
    m_thread = QThread::create([this, solver, contour, cases, cancelled = m_cancelled] {
        QString failure;
        try {
            compute_polar(solver, contour, cases, [&](const PolarPoint& p) {
                // A point finished after Cancel is not shown: the user stopped before it.
                if (*cancelled)
                    return false;
                QMetaObject::invokeMethod(this, [this, p] { addPoint(p); }, Qt::QueuedConnection);
                return true;
            });
        } catch (const std::exception& e) {
            failure = QString::fromStdString(e.what());
        }
        QMetaObject::invokeMethod(this, [this, failure] { sweepEnded(failure); }, Qt::QueuedConnection);
    });
    m_thread->start();
    showState();
    plot();
}

void FrmPolar::cancel()
{
    if (!running())
        return;
    *m_cancelled = true;
    m_wasCancelled = true;
    showState();
}

void FrmPolar::addPoint(const PolarPoint& point)
{
    m_curves[m_runningKind].first.points.push_back(point);
    showState();
    plot();
}

void FrmPolar::sweepEnded(const QString& failure)
{
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_failure = failure;
    PolarCurve& curve = m_curves[m_runningKind].first;
    if (curve.kind == PolarKind::Mach)
        curve.divergence = divergence_mach(curve.points);
    showState();
    plot();
    if (!failure.isEmpty())
        ui::reportError(this, failure);
}

void FrmPolar::showState()
{
    // The progress and the outcome are the last sweep's; another kind shows only its curve.
    const bool last = running() || kind() == m_runningKind;
    const PolarCurve& curve = m_curves[last ? m_runningKind : kind()].first;
    const int done = static_cast<int>(curve.points.size());
    const int total = last ? m_total : done;
    const auto failed =
        std::count_if(curve.points.begin(), curve.points.end(), [](const auto& p) { return p.status < 0; });
    m_prgSweep->setRange(0, std::max(total, 1));
    m_prgSweep->setValue(std::min(done, std::max(total, 1)));
    QString status;
    if (running())
        status = m_wasCancelled ? QStringLiteral("Cancelling after %1 of %2 points").arg(done).arg(total)
                                : QStringLiteral("%1 of %2 points").arg(done).arg(total);
    else if (last && m_wasCancelled)
        status = QStringLiteral("Cancelled after %1 of %2 points").arg(done).arg(total);
    else if (last && !m_failure.isEmpty())
        status = QStringLiteral("Sweep failed");
    else if (done > 0)
        status = QStringLiteral("%1 points").arg(done);
    if (failed > 0)
        status += QStringLiteral(", %1 failed").arg(failed);
    if (!running() && curve.kind == PolarKind::Mach && done > 0)
        status += curve.divergence
                      ? QStringLiteral(", divergence Mach %1").arg(text(format_number(*curve.divergence, "0.000")))
                      : QStringLiteral(", no divergence in the sweep");
    m_lblStatus->setText(status);
    m_cmdCompute->setEnabled(!running());
    m_cmdCancel->setEnabled(running() && !m_wasCancelled);
    m_cmdSave->setEnabled(!running() && done > 0);
}

void FrmPolar::save()
{
    write_lines_atomically(m_txtFile->text().toStdString(), polar_csv(m_curves[kind()].first.points));
}

void FrmPolar::plot()
{
    const auto& [current, previous] = m_curves[kind()];
    PolarCurve shown = current;
    shown.kind = kind();
    plot_polar(*m_pictCd, *m_pictAlpha, shown, previous);
}

void FrmPolar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The pictures share the width below the controls and above the legend.
    const int margin = ui::twipsToPixelsX(this, kMargin);
    const int top = ui::twipsToPixelsY(this, kPlotTop);
    const int legend = ui::twipsToPixelsY(this, kLegendHeight);
    const int w = std::max((width() - 3 * margin) / 2, 1);
    const int h = std::max(height() - top - legend, 1);
    m_pictCd->setGeometry(margin, top, w, h);
    m_pictAlpha->setGeometry(2 * margin + w, top, w, h);
    m_lblLegend->move(margin, top + h + ui::twipsToPixelsY(this, 60));
    plot();
}

} // namespace camber::cp
