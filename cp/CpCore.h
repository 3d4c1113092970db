// SPDX-License-Identifier: MIT
#pragma once

#include "geometry/SectionState.h"
#include "solver/smesh.h"

#include <memory>
#include <string>
#include <vector>

namespace camber {

/// Stations the solver contour holds per surface: 2 * 65 - 1 = 129 points.
inline constexpr int kSolverStations = 65;

// ---- The solver library --------------------------------------------------------------------

/// dll/libsmesh.so in the folder of the running executable (read from /proc/self/exe, so the
/// current directory, which the file lists change, plays no part).
std::string default_solver_path();

using SmeshNewFunction = decltype(&smesh_new);
using SmeshFreeFunction = decltype(&smesh_free);

/// The entry points of the solver library: the solver and the making and freeing of a solver
/// memory of one's own (null for a stand-in that keeps no memory).
struct SolverFunctions {
    SmeshSolveFunction solve = nullptr;
    SmeshNewFunction create = nullptr;
    SmeshFreeFunction destroy = nullptr;
};

/// The solver library's entry points smesh_solve, smesh_new and smesh_free. Loaded from the
/// library path (default_solver_path() unless set) at the first call and kept for the rest of
/// the run. Throws Error naming the library and the cause when it is missing, cannot be loaded
/// or lacks one of them; the next call tries again.
SolverFunctions solver_functions();

/// The solver function of solver_functions().
SmeshSolveFunction solver_function();

/// Replaces the solver for the rest of the run (a stand-in in tests); a null solve goes back to
/// loading the library.
void set_solver_functions(SolverFunctions functions);

/// Replaces the solver function alone (a stand-in without memory of its own); nullptr goes back
/// to loading the library.
void set_solver_function(SmeshSolveFunction function);

/// A solver memory of its own (smesh_new), freed with the object, so that a series of
/// calculations (a polar) neither disturbs nor depends on the program's calculations. Null when
/// the solver has no memory functions (a stand-in). Throws Error when smesh_new fails.
class SolverMemory {
public:
    explicit SolverMemory(const SolverFunctions& functions);
    ~SolverMemory();
    SolverMemory(const SolverMemory&) = delete;
    SolverMemory& operator=(const SolverMemory&) = delete;
    SmeshSolver* get() const { return m_memory; }

private:
    SmeshFreeFunction m_destroy;
    SmeshSolver* m_memory = nullptr;
};

/// Loads the solver from path instead of the default at the next use; forgets a function
/// loaded or set before.
void set_solver_library_path(const std::string& path);

// ---- One calculation -----------------------------------------------------------------------

/// Fills the solver inputs from the current section: n_case = 1, n_pts = 2 n_up - 1 and the
/// contour x_sm, y_sm from the upper trailing edge round the leading edge to the lower trailing
/// edge, x from x_st0 and y from y_up0 / y_lo0 while n_calc = 0, else from y_up / y_lo (the
/// leading-edge slot is written twice, the lower value stands). A section with more than 65
/// stations is passed at 65 stations that keep both ends and the spacing of the original
/// stations, the surfaces interpolated by the Akima spline in sqrt(x). Throws Error when the
/// section holds fewer than 2 stations.
void fill_solver_inputs(SectionState& s);

/// What a call returns beside the shared state.
struct SolverOutputs {
    Single cdrag = 0;     ///< drag coefficient
    Single wave_drag = 0; ///< the part of cdrag due to shocks
    std::shared_ptr<const SmeshResult> result; ///< everything the solver gave (layers, drag split)
};

/// The solver's flow case of Mach number mach, angle of attack (k_alcl 1, degrees) or lift
/// coefficient (k_alcl 0) alcl, and the flow settings.
SmeshCase flow_case(const FlowSettings& flow, Single mach, Long k_alcl, Single alcl);

/// The flow case of the state: mach(1), k_alcl, alcl(1) and the flow settings.
SmeshCase solver_case(const SectionState& s);

/// The contour of the solver inputs, x_sm(1..n_pts) and y_sm(1..n_pts), as the solver takes it.
struct SolverContour {
    std::vector<double> x, y;
};
SolverContour solver_contour(const SectionState& s);

/// Calls the solver with the state's flow case and contour (n_pts, x_sm, y_sm) and leaves its
/// outputs there (apply_result). Throws Error when the solver cannot be loaded.
SolverOutputs call_solver(SectionState& s);

/// Puts a result into the state as a call leaves it: n_cp, cp_x, cp_y, cp(1, .), sm_out1 rows 1
/// to 4 (skin friction, displacement and momentum thickness, local Mach number), sm_out2(1..9, 1),
/// alpha, clift and sm_stat(1); returns the drag.
SolverOutputs apply_result(std::shared_ptr<const SmeshResult> result, SectionState& s);

// ---- The Cp file ---------------------------------------------------------------------------

/// The lines of the Cp file, without line ends: the 80-character title, the flow-case heading,
/// mach(1), alpha, clift, twist in 10-character fields ("0.0000"), the point heading, and one
/// 40-character line per point 1..n_cp with cp_x, cp_y ("0.000000") and cp(1, i) ("0.0000").
/// An n_cp outside 0..129 is taken as the nearest bound.
std::vector<std::string> cp_file_lines(const SectionState& s);

/// Writes the Cp file s.f_cpo (CR LF line ends), replacing it whole or not at all; throws
/// Error naming the file on failure.
void save_cp(const SectionState& s);

// ---- Numbers of the Cp plot ----------------------------------------------------------------

/// Critical pressure coefficient for free-stream Mach m (isentropic, ratio of specific heats
/// 1.4), or -67 for m of 0.0999 or less.
Single critical_cp(Single m);

/// Result of the scan of cp(1, .) against the critical pressure coefficient.
struct CpScan {
    int k = kCpPoints; ///< first crossing of Cp* scanning from point 128 down to 2; 129 (kCpPoints) for none
    Single cp_min = 0; ///< lowest Cp of points 1..128
};

/// Scans cp(1, i) for i = 128 down to 2: k is the largest i where cp(1, i-1) and cp(1, i) lie on
/// either side of cp_star, cp_min the lowest value (starting from cp(1, 1)).
CpScan scan_cp(const SectionState& s, Single cp_star);

/// Lower end of the Cp axis: -2.0, -2.5, -3.0, -3.5 or -5.0, the first step strictly below
/// cp_min.
Single cp_axis_bottom(Single cp_min);

/// The points whose x the Cp* line runs between: from k - 4 to k + 1, both kept within 1..129.
struct CpStarLine {
    bool drawn = false; ///< false when no crossing was found (k = 129)
    int from = 1;
    int to = 1;
};
CpStarLine cp_star_line(int k);

} // namespace camber
