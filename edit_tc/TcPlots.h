// SPDX-License-Identifier: MIT
#pragma once

#include "geometry/SectionState.h"

namespace camber::ui {
class DrawingSurface;
}

namespace camber::edit_tc {

/// Frame of the section picture: x 0..1, y -0.1..0.1, grid and left labels.
void MkFrame_F(ui::DrawingSurface& pict);
/// Frame of the camber view: y -0.03..0.03, title "CAMBER" and legend.
void MkFrame_C(ui::DrawingSurface& pict);
/// Frame of the thickness view: y -0.1..0.1, title "THICKNESS" and legend.
void MkFrame_T(ui::DrawingSurface& pict);

/// The section: initial surfaces black with station crosses, modified surfaces blue.
void Plot_F(ui::DrawingSurface& pict, const SectionState& s);
/// The camber view: initial camber (black), its displacement (red), the modified camber less
/// the straight line through its end values (blue), and the camber control polygon.
void Plot_C(ui::DrawingSurface& pict, const SectionState& s);
/// The thickness view: initial half-thickness (black), its displacement (red), the modified
/// half-thickness (blue), and the thickness control polygon at the points' chord positions.
void Plot_T(ui::DrawingSurface& pict, const SectionState& s);

} // namespace camber::edit_tc
