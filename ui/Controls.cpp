// SPDX-License-Identifier: MIT
#include "Controls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <cassert>
#include <cmath>

namespace camber::ui {

namespace {

constexpr double kTwipsPerInch = 1440.0;

template <typename T>
T* named(T* control, const QString& name, const Twips& at)
{
    control->setObjectName(name);
    place(control, at);
    return control;
}

} // namespace

int twipsToPixelsX(const QWidget* w, double twips)
{
    return static_cast<int>(std::lround(twips * w->logicalDpiX() / kTwipsPerInch));
}

int twipsToPixelsY(const QWidget* w, double twips)
{
    return static_cast<int>(std::lround(twips * w->logicalDpiY() / kTwipsPerInch));
}

double pixelsToTwipsX(const QWidget* w, double pixels) { return pixels * kTwipsPerInch / w->logicalDpiX(); }

double pixelsToTwipsY(const QWidget* w, double pixels) { return pixels * kTwipsPerInch / w->logicalDpiY(); }

void place(QWidget* control, const Twips& at)
{
    // Edges are converted, not sizes, so that controls designed edge to edge stay so.
    const int left = twipsToPixelsX(control, at.left);
    const int top = twipsToPixelsY(control, at.top);
    const int right = twipsToPixelsX(control, at.left + at.width);
    const int bottom = twipsToPixelsY(control, at.top + at.height);
    control->setGeometry(left, top, right - left, bottom - top);
}

void setClientSize(QWidget* window, int widthTwips, int heightTwips)
{
    window->resize(twipsToPixelsX(window, widthTwips), twipsToPixelsY(window, heightTwips));
}

QFont namedFont(const QString& family, double points)
{
    QFont font;
    if (QFontDatabase::families().contains(family, Qt::CaseInsensitive))
        font.setFamily(family);
    else
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    return font;
}

QFont designFont() { return namedFont(QStringLiteral("MS Sans Serif"), 8); }

QString indexedName(const QString& base, int index) { return base + '(' + QString::number(index) + ')'; }

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, const Twips& at)
{
    auto* button = named(new QPushButton(caption, parent), name, at);
    const QFontMetrics metrics(button->font());
    const int room = button->width() - 2 * metrics.averageCharWidth();
    const int blank = caption.lastIndexOf(' ');
    if (metrics.horizontalAdvance(caption) > room && button->height() >= 2 * metrics.height() && blank > 0) {
        QString wrapped = caption;
        wrapped[blank] = '\n';
        button->setText(wrapped);
    }
    return button;
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, const Twips& at)
{
    auto* label = new QLabel(caption, parent);
    label->setTextFormat(Qt::PlainText);
    return named(label, name, at);
}

QLineEdit* makeTextBox(QWidget* parent, const QString& name, const QString& text, const Twips& at)
{
    return named(new QLineEdit(text, parent), name, at);
}

QRadioButton* makeOption(QWidget* parent, const QString& name, const QString& caption, const Twips& at)
{
    auto* option = named(new QRadioButton(caption, parent), name, at);
    // Qt's automatic exclusivity also counts option buttons inside child frames, so a window
    // with its own option buttons beside framed ones would let two of them be set at once:
    // the option buttons of one container form an explicit exclusive group instead.
    const QString groupName = QStringLiteral("optionButtons");
    auto* group = parent->findChild<QButtonGroup*>(groupName, Qt::FindDirectChildrenOnly);
    if (!group) {
        group = new QButtonGroup(parent);
        group->setObjectName(groupName);
    }
    group->addButton(option);
    return option;
}

QCheckBox* makeCheckBox(QWidget* parent, const QString& name, const QString& caption, const Twips& at)
{
    return named(new QCheckBox(caption, parent), name, at);
}

QGroupBox* makeFrame(QWidget* parent, const QString& name, const QString& caption, const Twips& at)
{
    return named(new QGroupBox(caption, parent), name, at);
}

QComboBox* makeDropDown(QWidget* parent, const QString& name, const Twips& at)
{
    auto* combo = new QComboBox(parent);
    combo->setEditable(false);
    return named(combo, name, at);
}

QScrollBar* makeHScroll(QWidget* parent, const QString& name, const Twips& at, int min, int max, int smallChange,
                        int largeChange, int value)
{
    assert(min <= max);
    auto* bar = named(new QScrollBar(Qt::Horizontal, parent), name, at);
    // A thumb drag reports one change when it ends, not one per step on the way.
    bar->setTracking(false);
    bar->setRange(min, max);
    bar->setSingleStep(smallChange);
    bar->setPageStep(largeChange);
    bar->setValue(value);
    return bar;
}

void onClick(QRadioButton* option, std::function<void()> handler)
{
    QObject::connect(option, &QRadioButton::toggled, option, [handler = std::move(handler)](bool on) {
        if (on)
            handler();
    });
}

void setOptionValue(QRadioButton* option, bool selected)
{
    if (selected || !option->isChecked()) {
        option->setChecked(selected);
        return;
    }
    // Qt refuses to clear the selected button of an exclusive container.
    if (QButtonGroup* group = option->group()) {
        group->setExclusive(false);
        option->setChecked(false);
        group->setExclusive(true);
        return;
    }
    option->setAutoExclusive(false);
    option->setChecked(false);
    option->setAutoExclusive(true);
}

void OptionGroup::add(QRadioButton* option)
{
    const int index = count();
    m_buttons.push_back(option);
    onClick(option, [this, index] { emit clicked(index); });
}

QRadioButton* OptionGroup::at(int index) const
{
    assert(index >= 0 && index < count());
    return m_buttons[index];
}

bool OptionGroup::value(int index) const { return at(index)->isChecked(); }

void OptionGroup::setValue(int index, bool selected) { setOptionValue(at(index), selected); }

void CheckGroup::add(QCheckBox* box)
{
    const int index = count();
    m_boxes.push_back(box);
    connect(box, &QCheckBox::toggled, this, [this, index] { emit clicked(index); });
}

QCheckBox* CheckGroup::at(int index) const
{
    assert(index >= 0 && index < count());
    return m_boxes[index];
}

int CheckGroup::value(int index) const { return at(index)->isChecked() ? 1 : 0; }

void CheckGroup::setValue(int index, int value)
{
    assert(value == 0 || value == 1);
    at(index)->setChecked(value == 1);
}

} // namespace camber::ui
