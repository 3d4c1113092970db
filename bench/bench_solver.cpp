// SPDX-License-Identifier: MIT
// One call of the panel method (method 1) as the editor would make it after a drag step: 121
// contour points (61 stations), Mach 0.5, lift coefficient 0.5 prescribed, viscous at Re 6
// million, through the program's loader. Warm: repeated calls on one thread; cold: each call on a fresh thread.

#include "cp/CpCore.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace {

camber::SectionState naca2412(int stations)
{
    camber::SectionState s;
    s.k_sec = 1;
    s.n_up(1) = static_cast<camber::Integer>(stations);
    for (int i = 1; i <= stations; ++i) {
        const double x = 0.5 * (1 - std::cos(3.141592653589793 * (i - 1) / (stations - 1)));
        const double t = 0.6 * (0.2969 * std::sqrt(x) - 0.126 * x - 0.3516 * x * x + 0.2843 * x * x * x -
                                0.1015 * x * x * x * x);
        const double c = x < 0.4 ? 0.02 / 0.16 * (0.8 * x - x * x) : 0.02 / 0.36 * (0.2 + 0.8 * x - x * x);
        s.x_st0(1, i) = static_cast<camber::Single>(x);
        s.y_up0(1, i) = static_cast<camber::Single>(c + t);
        s.y_lo0(1, i) = static_cast<camber::Single>(c - t);
    }
    s.mach(1) = 0.5f;
    s.k_alcl = 0;
    s.alcl(1) = 0.5f;
    s.flow.method = 1;
    s.flow.reynolds = 6e6;
    camber::fill_solver_inputs(s);
    return s;
}

double p95(const std::vector<double>& v)
{
    std::vector<double> sorted = v;
    std::sort(sorted.begin(), sorted.end());
    return sorted[static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(sorted.size()))) - 1];
}

void solve(benchmark::State& state, int level, int viscous)
{
    auto s = naca2412(61);
    s.flow.level = level;
    s.flow.viscous = viscous != 0;
    for (auto _ : state) {
        const auto out = camber::call_solver(s);
        benchmark::DoNotOptimize(out);
        benchmark::DoNotOptimize(s.cp.data());
    }
    state.counters["status"] = s.sm_stat(1);
    state.counters["cl"] = s.clift;
}

void BM_SolverViscous(benchmark::State& state) { solve(state, 2, 1); }
void BM_SolverViscousCoarse(benchmark::State& state) { solve(state, 1, 1); }
void BM_SolverViscousFine(benchmark::State& state) { solve(state, 3, 1); }
void BM_SolverInviscid(benchmark::State& state) { solve(state, 2, 0); }

// A cold call: the solver keeps its matrix storage per thread, so a call on a fresh thread
// allocates and touches it anew (thread start-up is included in the time).
void BM_SolverColdThread(benchmark::State& state)
{
    auto s = naca2412(61);
    for (auto _ : state) {
        std::thread t([&s] { camber::call_solver(s); });
        t.join();
    }
    state.counters["status"] = s.sm_stat(1);
}

#define SOLVER_BENCH(f)                                                                                                \
    BENCHMARK(f)                                                                                                       \
        ->Unit(benchmark::kMillisecond)                                                                                \
        ->Repetitions(20)                                                                                              \
        ->ReportAggregatesOnly(true)                                                                                   \
        ->ComputeStatistics("p95", p95)

SOLVER_BENCH(BM_SolverViscous);
SOLVER_BENCH(BM_SolverViscousCoarse);
SOLVER_BENCH(BM_SolverViscousFine);
SOLVER_BENCH(BM_SolverInviscid);
SOLVER_BENCH(BM_SolverColdThread);

} // namespace

BENCHMARK_MAIN();
