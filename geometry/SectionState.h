// SPDX-License-Identifier: MIT
#pragma once

#include "Arrays.h"
#include "FlowSettings.h"
#include "Types.h"

#include <string>

namespace camber {

/// Bounds of the section state.
inline constexpr int kMaxPoints = 200;  ///< contour points and stations
inline constexpr int kMaxSections = 1;  ///< sections held (every access still carries the index)
inline constexpr int kControlPoints = 7;
inline constexpr int kCpPoints = 129;   ///< pressure points and solver contour points
inline constexpr int kFlowCases = 20;
inline constexpr int kSolverCases = 10;

using SectionInts = Array1<Integer, kMaxSections>;
using SectionSingles = Array1<Single, kMaxSections>;
using StationArray = Array2<Single, kMaxSections, kMaxPoints>;
using ControlArray = Array2<Single, kMaxSections, kControlPoints>;
using BoxArray = Array1<Single, kControlPoints>;
using CpArray = Array1<Single, kCpPoints>;

/// The one wing section being worked on, its flow case, the solver exchange and the editors'
/// control points. Arrays are 1-based; per-section arrays carry the section index (always 1).
/// Geometry is normalised: leading edge at the origin, trailing-edge midpoint at (1, 0).
struct SectionState {
    // Section bookkeeping
    Integer n_sections = 0;                     ///< number of sections held; a read sets 1
    Integer k_sec = 0;                          ///< current section, 1 after a read
    Array1<Text80, kMaxPoints> title_ln;        ///< text lines of the section file; only line 1 (the title) is used
    SectionInts n_tot;                          ///< points of the closed contour, n_up + n_lo - 1 with the counts as read
    SectionInts n_up;                           ///< index of the leading-edge point in the contour; also the number of stations
    SectionInts n_lo;                           ///< lower-surface points including the leading edge, as in the file
    SectionSingles k_sym;                       ///< first number of the count line: non-zero means the lower surface mirrors the upper
    SectionSingles chord;                       ///< chord length, 1 after normalisation
    Single twist = 0;                           ///< chord-line angle of the section as read, degrees, positive trailing edge down
    SectionSingles twist_sec;                   ///< accumulated chord-line angle, degrees; every read adds twist

    // Closed contour, normalised
    StationArray x_c;                           ///< contour x: 1 upper trailing edge, n_up leading edge, n_tot lower trailing edge
    StationArray y_c;                           ///< contour y, same order
    SectionSingles x_min, x_max, y_min, y_max;  ///< bounding box of contour points 1..n_tot

    // Station form: stations are the upper-surface x, leading edge (1) to trailing edge (n_up)
    StationArray x_st;                          ///< station x
    StationArray s_st;                          ///< square root of x_st, the editors' interpolation variable
    StationArray y_up;                          ///< current upper-surface y at the stations
    StationArray y_lo;                          ///< current lower-surface y at the stations
    StationArray x_st0, y_up0, y_lo0;           ///< stations and surfaces as read (never changed by editing)

    // Thickness/camber form
    StationArray t_half;                        ///< current half-thickness at the stations
    StationArray camb;                          ///< current camber (mean line) at the stations
    StationArray t_half0, camb0;                ///< half-thickness and camber as read

    // Flow case
    Array1<Single, kFlowCases> mach;            ///< free-stream Mach number per flow case; case 1 used
    Array1<Single, kFlowCases> alcl;            ///< prescribed lift coefficient (k_alcl 0) or angle of attack in degrees (k_alcl 1)
    Long k_alcl = 0;                            ///< 0: alcl is the lift coefficient to reach; 1: alcl is the angle of attack

    // Solver exchange
    Long n_case = 0;                            ///< flow cases passed to the solver, 1 before every call
    FlowSettings flow;                          ///< method, Reynolds number, layers, resolution, transition
    Long n_pts = 0;                             ///< contour points passed to the solver, 2 n_up - 1
    CpArray x_sm, y_sm;                         ///< contour passed: 1 upper trailing edge, n_up leading edge, n_pts lower trailing edge
    Long n_cp = 0;                              ///< pressure points returned
    CpArray cp_x, cp_y;                         ///< coordinates of the pressure points returned
    Array2<Single, kSolverCases, kCpPoints> cp; ///< pressure coefficient per flow case and point; case 1 used
    Array2<Single, kSolverCases, kCpPoints> sm_out1; ///< per case and point: skin friction, displacement and momentum thickness, local Mach number
    Array2<Single, kSolverCases, 100> sm_out2;  ///< per case: transition x/c upper and lower, friction and pressure drag, iterations, highest Mach number, separation x/c upper and lower, moment
    Array1<Long, kSolverCases> sm_stat;         ///< solver status per case; negative marks a failed calculation
    Single alpha = 0;                           ///< angle of attack of case 1 returned by the solver, degrees
    Single clift = 0;                           ///< lift coefficient of case 1 returned by the solver

    // Pressure window
    Integer cp_win = 0;                         ///< 1 once an editor opened the pressure window; every read resets it
    Integer n_calc = 0;                         ///< pressure calculations since the editor was loaded
    CpArray cp_x0, cp0;                         ///< the first pressure curve after the editor was loaded
    CpArray cp_x_sv, cp_sv;                     ///< snapshot of a pressure curve ("Cp Save" and the first calculation)

    // Files
    std::string f_inp;                          ///< full path of the selected section file
    std::string f_gwo;                          ///< section output file name, created in the current directory
    std::string f_cpo;                          ///< Cp output file name, created in the current directory

    // Upper/lower editor control points (set 1 lower surface, set 2 upper surface)
    ControlArray x_cp1, s_cp1, d_cp1;           ///< set 1: chord position, its square root, displacement
    ControlArray x_cp2, s_cp2, d_cp2;           ///< set 2: chord position, its square root, displacement
    BoxArray box1_x1, box1_x2, box1_y1, box1_y2; ///< set 1 move boxes: left x, right x, bottom y, top y
    BoxArray box2_x1, box2_x2, box2_y1, box2_y2; ///< set 2 move boxes
    // Thickness/camber editor control points (set 1 camber, set 2 half-thickness)
    ControlArray x_tcp1, d_tcp1;                ///< set 1: chord position, displacement
    ControlArray x_tcp2, s_tcp2, d_tcp2;        ///< set 2: chord position, its square root, displacement
    BoxArray tbox1_x1, tbox1_x2, tbox1_y1, tbox1_y2; ///< set 1 move boxes
    BoxArray tbox2_x1, tbox2_x2, tbox2_y1, tbox2_y2; ///< set 2 move boxes
    Integer k_cp1 = 0, k_cp2 = 0;               ///< upper/lower editor: selected point (1..7) of set 1 and set 2
    Integer k_tcp1 = 0, k_tcp2 = 0;             ///< thickness/camber editor: selected point of set 1 and set 2
    StationArray d_lo, d_up;                    ///< upper/lower editor: displacement of lower and upper surface at the stations
    StationArray d_camb, d_thalf;               ///< thickness/camber editor: displacement of camber and half-thickness

    // Section output parameters, computed when the .gwo file is written
    SectionSingles xsing, ysing, trail, slopt;  ///< nose singularity x and y, trailing-edge angle (deg), camber slope at the trailing edge
};

/// The program's one section state, alive for the whole run.
SectionState& state();

} // namespace camber
