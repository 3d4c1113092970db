// SPDX-License-Identifier: MIT
#pragma once

#include "CpCore.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace camber {

/// The most points one polar computes.
inline constexpr int kMaxPolarPoints = 1000;

/// The slope dCD/dM at which the drag diverges (the usual industrial definition).
inline constexpr double kDivergenceSlope = 0.1;

/// The columns of a polar's CSV file.
inline constexpr const char* kPolarCsvHeader = "mach,alpha,cl,cd,cd_wave,cd_friction,cm,xtr_upper,xtr_lower,status";

/// What a polar sweeps: the lift coefficient or the angle of attack at a fixed Mach number, or
/// the Mach number at a fixed lift coefficient.
enum class PolarKind { Lift, Alpha, Mach };

/// The values from, from + step, ... up to to (down to it for a negative step), to included when
/// it lies within a millionth of a step of the last one. Throws Error when a value is not finite,
/// step is zero or points away from to, or the sweep would exceed kMaxPolarPoints.
std::vector<double> sweep_values(double from, double to, double step);

/// A polar to compute about one contour.
struct PolarRequest {
    PolarKind kind = PolarKind::Lift;
    double fixed = 0;           ///< the Mach number (lift and angle sweeps) or the lift coefficient
    std::vector<double> values; ///< the swept lift coefficients, angles (degrees) or Mach numbers, in order
    FlowSettings flow;          ///< method, Reynolds number, layers, resolution, transition
};

/// The flow cases of a polar, in sweep order. Mach numbers, lift coefficients and angles are
/// held in single precision as everywhere in the program, so a point is the same case as a
/// calculation of the pressure window or of camber-cli cp.
std::vector<SmeshCase> polar_cases(const PolarRequest& request);

/// One point of a polar: its Mach number and what the solver gave.
struct PolarPoint {
    double mach = 0;
    double alpha = 0;       ///< degrees
    double cl = 0, cd = 0, cd_wave = 0, cd_friction = 0, cm = 0;
    double xtr_upper = 1;   ///< transition x/c, 1 when laminar to the trailing edge
    double xtr_lower = 1;
    int status = 0;         ///< the solver's status; negative: the calculation failed
};

/// The point of a solver result for a flow case.
PolarPoint polar_point(const SmeshCase& flow, const SmeshResult& result);

/// Solves the cases in order on one solver memory of its own, so that each point starts from
/// the previous one's solution and the program's own calculations are left alone. Calls
/// on_point with each point as soon as it is computed; stops when on_point returns false.
/// May run on any thread: it touches nothing but its arguments. Throws Error when the solver
/// cannot give a memory.
void compute_polar(const SolverFunctions& solver, const SolverContour& contour, const std::vector<SmeshCase>& cases,
                   const std::function<bool(const PolarPoint&)>& on_point);

/// The drag-divergence Mach number of a Mach sweep: where dCD/dM, taken between neighbouring
/// points that converged (status >= 0) in order of Mach number, first rises to kDivergenceSlope,
/// interpolated linearly in the slope between the midpoints of the two intervals around it.
/// Nothing when no slope reaches it or the first one already does (the divergence lies below
/// the sweep).
std::optional<double> divergence_mach(const std::vector<PolarPoint>& points);

/// The results of a point as the program prints them, by name: alpha, cl, cd, cd_wave,
/// cd_friction, cm, xtr_upper, xtr_lower.
std::vector<std::pair<std::string, std::string>> result_fields(const PolarPoint& point);

/// A point's line of the CSV file, in the columns of kPolarCsvHeader.
std::string polar_csv_line(const PolarPoint& point);

/// The lines of a polar's CSV file: the header and one line per point in sweep order.
std::vector<std::string> polar_csv(const std::vector<PolarPoint>& points);

/// "divergence_mach=M" or "divergence_mach=none", as camber-cli polar prints it.
std::string divergence_text(const std::optional<double>& mach);

} // namespace camber
