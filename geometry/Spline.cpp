// SPDX-License-Identifier: MIT
#include "Spline.h"

#include <cmath>

namespace camber {

namespace {

// Akima's slope at a data point from the four chord slopes around it: the weights favour
// the side where the slopes change least, so the curve does not overshoot near steps.
Single akimaSlope(Single mLeftLeft, Single mLeft, Single mRight, Single mRightRight)
{
    Single a = std::fabs(mRightRight - mRight);
    Single b = std::fabs(mLeft - mLeftLeft);
    if (a + b == 0.0f) {
        a = 0.5f;
        b = 0.5f;
    }
    return (a * mLeft + b * mRight) / (a + b);
}

} // namespace

void spline_val(Integer l, const Single* xs, const Single* ys, Integer n, const Single* us, Single* vs,
                Integer& n_err, std::string& msg)
{
    if (l < 2) {
        n_err = 1;
        msg = "   ***  l = 1  or less.";
        return;
    }
    if (n < 1) {
        n_err = 2;
        msg = "   ***  n = 0  or less.";
        return;
    }
    auto x = [xs](int i) { return xs[i - 1]; };
    auto y = [ys](int i) { return ys[i - 1]; };
    for (int i = 2; i <= l; ++i) {
        if (x(i - 1) > x(i)) {
            n_err = 3;
            msg = "   ***  x values out of sequence.";
            return;
        }
        if (x(i - 1) == x(i)) {
            n_err = 4;
            msg = "   ***  identical x values.";
            return;
        }
    }

    int previous = 0;
    Single x1 = 0, y1 = 0, d1 = 0, p2 = 0, p3 = 0;
    for (int j = 1; j <= n; ++j) {
        const Single p = us[j - 1];
        int i;
        if (l == 2)
            i = 2;
        else if (p >= x(l))
            i = l + 1;
        else if (p < x(1))
            i = 1;
        else {
            i = 2;
            while (!(x(i - 1) <= p && p < x(i)))
                ++i;
        }

        if (i != previous) {
            previous = i;
            const int k = i == 1 ? 2 : (i == l + 1 ? l : i);
            x1 = x(k - 1);
            y1 = y(k - 1);
            const Single x2 = x(k), y2 = y(k);
            Single h = x2 - x1;
            Single m3 = (y2 - y1) / h;
            Single m1, m2, m4, m5, h2 = 0, h4 = 0;
            if (l == 2) {
                m2 = m3;
                m4 = m3;
            } else if (k == 2) {
                h4 = x(3) - x(2);
                m4 = (y(3) - y(2)) / h4;
                m2 = 2 * m3 - m4;
            } else {
                h2 = x1 - x(k - 2);
                m2 = (y1 - y(k - 2)) / h2;
                if (k == l) {
                    m4 = 2 * m3 - m2;
                } else {
                    h4 = x(k + 1) - x2;
                    m4 = (y(k + 1) - y2) / h4;
                }
            }
            m1 = k > 3 ? (y(k - 2) - y(k - 3)) / (x(k - 2) - x(k - 3)) : 2 * m2 - m3;
            m5 = k < l - 1 ? (y(k + 2) - y(k + 1)) / (x(k + 2) - x(k + 1)) : 2 * m4 - m3;

            Single d2 = 0;
            if (i != l + 1)
                d1 = akimaSlope(m1, m2, m3, m4);
            if (i != 1)
                d2 = akimaSlope(m2, m3, m4, m5);

            if (i == 1) {
                d2 = d1;
                const Single s = h + h4;
                d1 = 0.5f * (m1 + m2 - (h - h4) * h4 * (m3 - m4) / (s * s));
                x1 = x1 - h4;
                y1 = y1 - m2 * h4;
                h = h4;
                m3 = m2;
            } else if (i == l + 1) {
                d1 = d2;
                const Single s = h2 + h;
                d2 = 0.5f * (m4 + m5 - (h2 - h) * h2 * (m2 - m3) / (s * s));
                x1 = x2;
                y1 = y2;
                h = h2;
                m3 = m4;
            }
            p2 = (3 * m3 - 2 * d1 - d2) / h;
            p3 = (d1 + d2 - 2 * m3) / (h * h);
        }
        const Single dx = p - x1;
        vs[j - 1] = ((p3 * dx + p2) * dx + d1) * dx + y1;
    }
}

} // namespace camber
