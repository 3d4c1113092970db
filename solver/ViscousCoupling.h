// SPDX-License-Identifier: MIT
#pragma once

#include "Contour.h"
#include "SectionLayers.h"
#include "Solver.h"

#include <Eigen/Dense>

#include <chrono>
#include <functional>
#include <vector>

namespace camber::smesh {

/// The layers' displacement as an outer flow carries it: mass defects q delta* (chords) at the
/// nodes of the panelling and the points of the wake, and the mass fluxes out of the wall and
/// the wake's line they give (SectionLayers::massFluxes); all empty for none.
struct Transpiration {
    Eigen::VectorXd nodeDefect, wakeDefect;
    Eigen::VectorXd nodeFlux, wakeFlux;
    LayerSnapshot layers; ///< the layers that gave them
};

/// What an outer flow gives the layers: the speeds at the nodes (counter-clockwise positive)
/// and along the wake at its points, and the angle of attack it was solved at (radians).
struct OuterFlow {
    Eigen::VectorXd nodes, wake;
    double alpha = 0;
};

/// Outcome of a viscous coupling.
struct CouplingResult {
    SectionLayersResult layers; ///< the layers of the last outer flow
    Transpiration carried;      ///< the displacement that flow carries
    int iterations = 0;
    bool settled = false;       ///< the mass defects settled to the coupling tolerance
    bool loose = false;         ///< they settled only to 1 % of their size
    bool failed = false;        ///< the layers could not be solved or ran away (massive separation)
};

/// Solves the outer flow with the given wall and wake mass fluxes (per node and wake point) to
/// the given Newton-update tolerance into outer; false when it fails.
using OuterSolve = std::function<bool(const Eigen::VectorXd& nodeFlux, const Eigen::VectorXd& wakeFlux, double tolerance,
                                      OuterFlow& outer)>;

/// The quasi-simultaneous coupling of the layers about panelling p (unit chord) and along the
/// wake through the points wake (from the trailing edge) with an outer flow that resolve solves:
/// the layers are solved together with an interaction law, the panel method's answer to their
/// displacement scaled by 1 / beta (Prandtl-Glauert), on the speeds of an outer flow that
/// carries a displacement; the outer flow is solved again with the new displacement until the
/// mass defects settle. start is the displacement to begin with (the last solution's, or
/// empty). flow gives the Reynolds number, Ncrit, forced transition and the free-stream Mach
/// number. Gives up at the deadline.
CouplingResult couple_viscous(const Panelling& p, const std::vector<Point>& wake, const FlowCase& flow,
                              const Transpiration& start, const OuterSolve& resolve,
                              std::chrono::steady_clock::time_point deadline);

} // namespace camber::smesh
