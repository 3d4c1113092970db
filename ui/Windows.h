// SPDX-License-Identifier: MIT
#pragma once

#include <QPointer>
#include <QWidget>

#include <typeindex>
#include <typeinfo>

namespace camber::ui {

/// The program's single-instance windows (Form_inp, Form_PW, the editors, the pressure window).
///
/// A window is created on first use, hidden; its constructor is its load handler, so a window
/// that another window merely talks to is loaded without being shown. Closing a window
/// destroys it, and the next use creates and loads it again. A window class W needs a
/// constructor callable without arguments.
class Windows {
public:
    /// The window of class W, created (not shown) when it does not exist.
    template <typename W>
    static W& get()
    {
        QPointer<QWidget>& slot = slotFor(typeid(W));
        if (!slot) {
            auto* window = new W();
            window->setAttribute(Qt::WA_DeleteOnClose);
            slot = window;
        }
        return static_cast<W&>(*slot);
    }

    /// The window of class W when it exists, else nullptr.
    template <typename W>
    static W* find()
    {
        return static_cast<W*>(slotFor(typeid(W)).data());
    }

    /// Closes (and so destroys) every window, for quitting.
    static void closeAll();

private:
    static QPointer<QWidget>& slotFor(std::type_index type);
};

} // namespace camber::ui
