// SPDX-License-Identifier: MIT
#include "FlowFrame.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>

#include <algorithm>
#include <cmath>
#include <optional>

namespace camber::cp {

namespace {

constexpr double kMillion = 1e6;
// The free-stream disturbance levels the e^N transition method is calibrated for.
constexpr double kLowestNcrit = 1, kHighestNcrit = 20;
constexpr int kLevels = 3;
const QString kMarked = QStringLiteral("background-color: rgb(255, 200, 200);");

// A number typed with a point as the decimal separator, whatever the locale; nothing for any
// other text.
std::optional<double> typedNumber(const QString& text)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QString shown(double v) { return QString::number(v, 'g', 6); }

} // namespace

FlowFrame::FlowFrame(QWidget* parent, const ui::Twips& at) : QGroupBox(QStringLiteral("Flow conditions"), parent)
{
    setObjectName(QStringLiteral("Frm_flow"));
    ui::place(this, at);
    const auto row = [this](const char* label, const char* caption, const char* box, int top) {
        ui::makeLabel(this, QString::fromLatin1(label), QString::fromLatin1(caption), {120, top, 1800, 255});
        auto* edit = ui::makeTextBox(this, QString::fromLatin1(box), QString(), {1920, top - 30, 720, 285});
        connect(edit, &QLineEdit::editingFinished, this, [this, edit] { textEdited(edit); });
        return edit;
    };
    m_re = row("Lbl_Re", "Reynolds (millions)", "Txt_Re", 300);
    m_ncrit = row("Lbl_Ncrit", "Ncrit", "Txt_Ncrit", 660);
    m_xtrUpper = row("Lbl_XtrU", "Transition x/c upper", "Txt_XtrU", 1020);
    m_xtrLower = row("Lbl_XtrL", "Transition x/c lower", "Txt_XtrL", 1380);
    m_xtrUpper->setPlaceholderText(QStringLiteral("free"));
    m_xtrLower->setPlaceholderText(QStringLiteral("free"));
    m_viscous = ui::makeCheckBox(this, QStringLiteral("Chk_Viscous"), QStringLiteral("Viscous"), {120, 1740, 1800, 255});
    ui::makeLabel(this, QStringLiteral("Lbl_Level"), QStringLiteral("Resolution"), {120, 2100, 960, 255});
    for (int i = 0; i < kLevels; ++i)
        m_level.add(ui::makeOption(this, ui::indexedName(QStringLiteral("Opt_Level"), i), QString::number(i + 1),
                                   {1200 + 480 * i, 2100, 480, 255}));
    m_note = ui::makeLabel(this, QStringLiteral("Lbl_FlowNote"), QString(), {120, 2400, 2520, 255});
    m_note->setStyleSheet(QStringLiteral("color: rgb(192, 0, 0);"));

    fill(FlowSettings{});
    connect(m_viscous, &QCheckBox::toggled, this, [this](bool on) {
        FlowSettings next = m_shown;
        next.viscous = on;
        accept(next);
    });
    connect(&m_level, &ui::OptionGroup::clicked, this, [this](int index) {
        FlowSettings next = m_shown;
        next.level = index + 1;
        accept(next);
    });
}

void FlowFrame::show(const FlowSettings& settings)
{
    if (settings != m_shown)
        fill(settings);
}

void FlowFrame::fill(const FlowSettings& settings)
{
    m_showing = true;
    m_shown = settings;
    m_re->setText(shown(settings.reynolds / kMillion));
    m_ncrit->setText(shown(settings.ncrit));
    m_xtrUpper->setText(settings.transition_upper > 0 ? shown(settings.transition_upper) : QString());
    m_xtrLower->setText(settings.transition_lower > 0 ? shown(settings.transition_lower) : QString());
    m_viscous->setChecked(settings.viscous);
    const int level = static_cast<int>(settings.level);
    for (int i = 0; i < kLevels; ++i)
        m_level.setValue(i, i + 1 == level);
    for (QLineEdit* box : boxes())
        unmark(box);
    m_note->clear();
    m_showing = false;
}

void FlowFrame::textEdited(QLineEdit* box)
{
    const QString text = box->text().trimmed();
    const std::optional<double> v = typedNumber(text);
    FlowSettings next = m_shown;
    if (box == m_re) {
        if (!v || *v <= 0)
            return refuse(box, QStringLiteral("Reynolds number: millions, above 0"));
        next.reynolds = *v * kMillion;
    } else if (box == m_ncrit) {
        if (!v || *v < kLowestNcrit || *v > kHighestNcrit)
            return refuse(box, QStringLiteral("Ncrit: 1 to 20"));
        next.ncrit = *v;
    } else {
        // An empty box lets the layer's own transition prediction place it.
        const bool free = text.isEmpty();
        if (!free && (!v || *v < 0 || *v > 1))
            return refuse(box, QStringLiteral("Transition: x/c from 0 to 1, or empty"));
        (box == m_xtrUpper ? next.transition_upper : next.transition_lower) = free ? 0.0 : *v;
    }
    unmark(box);
    const auto all = boxes();
    if (std::none_of(all.begin(), all.end(), [](QLineEdit* b) { return !b->styleSheet().isEmpty(); }))
        m_note->clear();
    accept(next);
}

void FlowFrame::accept(const FlowSettings& settings)
{
    if (m_showing || settings == m_shown)
        return;
    m_shown = settings;
    emit changed(settings);
}

void FlowFrame::refuse(QLineEdit* box, const QString& why)
{
    box->setStyleSheet(kMarked);
    box->setToolTip(why);
    m_note->setText(why);
}

void FlowFrame::unmark(QLineEdit* box)
{
    box->setStyleSheet(QString());
    box->setToolTip(QString());
}

} // namespace camber::cp
