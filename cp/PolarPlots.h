// SPDX-License-Identifier: MIT
#pragma once

#include "Polar.h"

#include <optional>
#include <vector>

namespace camber::ui {
class DrawingSurface;
}

namespace camber::cp {

/// A plot axis: from low to high with grid lines every step.
struct PlotAxis {
    double low = 0, high = 1, step = 0.2;
};

/// An axis around the values from low to high: its ends whole multiples of a step of 1, 2 or 5
/// times a power of ten that gives four to ten divisions. An empty or zero range gets a span
/// around its value.
PlotAxis nice_axis(double low, double high);

/// A polar as its window shows it.
struct PolarCurve {
    PolarKind kind = PolarKind::Lift;
    std::vector<PolarPoint> points;     ///< in sweep order; failed points (negative status) too
    std::optional<double> divergence;   ///< of a Mach sweep
};

/// Plots a polar and the one computed before it (greyed; none when empty) on two pictures.
/// Lift and angle sweeps: CL against CD on drag, CL against the angle of attack on angle. Mach
/// sweeps: CD and its wave part against M with the divergence Mach number marked on drag, the
/// angle of attack against M on angle. Converged points are joined in sweep order; failed ones
/// are marked red.
void plot_polar(ui::DrawingSurface& drag, ui::DrawingSurface& angle, const PolarCurve& current,
                const PolarCurve& previous);

} // namespace camber::cp
