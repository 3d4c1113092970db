// SPDX-License-Identifier: MIT
#pragma once

#include "Types.h"

#include <string>

namespace camber {

/// Akima interpolation of the l data points (x(i), y(i)) at the n abscissae u(j), giving v(j).
/// Arrays are 1-based as seen by the caller: x[0] is x(1). Arithmetic is in Single.
/// On success fills v(1..n) and leaves n_err and msg untouched; on an error sets them and
/// leaves v untouched: 1 "l = 1 or less", 2 "n = 0 or less", 3 x out of sequence, 4 identical x.
/// Outside the data each end is extended by one interval of the width of its neighbour.
void spline_val(Integer l, const Single* x, const Single* y, Integer n, const Single* u, Single* v,
                Integer& n_err, std::string& msg);

} // namespace camber
