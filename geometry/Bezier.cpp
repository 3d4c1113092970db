// SPDX-License-Identifier: MIT
#include "Bezier.h"

#include <cmath>

namespace camber {

namespace {

Single junction(Integer n, const ControlArray& X)
{
    const Single front = X(n, 4) - X(n, 1);
    return front / (front + (X(n, 7) - X(n, 4)));
}

Single bernstein(Integer n, Single u, Integer seg, const ControlArray& P)
{
    const int k = seg == 1 ? 1 : 4;
    const Single w = 1 - u;
    return w * (w * (w * P(n, k) + 3 * u * P(n, k + 1)) + 3 * u * u * P(n, k + 2)) + u * u * u * P(n, k + 3);
}

} // namespace

Single bez_x_at_t(Integer n, Single t, Single t0, Single& u, Integer& seg, const ControlArray& X)
{
    if (t < t0) {
        u = t / t0;
        seg = 1;
    } else {
        u = (t - t0) / (1 - t0);
        seg = 2;
    }
    return bernstein(n, u, seg, X);
}

void bez_y_at_x(Integer n, const ControlArray& X, const ControlArray& Y, Single& t, Single target, Single& y,
                Single tol)
{
    const Single t0 = junction(n, X);
    Single h = 0.0001f;
    Single u = 0;
    Integer seg = 1;
    Single f = bez_x_at_t(n, t, t0, u, seg, X);
    Single err = 0.99f;
    for (int iter = 0; err > tol && iter < kBezierMaxIterations; ++iter) {
        if (t + h > 1)
            h = -h;
        Single u2 = 0;
        Integer seg2 = 1;
        const Single f2 = bez_x_at_t(n, t + h, t0, u2, seg2, X);
        const Single slope = (f2 - f) / h;
        const Single next = t - (f - target) / slope;
        if (!std::isfinite(next))
            break;
        t = next;
        f = bez_x_at_t(n, t, t0, u, seg, X);
        err = std::fabs(f - target);
    }
    y = bernstein(n, u, seg, Y);
}

void bez_y_at_stations(Integer n, const ControlArray& X, const ControlArray& Y, const StationArray& at,
                       StationArray& d, int stations, Single tol)
{
    Single t = 0;
    for (int i = 2; i <= stations; ++i)
        bez_y_at_x(n, X, Y, t, at(n, i), d(n, i), tol);
}

Single max_thick(const SectionState& s, Integer n, const StationArray& xs, const StationArray& th, Single& xpos)
{
    int jm = 1;
    for (int j = 2; j <= s.n_up(n) && th(n, j) >= th(n, j - 1); ++j)
        jm = j;
    xpos = xs(n, jm);
    return 2 * th(n, jm);
}

} // namespace camber
