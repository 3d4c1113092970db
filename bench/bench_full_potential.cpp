// SPDX-License-Identifier: MIT
// The full-potential method: a cold solve (free stream and Mach continuation) and a warm
// re-solve after a drag step (the last solution as the start), on NACA sections at 65 stations.
#include "solver/FullPotential.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

namespace {

using camber::smesh::FlowCase;
using camber::smesh::FullPotential;
using camber::smesh::Point;

/// NACA four-digit section, 65 cosine-spaced stations per surface, upper trailing edge first.
std::vector<Point> naca(int digits, bool sharp, int n = 65)
{
    const double m = (digits / 1000) / 100.0, p = (digits / 100 % 10) / 10.0, t = (digits % 100) / 100.0;
    const double xEnd = sharp ? 1.008930411365 : 1.0;
    std::vector<Point> upper, lower;
    for (int i = 0; i < n; ++i) {
        const double x = xEnd * 0.5 * (1 - std::cos(3.141592653589793 * i / (n - 1)));
        const double yt = 5 * t * (0.2969 * std::sqrt(x) - 0.1260 * x - 0.3516 * x * x + 0.2843 * x * x * x - 0.1015 * x * x * x * x);
        double yc = 0;
        if (m > 0)
            yc = x < p ? m / (p * p) * (2 * p * x - x * x) : m / ((1 - p) * (1 - p)) * ((1 - 2 * p) + 2 * p * x - x * x);
        upper.push_back({x / xEnd, (yc + yt) / xEnd});
        lower.push_back({x / xEnd, (yc - yt) / xEnd});
    }
    std::vector<Point> c(upper.rbegin(), upper.rend());
    c.insert(c.end(), lower.begin() + 1, lower.end());
    return c;
}

FlowCase flowCase(bool transonic)
{
    FlowCase f;
    f.viscous = false;
    f.level = 2;
    if (transonic) {
        f.mach = 0.7;
        f.prescribed_lift = true;
        f.target = 0.5;
    } else {
        f.mach = 0.5;
        f.prescribed_lift = false;
        f.target = 1.25;
    }
    return f;
}

void coldSolve(benchmark::State& state)
{
    const bool transonic = state.range(0) != 0;
    const auto contour = naca(transonic ? 2412 : 12, !transonic);
    FullPotential solver;
    int failed = 0;
    for (auto _ : state) {
        solver.reset();
        failed += solver.solve(contour, flowCase(transonic)).status != 0;
    }
    state.counters["failed"] = failed;
}

void warmSolve(benchmark::State& state)
{
    const bool transonic = state.range(0) != 0;
    const auto base = naca(transonic ? 2412 : 12, !transonic);
    // A drag step: one upper-surface point moved by a thousandth of the chord, back and forth.
    auto bumped = base;
    bumped[20].y += 0.001;
    FullPotential solver;
    solver.solve(base, flowCase(transonic));
    int failed = 0, cold = 0;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        failed += solver.solve(flip ? bumped : base, flowCase(transonic)).status != 0;
        cold += !solver.lastWarm();
    }
    state.counters["failed"] = failed;
    state.counters["cold"] = cold;
}

/// The viscous transonic case: M 0.7, CL 0.5, Re 30 million, free transition.
FlowCase viscousCase()
{
    FlowCase f = flowCase(true);
    f.viscous = true;
    f.reynolds = 30e6;
    return f;
}

/// Viscous solves on NACA 2412 at 61 stations a surface: cold (argument 0) or warm after a
/// drag step of a thousandth of the chord (argument 1).
void viscousSolve(benchmark::State& state)
{
    const bool warm = state.range(0) != 0;
    const auto base = naca(2412, false, 61);
    auto bumped = base;
    bumped[20].y += 0.001;
    FullPotential solver;
    solver.solve(base, viscousCase());
    int failed = 0, cold = 0;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        if (!warm)
            solver.reset();
        failed += solver.solve(flip ? bumped : base, viscousCase()).status != 0;
        cold += !solver.lastWarm();
    }
    state.counters["failed"] = failed;
    state.counters["cold"] = cold;
}

