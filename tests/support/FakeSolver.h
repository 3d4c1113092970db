// SPDX-License-Identifier: MIT
#pragma once

#include "cp/CpCore.h"
#include "solver/smesh.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>

namespace camber::test {

/// A deterministic stand-in for the flow solver: lift slope 0.1 per degree, zero-lift angle
/// -2 degrees times the mean camber of the contour in percent, a smooth Cp curve scaled by the
/// lift, drag 0.01 of which 0.006 friction plus a wave drag of 2.5 (M - 0.72)^2 above Mach 0.72
/// (so the drag diverges at Mach 0.74), transition at 0.4 (upper) and 0.6 (lower) chords, a few
/// stations of each layer. Counts its calls and keeps the last flow case and memory; may be
/// called from several threads.
struct FakeSolver {
    static inline std::atomic<int> calls = 0;
    static inline std::atomic<std::int32_t> status = 0;
    static inline SmeshCase last{};
    static inline std::atomic<SmeshSolver*> lastMemory = nullptr;
    static inline std::atomic<int> memories = 0; ///< memories made and not freed
    /// Runs before every calculation when set, with the memory it is made on (null: the
    /// program's own); a test holds a sweep there.
    static inline std::function<void(SmeshSolver*)> beforeSolve;

    static SmeshSolver* create()
    {
        ++memories;
        return reinterpret_cast<SmeshSolver*>(new char[1]);
    }
    static void destroy(SmeshSolver* memory)
    {
        --memories;
        delete[] reinterpret_cast<char*>(memory);
    }
    /// The stand-in with memories of its own, as the library has them.
    static SolverFunctions functions() { return {&solve, &create, &destroy}; }

    static std::int32_t solve(SmeshSolver* memory, const SmeshCase* flow, std::int32_t n, const double*,
                              const double* y, SmeshResult* r)
    {
        if (beforeSolve)
            beforeSolve(memory);
        ++calls;
        last = *flow;
        lastMemory = memory;
        double camber = 0;
        for (int i = 0; i < n; ++i)
            camber += y[i];
        camber = camber / n * 100.0;
        const double zeroLift = -2.0 * camber;
        *r = SmeshResult{};
        r->version = SMESH_VERSION;
        if (flow->prescribed_lift == 0) {
            r->alpha = flow->target;
            r->cl = 0.1 * (flow->target - zeroLift);
        } else {
            r->cl = flow->target;
            r->alpha = flow->target / 0.1 + zeroLift;
        }
        const double supersonic = std::max(0.0, flow->mach - 0.72);
        r->cd_wave = 2.5 * supersonic * supersonic;
        r->cd = 0.01 + r->cd_wave;
        r->cd_friction = 0.006;
        r->cd_pressure = r->cd - r->cd_friction;
        r->transition_upper = 0.4;
        r->transition_lower = 0.6;
        r->separation_upper = r->separation_lower = 1;
        r->n_cp = SMESH_CP_POINTS;
        for (int i = 0; i < SMESH_CP_POINTS; ++i) {
            const double x = std::fabs(i - 64) / 64.0;
            r->cp_x[i] = x;
            r->cp[i] = (i < 64 ? -1.0 : 0.5) * r->cl * std::sqrt(1 - x) + 0.2 * x;
        }
        for (SmeshLayer* layer : {&r->upper, &r->lower, &r->wake}) {
            layer->count = 11;
            for (int k = 0; k < layer->count; ++k) {
                const double x = 0.1 * k;
                layer->x[k] = layer == &r->wake ? 1 + x : x;
                layer->s[k] = x;
                layer->ue[k] = 1.1 - 0.1 * x;
                layer->theta[k] = 1e-3 * (1 + 2 * x);
                layer->h[k] = layer == &r->wake ? 2 - 0.5 * x : (x < 0.5 ? 2.6 : 1.5);
                layer->dstar[k] = layer->h[k] * layer->theta[k];
                layer->cf[k] = layer == &r->wake ? 0 : 0.004 * (1 - 0.5 * x);
            }
        }
        return r->status = status;
    }
};

} // namespace camber::test
