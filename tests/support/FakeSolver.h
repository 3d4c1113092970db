// SPDX-License-Identifier: MIT
#pragma once

#include <cmath>
#include <cstdint>

namespace camber::test {

/// A deterministic stand-in for the flow solver: lift slope 0.1 per degree, zero-lift angle
/// -2 degrees times the mean camber of the contour in percent, a smooth Cp curve scaled by the
/// lift, drag 0.01. Counts its calls.
struct FakeSolver {
    static inline int calls = 0;
    static inline std::int32_t status = 0;

    static void call(const std::int32_t*, const std::int32_t* k_alcl, const std::int32_t*, const float* mach,
                     const float* alcl, const std::int32_t*, const std::int32_t*, const std::int32_t*,
                     const std::int32_t* n_pts, const float*, const float*, const float* y_sm, std::int32_t* n_cp,
                     float* cp_x, float* cp_y, float* cp, float* sm_out1, float* alpha, float* clift, float* cdrag,
                     float*, float*, std::int32_t* sm_stat)
    {
        ++calls;
        double camber = 0;
        const int n = *n_pts;
        for (int i = 0; i < n; ++i)
            camber += y_sm[i];
        camber = camber / n * 100.0;
        const double zeroLift = -2.0 * camber;
        if (*k_alcl == 1) {
            *alpha = alcl[0];
            *clift = static_cast<float>(0.1 * (alcl[0] - zeroLift));
        } else {
            *clift = alcl[0];
            *alpha = static_cast<float>(alcl[0] / 0.1 + zeroLift);
        }
        *cdrag = 0.01f + 0.0f * mach[0];
        *n_cp = 129;
        for (int i = 0; i < 129; ++i) {
            const double x = std::fabs(i - 64) / 64.0;
            cp_x[i] = static_cast<float>(x);
            cp_y[i] = 0;
            cp[10 * i] = static_cast<float>((i < 64 ? -1.0 : 0.5) * *clift * std::sqrt(1 - x) + 0.2 * x);
            sm_out1[10 * i] = 0;
        }
        sm_stat[0] = status;
    }
};

} // namespace camber::test
