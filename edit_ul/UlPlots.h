// SPDX-License-Identifier: MIT
#pragma once

#include "geometry/SectionState.h"

namespace camber::ui {
class DrawingSurface;
}

namespace camber::edit_ul {

/// Frame of the surface plot: x 0..1, y -0.1..0.15, grid, left labels, the title of the
/// active set (1 "LOWER SURFACE", otherwise "UPPER SURFACE") and the legend.
void MkFrame_Y(ui::DrawingSurface& pict, int activeSet);

/// Frame of the distribution plot: mode 0 the half-thickness frame (clears, grid, blue labels
/// 0..0.1 on the left), otherwise the camber scale (-0.02..0.06, red labels on the right, drawn
/// over the half-thickness frame).
void MkFrame_TC(ui::DrawingSurface& pict, int mode);

/// Both surfaces, initial (black, with station crosses) and modified (blue), and for the
/// active set (1 lower, 2 upper, 0 none) its displacement curve (red), control points (the
/// selected one red) and control polygon.
void Plot_S(ui::DrawingSurface& pict, const SectionState& s, int activeSet);

/// Half-thickness (blue) and camber (red), current solid and initial dotted, on two scales.
void Plot_F(ui::DrawingSurface& pict, const SectionState& s);

} // namespace camber::edit_ul
