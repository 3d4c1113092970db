// SPDX-License-Identifier: MIT
#pragma once

#include <QKeyEvent>

namespace camber::ui {

/// What a key press asks of an undo history.
enum class HistoryKey { None, Undo, Redo };

/// Ctrl+Z undoes; Ctrl+Shift+Z and Ctrl+Y redo, as on the common Linux desktops.
inline HistoryKey historyKey(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    if (event->key() == Qt::Key_Z && mods == Qt::ControlModifier)
        return HistoryKey::Undo;
    if ((event->key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier))
        || (event->key() == Qt::Key_Y && mods == Qt::ControlModifier))
        return HistoryKey::Redo;
    return HistoryKey::None;
}

} // namespace camber::ui
