// SPDX-License-Identifier: MIT
#include "EditorWindow.h"

#include "cp/FrmSmesh.h"
#include "geometry/Bezier.h"
#include "geometry/Format.h"
#include "geometry/SectionState.h"
#include "ui/DrawingSurface.h"
#include "ui/Captions.h"
#include "ui/Guarded.h"
#include "ui/HistoryKeys.h"
#include "ui/Windows.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace camber::editor {

namespace {

constexpr int kAlphaMin = 0, kAlphaMax = 2000; // the angle scroll bar: -10 to 10 degrees
constexpr int kMachMin = 200, kMachMax = 900;  // the Mach number's: 0.2 to 0.9

// The angle bar moves in hundredths of a degree from -10 degrees, the Mach bar in thousandths.
long alphaPosition(double alpha) { return round_half_even(alpha * 100 + 1000); }
double alphaAt(int position) { return (position - 1000) / 100.0; }
long machPosition(double mach) { return round_half_even(mach * 1000); }
double machAt(int position) { return position / 1000.0; }

std::function<void()>& closedHandler()
{
    static std::function<void()> handler;
    return handler;
}

QString fmt(double v, const char* mask) { return QString::fromStdString(format_number(v, mask)); }

double number(const QLineEdit* box) { return text_to_number(box->text().toStdString()); }

QLabel* makeLabel(QWidget* parent, const Placed& p) { return ui::makeLabel(parent, p.name, p.caption, p.at); }
QLineEdit* makeText(QWidget* parent, const Placed& p) { return ui::makeTextBox(parent, p.name, p.caption, p.at); }

} // namespace

