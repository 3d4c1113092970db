// SPDX-License-Identifier: MIT
#pragma once

#include "FpNewton.h"
#include "SectionLayers.h"

namespace camber::smesh::fp {

/// The layers' displacement as a potential flow carries it: mass defects q delta* (chords) at the
/// nodes of the panelling and the points of the wake, the mass fluxes out of the wall and the
/// wake's line they give (SectionLayers::massFluxes), and the layers that gave them; all empty
/// for none.
struct Transpiration {
    Eigen::VectorXd nodeDefect, wakeDefect;
    Eigen::VectorXd nodeFlux, wakeFlux;
    LayerSnapshot layers;
};

/// What a solution leaves for the next, a drag step away: the stations' grid nodes and the
/// potential's answer to their mass defects (dx / dm and the stations' dq / dm) through the
/// factorisation the solution ended with.
struct CouplingMemory {
    std::vector<int> gridNode;
    RowMatrix perDefect;
    Eigen::MatrixXd coupling;
};

/// Outcome of the viscous full-potential solution.
struct CoupledResult {
    SectionLayersResult layers; ///< the layers at the last iterate
    Transpiration carried;      ///< their displacement, which the potential of the last iterate carries
    std::vector<double> flux;   ///< its mass fluxes at the grid nodes
    bool converged = false;
    bool loose = false;         ///< not converged, but the last updates were within 1 % of the defects
    int iterations = 0;
};

/// The potential flow, the boundary layers of both surfaces and the wake along the cut solved
/// together by Newton's method: the layers' equations, the edge speeds taken from the potential
/// (d's outer-flow matrix) and the potential's equations, whose wall and cut carry the layers'
/// mass fluxes. The potential's part of each update is eliminated through its factorised
/// Jacobian lu: the layers see the potential's exact linearised answer to their displacement
/// (one triangular solve per station, repeated only when lu is refactorised or the stations
/// change), and the potential follows from theirs. lu is refactorised when the updates stop
/// contracting (factorised then says so). earlier: a factorisation of a nearby solution (a drag
/// step before) to begin with instead, its answers in memory (in/out) when they fit the
/// stations.
///
/// x: the converged inviscid (or an earlier viscous) potential on entry, the solution on
/// return. p: the panelling of the grid's wall nodes (unit chord); flow: Mach number, Reynolds
/// number, Ncrit, forced transition. start: the displacement of an earlier solution with its
/// layers (empty: the layers are marched on the inviscid speeds). Work is bounded by an
/// iteration count (budget).
CoupledResult solve_coupled(Discretisation& d, LinearSolver& lu, bool& factorised, const LinearSolver* earlier,
                            CouplingMemory& memory, Eigen::VectorXd& x, const OGrid& g, const Panelling& p,
                            const FlowCase& flow, const Transpiration& start, int& iterations, const Budget& budget);

} // namespace camber::smesh::fp
