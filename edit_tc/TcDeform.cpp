// SPDX-License-Identifier: MIT
#include "TcDeform.h"

#include "geometry/Bezier.h"

#include <cmath>

namespace camber::edit_tc {

void calc_ss(SectionState& s, Integer n_sec)
{
    const Integer n = n_sec;
    for (int k = 1; k <= kControlPoints; ++k)
        s.s_tcp2(n, k) = std::sqrt(s.x_tcp2(n, k));
    const Single tol = 0.0001f;
    s.d_camb(n, 1) = s.d_tcp1(n, 1);
    s.d_thalf(n, 1) = s.d_tcp2(n, 1);
    s.camb(n, 1) = s.camb0(n, 1) + s.d_camb(n, 1);
    s.t_half(n, 1) = s.t_half0(n, 1) + s.d_thalf(n, 1);
    s.y_up(n, 1) = s.camb(n, 1);
    s.y_lo(n, 1) = s.camb(n, 1);
    const int stations = s.n_up(n);
    bez_y_at_stations(n, s.x_tcp1, s.d_tcp1, s.x_st, s.d_camb, stations, tol);
    bez_y_at_stations(n, s.s_tcp2, s.d_tcp2, s.s_st, s.d_thalf, stations, tol);
    for (int i = 2; i <= stations; ++i) {
        s.camb(n, i) = s.camb0(n, i) + s.d_camb(n, i);
        s.t_half(n, i) = s.t_half0(n, i) + s.d_thalf(n, i);
    }
    for (int i = 2; i <= stations; ++i) {
        s.y_up(n, i) = s.camb(n, i) + s.t_half(n, i);
        s.y_lo(n, i) = s.camb(n, i) - s.t_half(n, i);
    }
}

} // namespace camber::edit_tc
