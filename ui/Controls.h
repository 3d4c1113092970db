// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>
#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QWidget;

/// Windows are laid out as designed, in twips (1/1440 inch), converted with the screen's
/// logical DPI so that they keep their proportions on any screen. Sizes of windows are sizes
/// of their client area.
///
/// Controls are ordinary Qt widgets whose object name is the control's name ("Cmd_Edit").
/// A control of an indexed group is named with its index in parentheses: "Opt_P(2)" is element
/// 2 of the group Opt_P (see indexedName). Tests and other windows find them with
/// findChild<T*>(name).
///
/// Event semantics: setting a value from code raises the control's change or click handler
/// only when the value changes (Qt's toggled and valueChanged signals behave so); option
/// buttons are exclusive among the option buttons of one container (their parent widget);
/// a disabled option button can still be selected from code.
namespace camber::ui {

/// A designed position in twips: left, top, width, height (relative to the container).
struct Twips {
    int left, top, width, height;
};

/// Twips to whole pixels along x and along y for the screen w is on.
int twipsToPixelsX(const QWidget* w, double twips);
int twipsToPixelsY(const QWidget* w, double twips);
/// Pixels to twips, unrounded.
double pixelsToTwipsX(const QWidget* w, double pixels);
double pixelsToTwipsY(const QWidget* w, double pixels);

/// Places a control at its designed position.
void place(QWidget* control, const Twips& at);
/// Sets the client-area size of a window from its designed size in twips.
void setClientSize(QWidget* window, int widthTwips, int heightTwips);

/// The named font at the given point size; a family the platform lacks falls back to its
/// sans-serif font at the same size.
QFont namedFont(const QString& family, double points);

/// The font the windows are designed for (MS Sans Serif, 8 points) or its fallback; windows
/// set it before creating their controls so that captions fit their designed sizes.
QFont designFont();

/// The object name of element index of the indexed group base: indexedName("Opt_P", 2) is "Opt_P(2)".
QString indexedName(const QString& base, int index);

/// A command button; a caption too wide for one line of a button tall enough for two is
/// broken at a blank, as such buttons have always shown it.
QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, const Twips& at);
/// A label at its designed size; a caption wider than that is fitted by fitCaptions (Captions.h).
QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, const Twips& at);
QLineEdit* makeTextBox(QWidget* parent, const QString& name, const QString& text, const Twips& at);
QRadioButton* makeOption(QWidget* parent, const QString& name, const QString& caption, const Twips& at);
QCheckBox* makeCheckBox(QWidget* parent, const QString& name, const QString& caption, const Twips& at);
/// A frame with a caption; controls placed inside take positions relative to it.
QGroupBox* makeFrame(QWidget* parent, const QString& name, const QString& caption, const Twips& at);
/// A drop-down list whose items are chosen, not typed.
QComboBox* makeDropDown(QWidget* parent, const QString& name, const Twips& at);

/// A horizontal scroll bar with minimum, maximum, small change (arrows), large change (page)
/// and value. Its valueChanged signal is raised only on a real change: by code, by an arrow or
/// page click, and once at the end of a thumb drag.
QScrollBar* makeHScroll(QWidget* parent, const QString& name, const Twips& at, int min, int max, int smallChange,
                        int largeChange, int value);

/// Runs handler whenever the option button becomes selected, by the user or from code.
void onClick(QRadioButton* option, std::function<void()> handler);
/// Selects or clears an option button from code. Selecting clears the other option buttons of
/// its container; clearing leaves the container without a selection.
void setOptionValue(QRadioButton* option, bool selected);

/// An indexed group of option buttons (Opt_P(0..6)) whose click handler gets the index.
/// The buttons may lie in one container or several; exclusivity is per container.
class OptionGroup : public QObject {
    Q_OBJECT
public:
    explicit OptionGroup(QObject* parent = nullptr) : QObject(parent) {}
    /// Adds the next element; its index is the number of elements added before it.
    void add(QRadioButton* option);
    QRadioButton* at(int index) const;
    int count() const { return static_cast<int>(m_buttons.size()); }
    bool value(int index) const;
    void setValue(int index, bool selected);

signals:
    /// Element index became selected.
    void clicked(int index);

private:
    QVector<QRadioButton*> m_buttons;
};

/// An indexed group of check boxes (Chk_X(0..6)) with values 0 and 1 and a click handler that
/// gets the index; it runs whenever the value changes, by the user or from code.
class CheckGroup : public QObject {
    Q_OBJECT
public:
    explicit CheckGroup(QObject* parent = nullptr) : QObject(parent) {}
    void add(QCheckBox* box);
    QCheckBox* at(int index) const;
    int count() const { return static_cast<int>(m_boxes.size()); }
    int value(int index) const;
    void setValue(int index, int value);

signals:
    void clicked(int index);

private:
    QVector<QCheckBox*> m_boxes;
};

} // namespace camber::ui
