// SPDX-License-Identifier: MIT
#include "Polar.h"

#include "geometry/Error.h"
#include "geometry/Format.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace camber {

namespace {

// A sweep end within this share of a step of the last value is the last value: 0.6:0.8:0.01
// ends at 0.8 although twenty steps of 0.01 fall short of it in binary.
constexpr double kStepTolerance = 1e-6;

// How the program prints results: the masks of its Cp window's read-outs and of camber-cli.
constexpr const char* kMachMask = "0.000#";
constexpr const char* kAngleMask = "0.000#";
constexpr const char* kLiftMask = "0.000#";
constexpr const char* kDragMask = "0.00000#";
constexpr const char* kMomentMask = "0.0000#";
constexpr const char* kChordMask = "0.000#";

} // namespace

std::vector<double> sweep_values(double from, double to, double step)
{
    if (!std::isfinite(from) || !std::isfinite(to) || !std::isfinite(step))
        throw Error("a sweep takes finite numbers");
    if (step == 0 || (to - from) * step < 0)
        throw Error("the step of a sweep must lead from its first value to its last");
    const double steps = (to - from) / step;
    if (steps + 1 > kMaxPolarPoints + kStepTolerance)
        throw Error("a sweep computes at most " + std::to_string(kMaxPolarPoints) + " points");
    const int count = static_cast<int>(std::floor(steps + kStepTolerance)) + 1;
    std::vector<double> values;
    for (int i = 0; i < count; ++i)
        values.push_back(from + i * step);
    if (std::fabs(values.back() - to) <= kStepTolerance * std::fabs(step))
        values.back() = to;
    return values;
}

std::vector<SmeshCase> polar_cases(const PolarRequest& request)
{
    const bool machSweep = request.kind == PolarKind::Mach;
    const Long k_alcl = request.kind == PolarKind::Alpha ? 1 : 0;
    std::vector<SmeshCase> cases;
    for (const double value : request.values)
        cases.push_back(flow_case(request.flow, static_cast<Single>(machSweep ? value : request.fixed), k_alcl,
                                  static_cast<Single>(machSweep ? request.fixed : value)));
    return cases;
}

PolarPoint polar_point(const SmeshCase& flow, const SmeshResult& r)
{
    PolarPoint p;
    p.mach = flow.mach;
    p.alpha = r.alpha;
    p.cl = r.cl;
    p.cd = r.cd;
    p.cd_wave = r.cd_wave;
    p.cd_friction = r.cd_friction;
    p.cm = r.cm;
    p.xtr_upper = r.transition_upper;
    p.xtr_lower = r.transition_lower;
    p.status = r.status;
    return p;
}

void compute_polar(const SolverFunctions& solver, const SolverContour& contour, const std::vector<SmeshCase>& cases,
                   const std::function<bool(const PolarPoint&)>& on_point)
{
    const SolverMemory memory(solver);
    // The result is large (its layers); one buffer serves every point.
    const auto result = std::make_unique<SmeshResult>();
    const auto points = static_cast<std::int32_t>(contour.x.size());
    for (const SmeshCase& flow : cases) {
        solver.solve(memory.get(), &flow, points, contour.x.data(), contour.y.data(), result.get());
        if (!on_point(polar_point(flow, *result)))
            return;
    }
}

std::optional<double> divergence_mach(const std::vector<PolarPoint>& points)
{
    std::vector<std::pair<double, double>> drag; // (Mach number, CD)
    for (const PolarPoint& p : points)
        if (p.status >= 0)
            drag.emplace_back(p.mach, p.cd);
    std::sort(drag.begin(), drag.end());
    double lastSlope = 0, lastMid = 0;
    bool first = true;
    for (std::size_t i = 1; i < drag.size(); ++i) {
        const double dm = drag[i].first - drag[i - 1].first;
        if (dm <= 0)
            continue; // the same Mach number twice gives no slope
        const double slope = (drag[i].second - drag[i - 1].second) / dm;
        const double mid = 0.5 * (drag[i].first + drag[i - 1].first);
        if (slope >= kDivergenceSlope) {
            if (first)
                return std::nullopt;
            return lastMid + (kDivergenceSlope - lastSlope) / (slope - lastSlope) * (mid - lastMid);
        }
        first = false;
        lastSlope = slope;
        lastMid = mid;
    }
    return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> result_fields(const PolarPoint& p)
{
    return {{"alpha", format_number(p.alpha, kAngleMask)},
            {"cl", format_number(p.cl, kLiftMask)},
            {"cd", format_number(p.cd, kDragMask)},
            {"cd_wave", format_number(p.cd_wave, kDragMask)},
            {"cd_friction", format_number(p.cd_friction, kDragMask)},
            {"cm", format_number(p.cm, kMomentMask)},
            {"xtr_upper", format_number(p.xtr_upper, kChordMask)},
            {"xtr_lower", format_number(p.xtr_lower, kChordMask)}};
}

std::string polar_csv_line(const PolarPoint& p)
{
    std::string line = format_number(p.mach, kMachMask);
    for (const auto& [name, text] : result_fields(p))
        line += "," + text;
    return line + "," + std::to_string(p.status);
}

std::vector<std::string> polar_csv(const std::vector<PolarPoint>& points)
{
    std::vector<std::string> lines{kPolarCsvHeader};
    for (const PolarPoint& p : points)
        lines.push_back(polar_csv_line(p));
    return lines;
}

std::string divergence_text(const std::optional<double>& mach)
{
    return "divergence_mach=" + (mach ? format_number(*mach, kMachMask) : std::string("none"));
}

} // namespace camber
