// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

namespace camber::smesh {

/// One surface's boundary layer, marched from the stagnation point to the trailing edge.
struct BoundaryLayerInput {
    std::vector<double> xi;   ///< distance from the stagnation point along the surface, chords; xi[0] = 0
    std::vector<double> ue;   ///< edge speed / free-stream speed, ue[0] = 0
    std::vector<double> xc;   ///< chordwise position x/c of each station (for forced transition)
    double reynolds = 1e6;    ///< Reynolds number based on the chord and the free-stream speed
    double ncrit = 9;         ///< amplification factor at which transition happens
    double forced = 0;        ///< forced transition x/c, or 0 for free transition
};

struct BoundaryLayerResult {
    std::vector<double> theta;  ///< momentum thickness, chords
    std::vector<double> h;      ///< shape factor delta* / theta
    std::vector<double> cf;     ///< skin friction referred to the local edge dynamic pressure
    double transition_xc = 1;   ///< x/c where the layer turned turbulent (1: laminar to the end)
    double separation_xc = 1;   ///< x/c where the turbulent layer separated (1: attached)
    bool finite = true;
};

/// Integral boundary layer:
/// - laminar: Thwaites' method (Thwaites 1949, Aeronaut. Q. 1) with the shape-factor and skin-
///   friction fits of White, Viscous Fluid Flow (1991), started from the Hiemenz stagnation value
///   theta^2 = 0.075 nu / (due/dxi);
/// - transition: the e^N envelope method of Drela & Giles (AIAA J. 25(10), 1987): amplification
///   dN/dRe_theta(H) past the critical Re_theta(H), at N = ncrit; also at laminar separation
///   (Thwaites lambda < -0.09, a short bubble) and at the forced position;
/// - turbulent: Head's entrainment method (Head 1958, ARC R&M 3152) with the fits of
///   H1(H) and of the entrainment function given by Cebeci & Bradshaw, Momentum Transfer in
///   Boundary Layers (1977), and the Ludwieg-Tillmann skin-friction law;
///   separation is taken at H = 2.4, past which H is held.
BoundaryLayerResult march_boundary_layer(const BoundaryLayerInput& in);

/// The inviscid flow stagnates at a trailing edge of finite angle; the real flow, displaced by
/// the boundary layers and the wake, does not. The layers would see that stagnation as a steep
/// adverse gradient over the last panels and separate, so past 97 % of the chord the edge speed
/// of the input continues with the gradient it has there.
void trailing_edge_speed(BoundaryLayerInput& in);

/// Drag of one surface from its trailing-edge state by Squire & Young (1937):
/// cd = 2 theta (ue)^((H + 5) / 2), theta in chords, ue over the free-stream speed.
double squire_young(double theta, double h, double ue);

} // namespace camber::smesh
