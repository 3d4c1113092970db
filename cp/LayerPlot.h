// SPDX-License-Identifier: MIT
#pragma once

#include "solver/smesh.h"

#include <vector>

namespace camber::ui {
class DrawingSurface;
}

namespace camber::cp {

/// The two surfaces of a result: the upper from the stagnation point over the top, the lower
/// under it.
enum class Surface { Upper, Lower };

/// Skin friction and shape factor along one surface, in the order of the stations.
struct LayerCurve {
    std::vector<double> x, cf, h;
};

/// The curve of a surface's boundary layer: the layer stations when the result has them, else
/// the pressure points of that surface from the leading edge to the trailing edge (their skin
/// friction, and the shape factor where the momentum thickness is not zero). Empty when the
/// result holds no boundary layer (inviscid).
LayerCurve layer_curve(const SmeshResult& r, Surface surface);

/// The pressure coefficient of the result at chord position x on a surface, interpolated
/// linearly between the pressure points; the end value beyond them.
double cp_at(const SmeshResult& r, Surface surface, double x);

/// Top of the skin-friction axis: the first of a few round values that holds cf_max.
double cf_axis_top(double cf_max);

/// Draws the boundary-layer picture: skin friction (solid, left scale) and shape factor (dotted,
/// right scale) of the upper (blue) and lower (red) layer against x/c, with each layer's
/// transition (a vertical tick) and turbulent separation (a cross).
void plot_layers(ui::DrawingSurface& pict, const SmeshResult& r);

/// Marks each layer's transition (a circle) and separation (a cross) on the Cp curve of a
/// picture scaled as the Cp plot: negative Cp upwards, x/c across.
void mark_layer_events_on_cp(ui::DrawingSurface& pict, const SmeshResult& r);

} // namespace camber::cp
