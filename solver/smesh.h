// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#define SMESH_EXPORT __attribute__((visibility("default")))

/// The flow solver of the program: pressure distribution, lift, drag and angle of attack of one
/// wing section for one flow case. Every argument is passed by address. Arrays are 1-based as the
/// program sees them; pointer p points at element 1. In the 2-D arrays the first index varies
/// fastest: element (c, i) of a (10, N) array lies (c - 1) + 10 (i - 1) elements after (1, 1).
/// Lengths are in the units of the contour; coefficients refer to the chord, the distance from
/// the leading edge (the contour point farthest from the trailing-edge midpoint) to the
/// trailing-edge midpoint. Angles are in degrees, measured from the x axis of the contour.
///
/// The call never ends the process, never prints and returns in bounded time whatever the input:
/// on return every output is finite, n_cp is 129 and cp_x, cp_y, cp(1, .), sm_out1 are filled.
///
/// @param n_case   in: number of flow cases; only case 1 is computed (other values are accepted).
/// @param k_alcl   in: 1 when alcl(1) is the angle of attack, 0 when it is the lift coefficient
///                 to reach (the angle is then found by iteration, |CL - target| < 1e-4).
/// @param sm_opt0  in: method; 1 the panel method (subcritical flow only), any other value
///                 (0 as the program passes it) the transonic full-potential method with shock
///                 capturing; it keeps its last solution and starts the next call from it when
///                 the section and flow case changed little.
/// @param mach     in: mach(1), free-stream Mach number, 0 to 0.95 meaningful.
/// @param alcl     in: alcl(1), angle of attack in degrees or lift coefficient, after k_alcl.
/// @param sm_opt1  in: Reynolds number in millions, based on the chord (30 for a transport
///                 wing section at cruise). Zero or less with sm_opt2 = 1 gives an inviscid
///                 result and status 2.
/// @param sm_opt2  in: 1 viscous (boundary layers, drag), 0 inviscid (drag 0).
/// @param sm_opt3  in: resolution; 1 coarse (81 panel nodes), 2 standard (141), 3 fine (221);
///                 other values are taken as 2.
/// @param n_pts    in: number of contour points, 3 to 129.
/// @param sm_opt4  in: forced transition position x/c on both surfaces; 0 (or anything outside
///                 0 < x/c < 1) lets the e^N method (N = 9) predict it.
/// @param x_sm     in: x_sm(1..n_pts), contour from the upper trailing edge round the leading
///                 edge to the lower trailing edge.
/// @param y_sm     in: y_sm(1..n_pts), same order.
/// @param n_cp     out: number of pressure points, always 129.
/// @param cp_x     out: cp_x(1..129), x of the pressure points, upper trailing edge round the
///                 leading edge (point 65) to the lower trailing edge.
/// @param cp_y     out: cp_y(1..129), y of the pressure points.
/// @param cp       out: cp(1, 1..129), pressure coefficient (Karman-Tsien corrected); the other
///                 rows of the (10, 129) array are left as they were.
/// @param sm_out1  out: (10, 129) floats: row 1 local skin-friction coefficient referred to the
///                 free-stream dynamic pressure (0 when inviscid), row 2 displacement thickness,
///                 row 3 momentum thickness (both in contour units, 0 when inviscid), row 4
///                 local Mach number, at the pressure points; rows 5 to 10 are left as they were.
/// @param alpha    out: angle of attack in degrees (the prescribed one when k_alcl = 1).
/// @param clift    out: lift coefficient.
/// @param cdrag    out: drag coefficient: the wave drag plus the viscous drag (Squire-Young
///                 from both trailing edges; 0 when inviscid).
/// @param cd_wave  out: wave drag coefficient, the part of cdrag due to shocks (0 for the panel
///                 method and in subcritical flow).
/// @param sm_out2  out: (10, 100) floats, column 1 for case 1: (1,1) transition x/c upper,
///                 (2,1) transition x/c lower, (3,1) friction drag, (4,1) pressure drag
///                 (cdrag minus friction drag), (5,1) coupling iterations, (6,1) highest local
///                 Mach number, (7,1) separation x/c upper, (8,1) lower (1 when attached),
///                 (9,1) pitching-moment coefficient about the quarter chord, nose up positive;
///                 the rest is left as it was.
/// @param sm_stat  out: sm_stat(1), status of case 1: 0 converged; 1 converged, turbulent
///                 separation before the trailing edge; 2 converged inviscid because the
///                 Reynolds number is unusable; 3 converged, but the viscous coupling settled
///                 only to 1 % of the boundary layers' mass defect; -1 unusable input (fewer than 3 or more than
///                 129 points, non-finite values, zero chord, a contour that crosses itself or
///                 encloses no area, non-finite or negative Mach number or alcl); -2 not
///                 converged (no angle gives the lift, or the viscous coupling did not settle;
///                 when the layers run away, as in a stall, the inviscid flow is returned);
///                 -3 locally supersonic flow, where the compressibility correction of the
///                 panel method (method 1) is not valid.
extern "C" SMESH_EXPORT void SMESH(const std::int32_t* n_case, const std::int32_t* k_alcl, const std::int32_t* sm_opt0,
                      const float* mach, const float* alcl, const std::int32_t* sm_opt1, const std::int32_t* sm_opt2,
                      const std::int32_t* sm_opt3, const std::int32_t* n_pts, const float* sm_opt4, const float* x_sm,
                      const float* y_sm, std::int32_t* n_cp, float* cp_x, float* cp_y, float* cp, float* sm_out1,
                      float* alpha, float* clift, float* cdrag, float* cd_wave, float* sm_out2, std::int32_t* sm_stat);

/// The signature of SMESH, for callers that load the library at run time.
using SmeshFunction = decltype(&SMESH);