EditorWindow::EditorWindow(const EditorLayout& layout)
{
    setWindowTitle(layout.caption);
    setFont(ui::designFont());
    ui::setClientSize(this, layout.clientWidth, layout.clientHeight);

    makeLabel(this, layout.lblClift);
    m_txtClift = makeText(this, layout.txtClift);
    makeLabel(this, layout.lblCdrag);
    m_txtCdrag = makeText(this, layout.txtCdrag);
    makeLabel(this, layout.lblYmax);
    m_txtYthick = makeText(this, layout.txtYthick);
    makeLabel(this, layout.lblXmax);
    m_txtXthick = makeText(this, layout.txtXthick);
    for (const Placed* legend : {&layout.legend1, &layout.legend2}) {
        auto* label = makeLabel(this, *legend);
        if (layout.legendFontNamed)
            label->setFont(ui::namedFont(QStringLiteral("MS Sans Serif"), 9.75));
    }
    makeLabel(this, layout.lblM);
    m_txtM = makeText(this, layout.txtM);
    m_hscrM = ui::makeHScroll(this, QStringLiteral("HScr_M"), layout.hscrM, kMachMin, kMachMax,
                              layout.machSmallChange, layout.machLargeChange, kMachMin);
    makeLabel(this, layout.lblAl);
    m_txtAlpha = makeText(this, layout.txtAlpha);
    m_hscrA = ui::makeHScroll(this, QStringLiteral("HScr_A"), layout.hscrA, kAlphaMin, kAlphaMax, 1, 1, kAlphaMin);
    m_labelX = makeLabel(this, layout.labelX);
    m_labelY = makeLabel(this, layout.labelY);

    auto* frmCp = ui::makeFrame(this, layout.frmCp.name, layout.frmCp.caption, layout.frmCp.at);
    auto* cmdSmesh = ui::makeButton(frmCp, layout.cmdSmesh.name, layout.cmdSmesh.caption, layout.cmdSmesh.at);
    auto* cmdCpSave = ui::makeButton(frmCp, layout.cmdCpSave.name, layout.cmdCpSave.caption, layout.cmdCpSave.at);
    makeLabel(frmCp, layout.lblAlpha);
    m_optAlpha = ui::makeOption(frmCp, QStringLiteral("Opt_alpha"), QString(), layout.optAlpha);
    makeLabel(frmCp, layout.lblCl);
    m_optCl = ui::makeOption(frmCp, QStringLiteral("Opt_cl"), QString(), layout.optCl);
    m_txtCl = makeText(frmCp, layout.txtCl);

    // The frames of the two sets: an x box, a y box and an option button per control point.
    // The end points cannot be chosen or moved by the user.
    auto buildSetFrame = [this](const SetFrame& f, const QString& suffix, ui::CheckGroup& xs, ui::CheckGroup& ys,
                                ui::OptionGroup& options) {
        auto* frame = ui::makeFrame(this, f.name, f.caption, f.at);
        ui::makeLabel(frame, f.headingName, QStringLiteral("X     Y"), {120, 240, 492, 252});
        for (int i = 0; i < kControlPoints; ++i) {
            const int top = 480 + 240 * i;
            xs.add(ui::makeCheckBox(frame, ui::indexedName("Chk_X" + suffix, i), QString(), {120, top, 252, 252}));
            ys.add(ui::makeCheckBox(frame, ui::indexedName("Chk_Y" + suffix, i), QString(), {360, top, 252, 252}));
            options.add(ui::makeOption(frame, ui::indexedName("Opt_P" + suffix, i), QString(), {600, top, 252, 252}));
            const bool movable = i != 0 && i != kControlPoints - 1;
            xs.at(i)->setEnabled(movable);
            ys.at(i)->setEnabled(movable);
            options.at(i)->setEnabled(movable);
        }
    };
    buildSetFrame(layout.set2Frame, QStringLiteral("T"), m_chkXT, m_chkYT, m_optPT);
    buildSetFrame(layout.set1Frame, QString(), m_chkX, m_chkY, m_optP);
    m_optTC.add(ui::makeOption(this, ui::indexedName(QStringLiteral("Opt_TC"), 0), QString(), layout.optTC0));
    m_optTC.add(ui::makeOption(this, ui::indexedName(QStringLiteral("Opt_TC"), 1), QString(), layout.optTC1));

    m_pictF = new ui::DrawingSurface(this);
    m_pictF->setObjectName(QStringLiteral("Pict_F"));
    ui::place(m_pictF, layout.pictF);
    m_pictS = new ui::DrawingSurface(this);
    m_pictS->setObjectName(QStringLiteral("Pict_S"));
    ui::place(m_pictS, layout.pictS);

    connect(m_hscrA, &QScrollBar::valueChanged, this, [this](int v) { ui::guarded(this, [&] { alphaScrolled(v); }); });
    connect(m_hscrM, &QScrollBar::valueChanged, this, [this](int v) { ui::guarded(this, [&] { machScrolled(v); }); });
    ui::onClick(m_optAlpha, [this] { enableAngle(true); });
    ui::onClick(m_optCl, [this] { enableAngle(false); });
    connect(cmdSmesh, &QPushButton::clicked, this, [this] { ui::guarded(this, [&] { plotCp(); }); });
    connect(cmdCpSave, &QPushButton::clicked, this, [this] { ui::guarded(this, [&] { saveCpSnapshot(); }); });
    connect(&m_optP, &ui::OptionGroup::clicked, this,
            [this](int i) { ui::guarded(this, [&] { pointOptionClicked(1, i); }); });
    connect(&m_optPT, &ui::OptionGroup::clicked, this,
            [this](int i) { ui::guarded(this, [&] { pointOptionClicked(2, i); }); });
    connect(&m_optTC, &ui::OptionGroup::clicked, this, [this](int) { ui::guarded(this, [&] { activeSetClicked(); }); });
    connect(m_pictS, &ui::DrawingSurface::mouseDown, this,
            [this](int button, int, double x, double y) { ui::guarded(this, [&] { pick(button, x, y); }); });
    connect(m_pictS, &ui::DrawingSurface::mouseMove, this,
            [this](int buttons, int, double x, double y) { ui::guarded(this, [&] { moveOverS(buttons, x, y); }); });
    connect(m_pictS, &ui::DrawingSurface::mouseUp, this,
            [this](int button, int, double, double) { ui::guarded(this, [&] { releaseOverS(button); }); });
    connect(m_pictF, &ui::DrawingSurface::mouseMove, this,
            [this](int, int, double x, double y) { ui::guarded(this, [&] { moveOverF(x, y); }); });

    // The proportions of the designed layout, kept for resizing.
    m_aspF = static_cast<double>(m_pictF->height()) / m_pictF->width();
    m_mrgW = width() - m_pictF->width();
    m_offS = m_pictS->y() - m_pictF->height();
    m_mrgH = height() - m_offS - m_pictS->height() - m_pictF->height();
    m_aspS = static_cast<double>(m_pictS->height()) / m_pictS->width();
    state().n_calc = 0;
    ui::fitCaptions(this);
}

EditorWindow::~EditorWindow() = default;

