// SPDX-License-Identifier: MIT
#pragma once

#include "ui/Guarded.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStringList>
#include <QWidget>

#include <gtest/gtest.h>

namespace camber::test {

/// The control named name in a window (a test failure when there is none).
template <typename T>
T* in(QWidget& window, const char* name)
{
    auto* c = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

/// Sends a mouse event straight to a widget at a (possibly fractional) local position.
/// QTest's own mouse moves drop held modifier keys, so the tests build the events themselves.
inline void sendMouse(QWidget* w, QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons buttons,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(type, pos, w->mapToGlobal(pos), button, buttons, modifiers);
    QApplication::sendEvent(w, &event);
}

/// A press at from, a move and a release at to with one button and fixed modifier keys.
inline void drag(QWidget* w, QPointF from, QPointF to, Qt::MouseButton button,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    sendMouse(w, QEvent::MouseButtonPress, from, button, button, modifiers);
    sendMouse(w, QEvent::MouseMove, to, Qt::NoButton, button, modifiers);
    sendMouse(w, QEvent::MouseButtonRelease, to, button, Qt::NoButton, modifiers);
}

/// A key press and release sent straight to a widget.
inline void pressKey(QWidget* w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(w, &release);
}

/// Replaces the text of a text box as a user does: everything selected, the new text typed
/// key by key, Enter pressed.
inline void typeInto(QLineEdit* box, const QString& text)
{
    box->selectAll();
    pressKey(box, Qt::Key_Delete);
    for (const QChar c : text)
        pressKey(box, c.toUpper().unicode(), Qt::NoModifier, QString(c));
    pressKey(box, Qt::Key_Return);
}

/// Collects the messages of failed operations instead of showing message boxes, while alive.
class ErrorCollector {
public:
    ErrorCollector()
    {
        m_previous = ui::setErrorSink([this](QWidget*, const QString& message) { m_messages << message; });
    }
    ~ErrorCollector() { ui::setErrorSink(m_previous); }
    ErrorCollector(const ErrorCollector&) = delete;
    ErrorCollector& operator=(const ErrorCollector&) = delete;

    const QStringList& messages() const { return m_messages; }

private:
    QStringList m_messages;
    ui::ErrorSink m_previous;
};

/// Lets deleteLater and other posted events run.
inline void processDeferred()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace camber::test
