// SPDX-License-Identifier: MIT
#include "Captions.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <algorithm>

namespace camber::ui {

namespace {

constexpr double kSmallestPoints = 6.0;
constexpr double kStep = 0.5;

struct TextSize {
    int width = 0;
    int height = 0;
};

TextSize measure(const QWidget* w, const QString& text)
{
    const QFontMetrics metrics(w->font());
    TextSize size;
    const QStringList lines = text.split('\n');
    for (const QString& line : lines)
        size.width = std::max(size.width, metrics.horizontalAdvance(line));
    size.height = static_cast<int>(lines.size()) * metrics.height();
    return size;
}

int metric(const QWidget* w, QStyle::PixelMetric m) { return w->style()->pixelMetric(m, nullptr, w); }

} // namespace

bool captionFits(const QWidget* w)
{
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        const TextSize t = measure(w, label->text());
        const QRect room = label->contentsRect();
        return label->text().isEmpty() || (t.width <= room.width() && t.height <= room.height() + 2);
    }
    if (const auto* box = qobject_cast<const QLineEdit*>(w)) {
        const TextSize t = measure(w, box->text());
        const int frame = box->hasFrame() ? metric(w, QStyle::PM_DefaultFrameWidth) : 0;
        const int margins = box->textMargins().left() + box->textMargins().right();
        // QLineEdit keeps two pixels free on either side of its text.
        return box->text().isEmpty() || t.width + 2 * frame + margins + 4 <= box->width();
    }
    if (const auto* list = qobject_cast<const QComboBox*>(w)) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.editable = list->isEditable();
        const QRect field = w->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, w);
        return list->currentText().isEmpty() || measure(w, list->currentText()).width + 4 <= field.width();
    }
    if (const auto* frame = qobject_cast<const QGroupBox*>(w)) {
        const TextSize t = measure(w, frame->title());
        return frame->title().isEmpty() || t.width + 2 * QFontMetrics(w->font()).averageCharWidth() <= frame->width();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        const QString text = button->text().remove('&');
        if (text.isEmpty())
            return true;
        const TextSize t = measure(w, text);
        int extra = 0;
        if (qobject_cast<const QCheckBox*>(w))
            extra = metric(w, QStyle::PM_IndicatorWidth) + metric(w, QStyle::PM_CheckBoxLabelSpacing);
        else if (qobject_cast<const QRadioButton*>(w))
            extra = metric(w, QStyle::PM_ExclusiveIndicatorWidth) + metric(w, QStyle::PM_RadioButtonLabelSpacing);
        else
            extra = 2 * metric(w, QStyle::PM_DefaultFrameWidth) + metric(w, QStyle::PM_ButtonMargin);
        return t.width + extra <= button->width() && t.height <= button->height();
    }
    return true;
}

void fitCaptions(QWidget* window)
{
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (captionFits(w))
            continue;
        // A frame passes its font on to the controls inside; they keep the one they have.
        if (qobject_cast<QGroupBox*>(w))
            for (QWidget* inside : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                inside->setFont(inside->font());
        QFont font = w->font();
        while (!captionFits(w) && font.pointSizeF() - kStep >= kSmallestPoints) {
            font.setPointSizeF(font.pointSizeF() - kStep);
            w->setFont(font);
        }
    }
}

} // namespace camber::ui
