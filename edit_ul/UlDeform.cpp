// SPDX-License-Identifier: MIT
#include "UlDeform.h"

#include "geometry/Bezier.h"

#include <cmath>

namespace camber::edit_ul {

void calc_ss(SectionState& s, Integer n_sec)
{
    const Integer n = n_sec;
    for (int k = 1; k <= kControlPoints; ++k) {
        s.s_cp1(n, k) = std::sqrt(s.x_cp1(n, k));
        s.s_cp2(n, k) = std::sqrt(s.x_cp2(n, k));
    }
    const Single tol = 0.0001f;
    s.d_lo(n, 1) = s.d_cp1(n, 1);
    s.d_up(n, 1) = s.d_cp2(n, 1);
    s.y_up(n, 1) = s.camb(n, 1);
    s.y_lo(n, 1) = s.camb(n, 1);
    const int stations = s.n_up(n);
    bez_y_at_stations(n, s.s_cp1, s.d_cp1, s.s_st, s.d_lo, stations, tol);
    bez_y_at_stations(n, s.s_cp2, s.d_cp2, s.s_st, s.d_up, stations, tol);
    for (int i = 2; i <= stations; ++i) {
        s.y_lo(n, i) = s.y_lo0(n, i) + s.d_lo(n, i);
        s.y_up(n, i) = s.y_up0(n, i) + s.d_up(n, i);
    }
    for (int i = 2; i <= stations; ++i) {
        s.t_half(n, i) = (s.y_up(n, i) - s.y_lo(n, i)) * 0.5f;
        s.camb(n, i) = (s.y_up(n, i) + s.y_lo(n, i)) * 0.5f;
    }
}

} // namespace camber::edit_ul
