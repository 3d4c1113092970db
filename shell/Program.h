// SPDX-License-Identifier: MIT
#pragma once

namespace camber {

/// Connects the windows that call each other: Geometry Edition opens the chosen editor, the
/// pressure calculation reads the editor chosen on the start-up window, and closing an editor
/// gives the start-up window its file controls back.
void connect_windows();

} // namespace camber
