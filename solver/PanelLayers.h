// SPDX-License-Identifier: MIT
#pragma once

#include "PanelMethod.h"
#include "SectionLayers.h"
#include "SectionLoads.h"
#include "Solver.h"

namespace camber::smesh {

/// The viscous flow of the panel method: the layers and the wake solved together with the
/// surface speeds (and the angle, when the lift is prescribed) in one Newton system.
///
/// Solves the flow about panelling p (unit chord) with the built panel method pm, at free-stream
/// Mach number mach (the compressibility correction's) and the flow case's angle or lift,
/// starting from angle alpha (radians; for a prescribed lift the inviscid one). The wake runs one
/// chord downstream along the inviscid streamline from the trailing edge. The result is finite
/// whether or not it converged.
SectionLayersResult solve_panel_layers(const Panelling& p, const PanelMethod& pm, const SectionLoads& loads,
                                       const FlowCase& flow, double mach, double alpha);

/// The wake behind panelling p for the panel method pm's inviscid flow at angle alpha (radians):
/// from the trailing-edge midpoint along the bisector of the edge, then along the streamline, the
/// steps growing geometrically from the length of the edge panels; one chord long.
std::vector<Point> trace_wake(const Panelling& p, const PanelMethod& pm, double alpha);

/// The settings of the layers for flow case flow at free-stream Mach number mach.
LayerSettings layer_settings(const FlowCase& flow, double mach);

} // namespace camber::smesh
