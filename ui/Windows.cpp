// SPDX-License-Identifier: MIT
#include "Windows.h"

#include <map>

namespace camber::ui {

namespace {

std::map<std::type_index, QPointer<QWidget>>& windowSlots()
{
    static std::map<std::type_index, QPointer<QWidget>> all;
    return all;
}

} // namespace

QPointer<QWidget>& Windows::slotFor(std::type_index type) { return windowSlots()[type]; }

void Windows::closeAll()
{
    // Closing may run handlers that touch other windows, so walk a copy.
    const auto all = windowSlots();
    for (const auto& [type, window] : all) {
        if (window)
            window->close();
    }
}

} // namespace camber::ui