void EditorWindow::ensureLoaded()
{
    if (m_loaded)
        return;
    m_loaded = true;
    // The scroll bars take their positions from the designed texts; the change handlers then
    // show the values in the editor's own format, and recompute when the pressure window has
    // been opened before.
    m_hscrA->setValue(static_cast<int>(alphaPosition(number(m_txtAlpha))));
    m_hscrM->setValue(static_cast<int>(machPosition(number(m_txtM))));
    if (m_optCl->isChecked())
        enableAngle(false);
}

void EditorWindow::openForEditing()
{
    ensureLoaded();
    const SectionState& s = state();
    m_txtM->setText(fmt(s.mach(1), "0.00#"));
    m_txtCl->setText(fmt(s.alcl(1), "0.00#"));
    ui::setOptionValue(m_optCl, true);
    ui::setOptionValue(m_optAlpha, false);
    // Point 3 of each set is selected before the active set is chosen, so that the editor
    // opens on set 1 even where selecting a set-2 point activates set 2.
    initControlPoints();
    m_optP.setValue(2, true);
    m_optPT.setValue(2, true);
    m_optTC.setValue(0, true);
    setBoxes();
    m_history.clear();
    show();
}

void EditorWindow::setClosedHandler(std::function<void()> handler) { closedHandler() = std::move(handler); }

QString EditorWindow::machText() const { return m_txtM->text(); }
bool EditorWindow::liftPrescribed() const { return m_optCl->isChecked(); }
QString EditorWindow::alphaText() const { return m_txtAlpha->text(); }
QString EditorWindow::liftText() const { return m_txtCl->text(); }

void EditorWindow::showResults(float clift, float cdrag, float alpha)
{
    m_txtClift->setText(fmt(clift, "0.000#"));
    m_txtCdrag->setText(fmt(cdrag, "0.00000#"));
    const QString angle = fmt(alpha, "0.000#");
    m_txtAlpha->setText(angle);
    if (!std::isfinite(alpha))
        return;
    // An angle beyond the scroll bar's range puts the bar at its end; the box keeps the angle.
    const long wanted = alphaPosition(alpha);
    const int position = static_cast<int>(std::clamp<long>(wanted, kAlphaMin, kAlphaMax));
    m_hscrA->setValue(position);
    if (position != wanted)
        m_txtAlpha->setText(angle);
}

int EditorWindow::activeSet() const { return m_optTC.value(0) ? 1 : 2; }

int EditorWindow::shownSet() const { return m_optTC.value(0) ? 1 : (m_optTC.value(1) ? 2 : 0); }

void EditorWindow::activeSetClicked()
{
    plotF();
    setBoxes();
    plotS();
}

void EditorWindow::pick(int button, double x, double y)
{
    if (button == ui::kRightButton)
        m_history.begin(state());
    if (button != ui::kLeftButton)
        return;
    SectionState& s = state();
    const int set = activeSet();
    const ControlSet points = controlSet(set);
    // The thickness-like set (set 2) is picked more generously: its points sit on a curve of
    // larger values.
    const Single tolY = set == 1 ? 0.001f : 0.004f;
    const int k = pick_control_point(points.X, points.D, s.k_sec, static_cast<Single>(x), static_cast<Single>(y), tolY);
    if (k == 0)
        return;
    selectedPoint(set) = static_cast<Integer>(k);
    (set == 1 ? m_optP : m_optPT).setValue(k - 1, true);
    plotS();
}

void EditorWindow::showReadout(double x, double y, const QString& mask)
{
    const SectionState& s = state();
    const int n = s.k_sec;
    const std::string m = mask.toStdString();
    m_labelX->setText("x=" + fmt((x - s.x_c(n, s.n_up(n))) / s.chord(n), m.c_str()));
    m_labelY->setText("y=" + fmt((y - s.y_c(n, s.n_up(n))) / s.chord(n), m.c_str()));
}

void EditorWindow::moveOverS(int buttons, double x, double y)
{
    showReadout(x, y, QStringLiteral("#0.000"));
    if (buttons == ui::kRightButton)
        dragStep(x, y);
}

void EditorWindow::moveOverF(double x, double y)
{
    const QString mask = pictFReadoutMask();
    if (!mask.isEmpty())
        showReadout(x, y, mask);
}