/// The transonic validation cases on NACA 0012 (sharp), inviscid; the
/// counters carry the results for the validation report. 0: M 0.8, alpha 1.25 deg; 1: M 0.8,
/// CL 0.38; 2: M 0.7, CL 0.5.
void transonicCase(benchmark::State& state)
{
    const auto contour = naca(12, true);
    FlowCase f = flowCase(false);
    f.mach = state.range(0) == 2 ? 0.7 : 0.8;
    f.prescribed_lift = state.range(0) != 0;
    f.target = state.range(0) == 0 ? 1.25 : (state.range(0) == 1 ? 0.38 : 0.5);
    camber::smesh::FlowResult r;
    for (auto _ : state) {
        FullPotential solver;
        r = solver.solve(contour, f);
    }
    state.counters["status"] = r.status;
    state.counters["alpha"] = r.alpha;
    state.counters["cl"] = r.cl;
    state.counters["cd"] = r.cd;
    state.counters["shock_upper"] = camber::smesh::shock_position(r, f.mach, true);
    state.counters["shock_lower"] = camber::smesh::shock_position(r, f.mach, false);
}

/// The viscous transonic case on NACA 2412 and NACA 0012 (61 stations a surface, blunt
/// trailing edge); the counters carry the results for the validation
/// report, with the inviscid solution's angle and shock for comparison.
void viscousTransonicCase(benchmark::State& state)
{
    const auto contour = naca(state.range(0) == 0 ? 2412 : 12, false, 61);
    const FlowCase f = viscousCase();
    FlowCase inviscid = f;
    inviscid.viscous = false;
    camber::smesh::FlowResult r, i;
    for (auto _ : state) {
        FullPotential solver;
        r = solver.solve(contour, f);
        solver.reset();
        i = solver.solve(contour, inviscid);
    }
    state.counters["status"] = r.status;
    state.counters["alpha"] = r.alpha;
    state.counters["alpha_inviscid"] = i.alpha;
    state.counters["cd"] = r.cd;
    state.counters["cd_friction"] = r.cd_friction;
    state.counters["shock_upper"] = camber::smesh::shock_position(r, f.mach, true);
    state.counters["shock_upper_inviscid"] = camber::smesh::shock_position(i, f.mach, true);
    state.counters["transition_upper"] = r.transition_upper;
    state.counters["transition_lower"] = r.transition_lower;
}

/// Robustness: sections deformed by three random Hicks-Henne bumps (up to 0.02 chord, either
/// surface) on NACA 0012, 2412 and 4415, at random Mach 0.2 to 0.85 and CL -0.5 to 1.5, each
/// solved cold. Counters: share converged, calls with a
/// non-finite number, slowest call (s).
void robustnessSweep(benchmark::State& state)
{
    const int cases = static_cast<int>(state.range(0));
    int converged = 0, nonFinite = 0;
    double slowest = 0;
    for (auto _ : state) {
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> u(0, 1);
        for (int k = 0; k < cases; ++k) {
            auto c = naca(k % 3 == 0 ? 12 : (k % 3 == 1 ? 2412 : 4415), false);
            for (int b = 0; b < 3; ++b) {
                const double centre = 0.05 + 0.9 * u(rng), amplitude = (u(rng) - 0.5) * 0.04;
                const bool upper = u(rng) < 0.5;
                const std::size_t le = c.size() / 2;
                for (std::size_t i = 0; i < c.size(); ++i) {
                    if (upper ? i > le : i < le)
                        continue;
                    const double x = std::clamp(c[i].x, 0.0, 1.0);
                    const double s = std::sin(3.141592653589793 * std::pow(x, std::log(0.5) / std::log(centre)));
                    c[i].y += (upper ? amplitude : -amplitude) * s * s * s;
                }
            }
            FlowCase f = flowCase(true);
            f.mach = 0.2 + 0.65 * u(rng);
            f.target = -0.5 + 2.0 * u(rng);
            FullPotential solver;
            const auto start = std::chrono::steady_clock::now();
            const camber::smesh::FlowResult r = solver.solve(c, f);
            slowest = std::max(slowest, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            bool finite = std::isfinite(r.cl) && std::isfinite(r.cd) && std::isfinite(r.alpha);
            for (double v : r.cp)
                finite = finite && std::isfinite(v);
            nonFinite += !finite;
            converged += r.status == 0;
        }
    }
    state.counters["converged_share"] = static_cast<double>(converged) / cases;
    state.counters["non_finite"] = nonFinite;
    state.counters["slowest_s"] = slowest;
}

} // namespace

// Argument 0: NACA 0012 (sharp) at M 0.5, alpha 1.25 deg; 1: NACA 2412 at M 0.7, CL 0.5.
BENCHMARK(coldSolve)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(warmSolve)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3)->ReportAggregatesOnly(true);

// Viscous, NACA 2412 at M 0.7, CL 0.5, Re 30e6: 0 cold, 1 warm after a drag step.
BENCHMARK(viscousSolve)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3)->ReportAggregatesOnly(true);

BENCHMARK(robustnessSweep)->Arg(100)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(transonicCase)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(viscousTransonicCase)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
