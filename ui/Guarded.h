// SPDX-License-Identifier: MIT
#pragma once

#include "geometry/Error.h"

#include <QString>

#include <exception>
#include <functional>

class QWidget;

namespace camber::ui {

/// Where the messages of failed operations go: by default a warning message box over parent.
using ErrorSink = std::function<void(QWidget* parent, const QString& message)>;

/// Replaces the error sink (tests collect the messages instead of showing boxes); an empty
/// sink restores the message box. Returns the previous sink.
ErrorSink setErrorSink(ErrorSink sink);

/// Shows the message of a failed operation; the only place the program opens a dialog.
void reportError(QWidget* parent, const QString& message);

/// Runs an event handler; an operation that fails inside it (camber::Error or any other
/// standard exception) is reported with reportError and the handler ends there.
template <typename Handler>
void guarded(QWidget* parent, Handler&& handler)
{
    try {
        handler();
    } catch (const Error& e) {
        reportError(parent, QString::fromStdString(e.what()));
    } catch (const std::exception& e) {
        reportError(parent, QStringLiteral("Unexpected failure: ") + QString::fromStdString(e.what()));
    }
}

} // namespace camber::ui
