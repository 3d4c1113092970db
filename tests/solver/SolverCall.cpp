// SPDX-License-Identifier: MIT
#include "SolverCall.h"

#include <cmath>

namespace camber::test {

void naca4(int digits, int n_up, bool sharp, std::vector<float>& x, std::vector<float>& y)
{
    const double m = (digits / 1000) / 100.0, p = (digits / 100 % 10) / 10.0, t = (digits % 100) / 100.0;
    // The sharp form closes the section at x = 1.00893 with the last coefficient -0.1015 and is
    // then scaled back to unit chord.
    const double xEnd = sharp ? 1.008930411365 : 1.0;
    std::vector<double> xu(static_cast<std::size_t>(n_up)), yu(xu.size()), xl(xu.size()), yl(xu.size());
    for (int i = 0; i < n_up; ++i) {
        const double xc = xEnd * 0.5 * (1 - std::cos(3.141592653589793 * i / (n_up - 1)));
        const double yt = 5 * t * (0.2969 * std::sqrt(xc) - 0.1260 * xc - 0.3516 * xc * xc + 0.2843 * xc * xc * xc -
                                   0.1015 * xc * xc * xc * xc);
        double yc = 0, dyc = 0;
        if (m > 0) {
            if (xc < p) {
                yc = m / (p * p) * (2 * p * xc - xc * xc);
                dyc = 2 * m / (p * p) * (p - xc);
            } else {
                yc = m / ((1 - p) * (1 - p)) * ((1 - 2 * p) + 2 * p * xc - xc * xc);
                dyc = 2 * m / ((1 - p) * (1 - p)) * (p - xc);
            }
        }
        const double th = std::atan(dyc);
        const auto k = static_cast<std::size_t>(i);
        xu[k] = (xc - yt * std::sin(th)) / xEnd;
        yu[k] = (yc + yt * std::cos(th)) / xEnd;
        xl[k] = (xc + yt * std::sin(th)) / xEnd;
        yl[k] = (yc - yt * std::cos(th)) / xEnd;
    }
    x.clear();
    y.clear();
    for (int i = n_up - 1; i >= 0; --i) {
        x.push_back(static_cast<float>(xu[static_cast<std::size_t>(i)]));
        y.push_back(static_cast<float>(yu[static_cast<std::size_t>(i)]));
    }
    for (int i = 1; i < n_up; ++i) {
        x.push_back(static_cast<float>(xl[static_cast<std::size_t>(i)]));
        y.push_back(static_cast<float>(yl[static_cast<std::size_t>(i)]));
    }
}

} // namespace camber::test
