// SPDX-License-Identifier: MIT
#include "Guarded.h"

#include <QMessageBox>

namespace camber::ui {

namespace {

ErrorSink& sink()
{
    static ErrorSink current;
    return current;
}

} // namespace

ErrorSink setErrorSink(ErrorSink next)
{
    ErrorSink previous = std::move(sink());
    sink() = std::move(next);
    return previous;
}

void reportError(QWidget* parent, const QString& message)
{
    if (sink())
        sink()(parent, message);
    else
        QMessageBox::warning(parent, QStringLiteral("Camber"), message);
}

} // namespace camber::ui
