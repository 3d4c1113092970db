// SPDX-License-Identifier: MIT
#pragma once

#include "solver/smesh.h"

#include <array>
#include <cstdint>
#include <vector>

namespace camber::test {

/// One call of SMESH with every argument held here, for the tests.
struct SolverCall {
    std::int32_t n_case = 1, k_alcl = 0, sm_opt0 = 1, sm_opt1 = 30, sm_opt2 = 1, sm_opt3 = 2, n_pts = 0;
    std::array<float, 20> mach{}, alcl{};
    float sm_opt4 = 0;
    std::array<float, 129> x_sm{}, y_sm{};
    std::int32_t n_cp = 0;
    std::array<float, 129> cp_x{}, cp_y{};
    std::array<float, 1290> cp{}, sm_out1{};
    std::array<float, 1000> sm_out2{};
    std::array<std::int32_t, 10> sm_stat{};
    float alpha = 0, clift = 0, cdrag = 0, cd_wave = 0;

    /// Copies the contour (at most 129 points are stored; n_pts says how many were given).
    void contour(const std::vector<float>& x, const std::vector<float>& y)
    {
        n_pts = static_cast<std::int32_t>(x.size());
        for (std::size_t i = 0; i < x.size() && i < x_sm.size(); ++i) {
            x_sm[i] = x[i];
            y_sm[i] = y[i];
        }
    }
    /// Angle of attack prescribed, degrees.
    void angle(float mach1, float a)
    {
        mach[0] = mach1;
        k_alcl = 1;
        alcl[0] = a;
    }
    /// Lift coefficient prescribed.
    void lift(float mach1, float cl)
    {
        mach[0] = mach1;
        k_alcl = 0;
        alcl[0] = cl;
    }
    void inviscid() { sm_opt2 = 0; }
    std::int32_t run()
    {
        SMESH(&n_case, &k_alcl, &sm_opt0, mach.data(), alcl.data(), &sm_opt1, &sm_opt2, &sm_opt3, &n_pts, &sm_opt4,
              x_sm.data(), y_sm.data(), &n_cp, cp_x.data(), cp_y.data(), cp.data(), sm_out1.data(), &alpha, &clift,
              &cdrag, &cd_wave, sm_out2.data(), sm_stat.data());
        return sm_stat[0];
    }
    float cp1(int i) const { return cp[static_cast<std::size_t>(10 * (i - 1))]; }
};

/// NACA four-digit section through n_up stations per surface (cosine spaced), as the program
/// passes it: upper trailing edge round the leading edge to the lower trailing edge, chord 1.
/// sharp: the trailing edge closed by extending the chord (Vassberg & Jameson's form of 0012).
void naca4(int digits, int n_up, bool sharp, std::vector<float>& x, std::vector<float>& y);

} // namespace camber::test
