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
///                 panel method (method 1) is not valid; -4 (method 0, prescribed lift, viscous)
///                 the lift asked for is beyond the maximum at this Mach number: the lift curve
///                 flattened, or ended with no larger angle converging, while the solution
///                 climbed towards it, and the outputs are those of the highest lift reached;
///                 -5 the processor lacks the x86-64-v3 instructions (AVX2, FMA) that the
///                 library was built for: nothing was calculated.
extern "C" SMESH_EXPORT void SMESH(const std::int32_t* n_case, const std::int32_t* k_alcl, const std::int32_t* sm_opt0,
                      const float* mach, const float* alcl, const std::int32_t* sm_opt1, const std::int32_t* sm_opt2,
                      const std::int32_t* sm_opt3, const std::int32_t* n_pts, const float* sm_opt4, const float* x_sm,
                      const float* y_sm, std::int32_t* n_cp, float* cp_x, float* cp_y, float* cp, float* sm_out1,
                      float* alpha, float* clift, float* cdrag, float* cd_wave, float* sm_out2, std::int32_t* sm_stat);

/// The signature of SMESH, for callers that load the library at run time.
using SmeshFunction = decltype(&SMESH);

// ---- The struct interface ----------------------------------------------------------------------
//
// The same solver with a flow case and results that name their fields, in structs of C layout so
// that other languages (Python's ctypes) can use them. SMESH above is a thin wrapper of smesh_solve. Lengths are
// in the units of the contour, angles in degrees, speeds over the free-stream speed, coefficients
// referred to the chord and the free-stream dynamic pressure.

/// Version of the structs below; SmeshCase::version must hold it. A change of any struct's
/// layout raises it.
#define SMESH_VERSION 1
/// Pressure points of a result.
#define SMESH_CP_POINTS 129
/// Most stations a layer of a result holds.
#define SMESH_MAX_STATIONS 256

/// One flow case.
typedef struct SmeshCase {
    std::int32_t version;         ///< SMESH_VERSION
    std::int32_t method;          ///< 0 the transonic full-potential method, 1 the panel method (subcritical only)
    std::int32_t level;           ///< resolution: 1 coarse, 2 standard, 3 fine; other values are taken as 2
    std::int32_t prescribed_lift; ///< 1: target is the lift coefficient to reach; 0: the angle of attack
    std::int32_t viscous;         ///< 1 boundary layers and wake (drag), 0 inviscid
    std::int32_t reserved;        ///< 0
    double mach;                  ///< free-stream Mach number, 0 to 0.95 meaningful
    double target;                ///< lift coefficient or angle of attack in degrees, after prescribed_lift
    double reynolds;              ///< Reynolds number based on the chord (6.5e6, not millions); viscous with
                                  ///< zero or less gives the inviscid result and status 2
    double ncrit;                 ///< critical amplification factor of the e^N transition method (9: a quiet
                                  ///< wind tunnel); 1 to 20 meaningful, others are taken as 9
    double transition_upper;      ///< forced transition x/c on the upper surface; outside 0 < x/c < 1 the
                                  ///< e^N method alone places it
    double transition_lower;      ///< the same on the lower surface
} SmeshCase;

/// One boundary layer (a surface from the stagnation point to the trailing edge) or the wake
/// (from the trailing edge downstream), station by station (index 0 first).
typedef struct SmeshLayer {
    std::int32_t count;                   ///< stations filled; 0 when inviscid
    std::int32_t reserved;                ///< 0
    double x[SMESH_MAX_STATIONS];         ///< station position
    double y[SMESH_MAX_STATIONS];
    double s[SMESH_MAX_STATIONS];         ///< arc length from the stagnation point (surfaces) or from the
                                          ///< trailing edge (wake)
    double ue[SMESH_MAX_STATIONS];        ///< edge speed
    double theta[SMESH_MAX_STATIONS];     ///< momentum thickness
    double dstar[SMESH_MAX_STATIONS];     ///< displacement thickness
    double h[SMESH_MAX_STATIONS];         ///< shape factor dstar / theta
    double cf[SMESH_MAX_STATIONS];        ///< skin friction over the free-stream dynamic pressure (0 in the wake)
} SmeshLayer;

