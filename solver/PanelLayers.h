// SPDX-License-Identifier: MIT
#pragma once

#include "PanelMethod.h"
#include "SectionLoads.h"
#include "Solver.h"

#include <Eigen/Dense>

#include <array>
#include <vector>

namespace camber::smesh {

/// The viscous flow of the panel method: the layers and the wake solved together with the
/// surface speeds (and the angle, when the lift is prescribed) in one Newton system.
struct PanelLayersResult {
    bool converged = false;
    double alpha = 0;             ///< radians
    Eigen::VectorXd gamma;        ///< node speeds, as the panel method's
    std::vector<double> cf;       ///< per node: skin friction over the free-stream dynamic pressure
    std::vector<double> theta, dstar; ///< per node, chords
    double cd = 0, cd_friction = 0;
    std::array<double, 2> transition{1, 1}, separation{1, 1}; ///< x/c, upper and lower
    Layers layers;                ///< in the unit-chord frame of the panelling
    int iterations = 0;
};

/// Solves the viscous flow about panelling p (unit chord) with the built panel method pm, at
/// free-stream Mach number mach (the compressibility correction's) and the flow case's angle or
/// lift, starting from angle alpha (radians; for a prescribed lift the inviscid one).
/// The wake runs one chord downstream along the inviscid streamline from the trailing edge. The
/// result is finite whether or not it converged.
PanelLayersResult solve_panel_layers(const Panelling& p, const PanelMethod& pm, const SectionLoads& loads,
                                     const FlowCase& flow, double mach, double alpha);

} // namespace camber::smesh