void EditorWindow::dragStep(double x, double y)
{
    SectionState& s = state();
    // A drag whose press went elsewhere starts its step here.
    m_history.begin(s);
    const int set = activeSet();
    const ui::OptionGroup& options = set == 1 ? m_optP : m_optPT;
    const ui::CheckGroup& xs = set == 1 ? m_chkX : m_chkXT;
    const ui::CheckGroup& ys = set == 1 ? m_chkY : m_chkYT;
    std::array<bool, 7> selected{}, xTicked{}, yTicked{};
    for (int i = 0; i < kControlPoints; ++i) {
        const auto u = static_cast<std::size_t>(i);
        selected[u] = options.value(i);
        xTicked[u] = xs.value(i) == 1;
        yTicked[u] = ys.value(i) == 1;
    }
    const int k = moving_point(selected, xTicked, yTicked);
    if (k != 0) {
        const auto u = static_cast<std::size_t>(k - 1);
        drag_control_point(controlSet(set), s.k_sec, k, xTicked[u], yTicked[u], static_cast<Single>(x),
                           static_cast<Single>(y), set == 1 ? m_prev1 : m_prev2);
    }
    // Every step rebuilds and redraws everything, also when no point moved.
    calcSs();
    showThickness();
    plotF();
    plotS();
    setBoxes();
    cp::Graphic();
}

void EditorWindow::showThickness()
{
    SectionState& s = state();
    Single xpos = 0;
    const Single thickness = max_thick(s, s.k_sec, s.x_st, s.t_half, xpos);
    m_txtXthick->setText(fmt(xpos, "#0.000##"));
    m_txtYthick->setText(fmt(thickness, "#0.000##"));
}

void EditorWindow::releaseOverS(int button)
{
    if (button == ui::kRightButton)
        m_history.commit(state());
}

void EditorWindow::changeFlow(const FlowSettings& settings)
{
    SectionState& s = state();
    m_history.commit(s);
    m_history.begin(s);
    s.flow = settings;
    m_history.commit(s);
}

void EditorWindow::undo()
{
    if (m_history.undo(state()))
        showRestored();
}

void EditorWindow::redo()
{
    if (m_history.redo(state()))
        showRestored();
}

void EditorWindow::showRestored()
{
    // The restored state holds the surfaces and move boxes as they were: only shown, not rebuilt.
    showThickness();
    plotF();
    plotS();
    cp::Graphic();
}

void EditorWindow::keyPressEvent(QKeyEvent* event)
{
    switch (ui::historyKey(event)) {
    case ui::HistoryKey::Undo: ui::guarded(this, [&] { undo(); }); break;
    case ui::HistoryKey::Redo: ui::guarded(this, [&] { redo(); }); break;
    case ui::HistoryKey::None: QWidget::keyPressEvent(event); break;
    }
}

void EditorWindow::alphaScrolled(int value)
{
    m_txtAlpha->setText(fmt(alphaAt(value), "0.00#"));
    if (state().cp_win == 1)
        cp::Graphic();
}

void EditorWindow::machScrolled(int value)
{
    m_txtM->setText(fmt(machAt(value), "0.00#"));
    if (state().cp_win == 1)
        cp::Graphic();
}

void EditorWindow::enableAngle(bool enabled)
{
    m_hscrA->setEnabled(enabled);
    m_txtAlpha->setEnabled(enabled);
}

void EditorWindow::plotCp()
{
    ui::Windows::get<cp::FrmSmesh>().showModeless();
    state().cp_win = 1;
}

void EditorWindow::saveCpSnapshot()
{
    SectionState& s = state();
    for (int i = 1; i <= kCpPoints; ++i) {
        s.cp_x_sv(i) = s.cp_x(i);
        s.cp_sv(i) = s.cp(1, i);
    }
}

void EditorWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!m_loaded || m_inResize || width() <= m_mrgW)
        return;
    // Only the width is free: the height follows so that both pictures keep their shape.
    const int pictWidth = width() - m_mrgW;
    const int heightF = static_cast<int>(std::lround(pictWidth * m_aspF));
    const int heightS = static_cast<int>(std::lround(pictWidth * m_aspS));
    const int windowHeight = heightF + m_offS + heightS + m_mrgH;
    m_inResize = true;
    if (height() != windowHeight)
        resize(width(), windowHeight);
    m_inResize = false;
    m_pictF->resize(pictWidth, heightF);
    m_pictS->setGeometry(m_pictS->x(), m_offS + heightF, pictWidth, heightS);
    ui::guarded(this, [&] { redrawAfterResize(); });
}

void EditorWindow::closeEvent(QCloseEvent* event)
{
    if (closedHandler())
        closedHandler()();
    if (auto* pressure = ui::Windows::find<cp::FrmSmesh>())
        pressure->close();
    event->accept();
}

} // namespace camber::editor
