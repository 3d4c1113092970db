// SPDX-License-Identifier: MIT
// Polars against single calculations, with the solver library loaded from dll/ beside the
// benchmark as the program loads it: a 20-point drag-divergence sweep (Mach 0.60 to 0.79 at the
// editors' lift coefficient 0.5 on NACA 2412, viscous at Re 30 million, level 2, the transonic
// method) against one cold calculation of the editors' case (Mach 0.7), as camber-cli cp makes it.
// The target: the sweep within three cold calculations. Two one-shot runs report how far the
// points of a sweep lie from cold calculations of their cases, for the transonic method at the
// editors' case and for the panel method in subcritical flow.

#include "cp/Polar.h"
#include "shell/SectionReader.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

camber::SolverContour editorsSection()
{
    auto s = std::make_unique<camber::SectionState>();
    s->f_inp = std::string(CAMBER_EXAMPLES) + "/naca2412.ULF";
    camber::read_section(*s);
    camber::fill_solver_inputs(*s);
    return camber::solver_contour(*s);
}

camber::PolarRequest divergenceSweep(camber::Long method, double from, double to)
{
    camber::PolarRequest r;
    r.kind = camber::PolarKind::Mach;
    r.fixed = camber::kEditingLift;
    r.values = camber::sweep_values(from, to, 0.01);
    r.flow.method = method;
    return r;
}

SmeshResult solveCold(const camber::SolverFunctions& solver, const camber::SolverContour& c, const SmeshCase& flow)
{
    const camber::SolverMemory fresh(solver);
    auto r = std::make_unique<SmeshResult>();
    solver.solve(fresh.get(), &flow, static_cast<std::int32_t>(c.x.size()), c.x.data(), c.y.data(), r.get());
    return *r;
}

void BM_ColdCalculation(benchmark::State& state)
{
    const auto contour = editorsSection();
    const auto solver = camber::solver_functions();
    const SmeshCase flow = camber::flow_case(camber::FlowSettings{}, camber::kEditingMach, 0, camber::kEditingLift);
    int status = 0;
    for (auto _ : state)
        status = solveCold(solver, contour, flow).status;
    state.counters["status"] = status;
}

void BM_MachSweep20(benchmark::State& state)
{
    const auto contour = editorsSection();
    const auto solver = camber::solver_functions();
    const auto cases = camber::polar_cases(divergenceSweep(0, 0.60, 0.79));
    int failed = 0;
    for (auto _ : state) {
        failed = 0;
        camber::compute_polar(solver, contour, cases, [&](const camber::PolarPoint& p) {
            failed += p.status < 0;
            return true;
        });
    }
    state.counters["failed_points"] = failed;
    state.counters["seconds_per_point"] = benchmark::Counter(static_cast<double>(cases.size()),
                                                             benchmark::Counter::kIsIterationInvariantRate |
                                                                 benchmark::Counter::kInvert);
}

// The largest differences between the points of a sweep and cold calculations of their cases:
// angle (degrees), drag (counts) and the number of points whose status differs.
void pathIndependence(benchmark::State& state, camber::Long method, double from, double to)
{
    const auto contour = editorsSection();
    const auto solver = camber::solver_functions();
    const auto cases = camber::polar_cases(divergenceSweep(method, from, to));
    double angle = 0, drag = 0;
    int statuses = 0;
    for (auto _ : state) {
        std::size_t i = 0;
        camber::compute_polar(solver, contour, cases, [&](const camber::PolarPoint& swept) {
            const auto alone = camber::polar_point(cases[i], solveCold(solver, contour, cases[i]));
            ++i;
            statuses += (swept.status < 0) != (alone.status < 0);
            if (swept.status >= 0 && alone.status >= 0) {
                angle = std::max(angle, std::fabs(swept.alpha - alone.alpha));
                drag = std::max(drag, 1e4 * std::fabs(swept.cd - alone.cd));
            }
            return true;
        });
    }
    state.counters["max_dalpha_deg"] = angle;
    state.counters["max_dcd_counts"] = drag;
    state.counters["status_differs"] = statuses;
}

void BM_PathIndependenceTransonic(benchmark::State& state) { pathIndependence(state, 0, 0.60, 0.79); }
void BM_PathIndependencePanel(benchmark::State& state) { pathIndependence(state, 1, 0.20, 0.55); }

BENCHMARK(BM_ColdCalculation)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_MachSweep20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_PathIndependenceTransonic)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PathIndependencePanel)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
