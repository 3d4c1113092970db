// SPDX-License-Identifier: MIT
#pragma once

#include "Solver.h"

#include <array>
#include <chrono>
#include <functional>
#include <vector>

namespace camber::smesh {

/// The potential flow along the wall, at the ring points of the full-potential grid. Ring points
/// are numbered 0 .. ni counter-clockwise from the trailing edge; point ni is point 0 seen from
/// below the wake cut (the lower trailing edge of a sharp section).
struct WallFlow {
    std::vector<double> s;     ///< arc length from ring point 0, chords (ni + 1 values)
    std::vector<double> speed; ///< wall speed over the free-stream speed, positive counter-clockwise
    std::vector<double> xc;    ///< chordwise position x/c
    int upper_te = 0;          ///< ring point where the upper boundary layer ends
    int lower_te = 0;          ///< ring point where the lower boundary layer ends
};

/// A mass defect rho_e u_e delta* (over rho_inf U_inf chord) at the ring points, 0 off the
/// layers, the ring point after which the stagnation point lies (the layers part there) and the
/// ring points where the layers end.
struct MassDefect {
    std::vector<double> m;
    int stagnation = -1;
    int upper_te = 0, lower_te = 0;
    /// x/c where each layer (upper, lower) turns turbulent, held while the layers are solved
    /// with the interaction law; negative: found by the e^N method on the way.
    std::array<double, 2> transition{-1, -1};
};

/// Both boundary layers about one wall flow, at the ring points (0 off the layers).
struct ViscousLayers {
    MassDefect defect;
    std::vector<double> theta, h;
    std::vector<double> cf;     ///< wall shear over the free-stream dynamic pressure
    double cd = 0;              ///< Squire-Young drag of both layers
    double cd_friction = 0;
    double transition_upper = 1, transition_lower = 1, separation_upper = 1, separation_lower = 1;
    /// Where the e^N method (or the forced position) puts transition on the final edge speeds;
    /// equal to the held transition once the coupling has settled.
    std::array<double, 2> free_transition{1, 1};
    bool finite = true;
};

/// Outcome of a viscous coupling.
struct CouplingResult {
    ViscousLayers layers;          ///< the layers of the last potential flow
    MassDefect defect;             ///< the mass defect whose transpiration that flow carries
    int iterations = 0;
    bool settled = false;          ///< the mass defect settled to the coupling tolerance
    bool loose = false;            ///< it settled only to 1 % of its size
    bool runaway = false;          ///< the layers grew without bound (massive separation)
};

/// Mass fluxes out of the wall at the ring points 0 .. ni - 1 for a mass defect: for each point
/// the growth of the defect in the flow direction over its two half panels, i.e. the defect at
/// the downstream panel mid-point less that at the upstream one (zero at the stagnation point).
std::vector<double> wall_flux(const MassDefect& defect);

/// Quasi-simultaneous boundary layers: each layer is marched on the edge speed
/// u_e = u_wall + A (m - m_imposed), where u_wall is the potential flow carrying the transpiration
/// of the mass defect m_imposed and A the thin-aerofoil interaction law (the Hilbert integral of
/// dm/dxi over pi beta), and solved together with it by Newton's method, so that the layer feels
/// its own displacement as the outer flow will. The transition points are held where imposed
/// says (see MassDefect::transition).
ViscousLayers interacting_layers(const WallFlow& wall, const MassDefect& imposed, const FlowCase& flow);

/// The viscous-inviscid coupling. resolve(flux, tolerance, wall) solves the potential flow with
/// the given wall mass fluxes (ring points 0 .. ni - 1; empty for none) to the given Newton-update
/// tolerance and returns its wall flow; false when it fails.
/// The layers and the interaction law give a new mass defect, whose transpiration the next
/// potential flow carries, until the defect settles. start is the defect to begin with (the last
/// solution's, or empty for none).
CouplingResult couple_viscous(const FlowCase& flow, const MassDefect& start,
                              const std::function<bool(const std::vector<double>&, double, WallFlow&)>& resolve,
                              std::chrono::steady_clock::time_point deadline);

} // namespace camber::smesh