/// Everything one calculation gives. Every number is finite whatever the status.
typedef struct SmeshResult {
    std::int32_t version;          ///< SMESH_VERSION
    std::int32_t status;           ///< as SMESH's sm_stat(1)
    std::int32_t iterations;       ///< coupling iterations (a measure of the work)
    std::int32_t n_cp;             ///< pressure points, always SMESH_CP_POINTS
    double alpha;                  ///< angle of attack, degrees (the prescribed one when it was given)
    double cl;                     ///< lift coefficient
    double cd;                     ///< drag coefficient: cd_friction + cd_pressure, the wave drag included
    double cd_wave;                ///< the part of cd due to shocks (0 for the panel method)
    double cd_friction;            ///< the wall shear's part of cd
    double cd_pressure;            ///< cd - cd_friction: the boundary layers' pressure drag plus the wave drag
    double cm;                     ///< pitching moment about the quarter chord, nose up positive
    double max_mach;               ///< highest local Mach number on the wall
    double transition_upper;       ///< x/c where the upper layer turns turbulent; 1 when laminar to the end
    double transition_lower;
    double separation_upper;       ///< x/c where the upper turbulent layer separates; 1 when attached
    double separation_lower;
    double cp_x[SMESH_CP_POINTS];  ///< pressure points from the upper trailing edge round the leading
    double cp_y[SMESH_CP_POINTS];  ///< edge (point 65, index 64) to the lower trailing edge
    double cp[SMESH_CP_POINTS];    ///< pressure coefficient
    double cp_mach[SMESH_CP_POINTS];  ///< local Mach number at the pressure points
    double cp_cf[SMESH_CP_POINTS];    ///< skin friction at the pressure points (0 when inviscid)
    double cp_dstar[SMESH_CP_POINTS]; ///< displacement thickness at the pressure points (0 when inviscid)
    double cp_theta[SMESH_CP_POINTS]; ///< momentum thickness at the pressure points (0 when inviscid)
    SmeshLayer upper;              ///< the upper surface's boundary layer
    SmeshLayer lower;              ///< the lower surface's
    SmeshLayer wake;               ///< the wake behind the trailing edge
} SmeshResult;

/// A solver's memory: the last solution of the full-potential method, from which it starts the
/// next calculation when the section and the flow case changed little. Calls on one solver
/// must not overlap; calls on different solvers may run at the same time on different threads.
typedef struct SmeshSolver SmeshSolver;

/// A new solver with an empty memory; free it with smesh_free. Null when memory is exhausted.
extern "C" SMESH_EXPORT SmeshSolver* smesh_new(void);

/// Frees a solver from smesh_new (null is accepted).
extern "C" SMESH_EXPORT void smesh_free(SmeshSolver* solver);

/// Solves one flow case about a contour. Never ends the process, never prints, returns in
/// bounded time whatever the input, and fills every field of result with finite numbers.
/// Method 0 does part of its linear algebra on a second thread, which ends before the call
/// returns; its results are the same to the bit as on one thread.
///
/// @param solver   in/out: the memory to start from and update; null for the library's own
///                 (the one SMESH uses).
/// @param flow     in: the flow case; a version other than SMESH_VERSION gives status -1.
/// @param n_points in: number of contour points, 3 to 129.
/// @param x        in: x[0 .. n_points - 1], contour from the upper trailing edge round the
///                 leading edge to the lower trailing edge.
/// @param y        in: y[0 .. n_points - 1], same order.
/// @param result   out: the result, version set to SMESH_VERSION.
/// @return the status, as result->status.
extern "C" SMESH_EXPORT std::int32_t smesh_solve(SmeshSolver* solver, const SmeshCase* flow, std::int32_t n_points,
                                                 const double* x, const double* y, SmeshResult* result);

/// The signature of smesh_solve, for callers that load the library at run time.
using SmeshSolveFunction = decltype(&smesh_solve);
