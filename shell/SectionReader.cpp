// SPDX-License-Identifier: MIT
#include "SectionReader.h"

#include "geometry/Error.h"
#include "geometry/Format.h"
#include "geometry/Spline.h"
#include "geometry/TextFile.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace camber {

void str_ass(const std::string& st_inp, Integer& k_num, Integer& /*k_arg*/, Integer& n_err, Single* anum1,
             Single* anum2, Single* anum3, Single* anum4, Single* anum5, Single* anum6, Single* anum7)
{
    k_num = 0;
    if (st_inp.empty()) {
        n_err = -1;
        return;
    }
    Single* const targets[7] = {anum1, anum2, anum3, anum4, anum5, anum6, anum7};
    std::size_t start = 0;
    while (start <= st_inp.size()) {
        std::size_t end = st_inp.find(' ', start);
        if (end == std::string::npos) {
            if (start >= st_inp.size())
                break;
            end = st_inp.size();
        }
        if (end > start) {
            ++k_num;
            const std::string field = st_inp.substr(start, std::min<std::size_t>(end - start, 10));
            if (k_num <= 7 && targets[k_num - 1] != nullptr)
                *targets[k_num - 1] = static_cast<Single>(text_to_number(field));
        }
        start = end + 1;
    }
}

namespace {

// A contour point's file line, for error messages.
struct PointSource {
    int line = 0;
};

void checkFinite(const LineReader& in, Single value)
{
    if (!std::isfinite(value))
        throw Error(in.where("the number is too large or not a number"));
}

} // namespace

void read_section(SectionState& target)
{
    // Work on a copy so that a failed read leaves the loaded section as it was; the array
    // tails beyond the new counts keep the values of the previous section, as when reading
    // in place.
    SectionState s = target;
    const std::string& path = s.f_inp;
    LineReader in(path);
    s.cp_win = 0;
    s.title_ln(1) = Text80(in.next("the title line"));
    s.n_sections = 1;
    const int sec = 1;

    in.next("the second line");
    Integer k_num = 0, k_arg = 0, n_err = 0;
    Single kSym = 0, nU = 0, nL = 0;
    str_ass(in.next("the count line (k_sym n_u n_l)"), k_num, k_arg, n_err, &kSym, &nU, &nL);
    const int countLine = in.lineNumber();
    checkFinite(in, kSym);
    checkFinite(in, nU);
    checkFinite(in, nL);
    const bool symmetric = kSym != 0;
    const double nu = std::trunc(nU), nl = symmetric ? std::trunc(nU) : std::trunc(nL);
    if (nu < 2)
        throw Error(in.where("the upper surface needs at least 2 points (n_u = " + format_number(nu, "#0") + ")"));
    if (nl < 2)
        throw Error(in.where("the lower surface needs at least 2 points (n_l = " + format_number(nl, "#0") + ")"));
    if (nu + nl - 1 > kMaxPoints)
        throw Error(in.where("the contour has " + format_number(nu + nl - 1, "#0") + " points; at most "
                             + std::to_string(kMaxPoints) + " fit (n_u + n_l - 1)"));
    s.k_sym(sec) = kSym;
    s.n_up(sec) = static_cast<Integer>(nu);
    s.n_lo(sec) = static_cast<Integer>(nl);
    in.next("the heading of the upper surface");

    const int nUp = s.n_up(sec);
    const int nTot = nUp + s.n_lo(sec) - 1;
    std::vector<PointSource> source(static_cast<std::size_t>(nTot) + 1);
    auto readPoint = [&](int j, const std::string& expected) {
        Single x = s.x_c(sec, j), y = s.y_c(sec, j);
        str_ass(in.next(expected), k_num, k_arg, n_err, &x, &y);
        checkFinite(in, x);
        checkFinite(in, y);
        s.x_c(sec, j) = x;
        s.y_c(sec, j) = y;
        source[static_cast<std::size_t>(j)].line = in.lineNumber();
    };
    for (int j = nUp; j >= 1; --j)
        readPoint(j, "upper point " + std::to_string(nUp - j + 1) + " of " + std::to_string(nUp));
    s.n_tot(sec) = static_cast<Integer>(nTot);
    if (symmetric) {
        for (int j = nUp; j <= nTot; ++j) {
            s.x_c(sec, j) = s.x_c(sec, nTot - j + 1);
            s.y_c(sec, j) = -s.y_c(sec, nTot - j + 1);
            source[static_cast<std::size_t>(j)] = source[static_cast<std::size_t>(nTot - j + 1)];
        }
    } else {
        in.next("the heading of the lower surface");
        for (int j = nUp; j <= nTot; ++j)
            readPoint(j, "lower point " + std::to_string(j - nUp + 1) + " of " + std::to_string(s.n_lo(sec)));
    }
    auto pointError = [&](int j, const std::string& what) {
        return Error(path + ": line " + std::to_string(source[static_cast<std::size_t>(j)].line) + ": " + what);
    };

    // Leading edge: the point farthest from the trailing-edge midpoint, searched in a window
    // of a fifth of the upper count around the junction of the two tables.
    const Single xTe = (s.x_c(sec, 1) + s.x_c(sec, nTot)) * 0.5f;
    const Single yTe = (s.y_c(sec, 1) + s.y_c(sec, nTot)) * 0.5f;
    const int w = static_cast<int>(round_half_even(static_cast<Single>(nUp) * 0.2f));
    int le = nUp;
    Single farthest = 0;
    for (int j = std::max(1, nUp - w); j <= std::min(nTot, nUp + w); ++j) {
        const Single dx = xTe - s.x_c(sec, j), dy = yTe - s.y_c(sec, j);
        const Single d = std::sqrt(dx * dx + dy * dy);
        if (d > farthest) {
            farthest = d;
            le = j;
        }
    }
    s.n_up(sec) = static_cast<Integer>(le);
    const int n = le;
    const Single xLe = s.x_c(sec, n), yLe = s.y_c(sec, n);

    const Single c = std::sqrt((xTe - xLe) * (xTe - xLe) + (yTe - yLe) * (yTe - yLe));
    if (!(c > 0))
        throw Error(path + ": line " + std::to_string(countLine)
                    + ": the leading edge and the trailing-edge midpoint coincide (zero chord)");
    const Single sinA = -(yTe - yLe) / c;
    const Single cosA = std::sqrt(1 - sinA * sinA);
    if (!(cosA > 0))
        throw pointError(n, "the trailing edge lies straight above or below the leading edge");
    s.twist = static_cast<Single>(std::atan(static_cast<double>(sinA / cosA)) * 180.0 / 3.141592653);

    // Rounding of a point right beside the leading edge may give a tiny negative chord
    // position; anything beyond that lies ahead of the leading edge and cannot be unrolled.
    const Single roundingNoise = 1e-6f;
    std::vector<Single> t(static_cast<std::size_t>(nTot)), wy(static_cast<std::size_t>(nTot));
    for (int j = 1; j <= nTot; ++j) {
        const Single dx = s.x_c(sec, j) - xLe, dy = s.y_c(sec, j) - yLe;
        Single xp = (dx * cosA - dy * sinA) / c;
        const Single yp = (dx * sinA + dy * cosA) / c;
        if (xp < -roundingNoise)
            throw pointError(j, "the point lies ahead of the leading edge found (x/c = "
                                    + format_number(xp, "#0.000000") + "); is the trailing edge on the right?");
        if (xp < 0)
            xp = 0;
        s.x_c(sec, j) = xp;
        s.y_c(sec, j) = yp;
        t[static_cast<std::size_t>(j - 1)] = j <= n ? -std::sqrt(xp) : std::sqrt(xp);
        wy[static_cast<std::size_t>(j - 1)] = yp;
    }
    s.x_c(sec, 1) = 1.0f;
    s.x_c(sec, nTot) = 1.0f;

    std::vector<Single> u(static_cast<std::size_t>(n)), v(static_cast<std::size_t>(n));
    for (int j = 1; j <= n; ++j) {
        const int k = n - j + 1;
        s.x_st(sec, j) = s.x_c(sec, k);
        s.s_st(sec, j) = std::sqrt(s.x_c(sec, k));
        s.y_up(sec, j) = s.y_c(sec, k);
        u[static_cast<std::size_t>(j - 1)] = -t[static_cast<std::size_t>(k - 1)];
    }

    // The lower surface at the upper stations, interpolated over the square root of x, which
    // runs through the leading edge without a vertical tangent.
    Integer splineErr = 0;
    std::string msg;
    spline_val(static_cast<Integer>(nTot), t.data(), wy.data(), static_cast<Integer>(n), u.data(), v.data(),
               splineErr, msg);
    if (splineErr != 0) {
        for (int j = 2; j <= nTot; ++j)
            if (t[static_cast<std::size_t>(j - 2)] >= t[static_cast<std::size_t>(j - 1)])
                throw pointError(j, "the contour folds back on itself here (the chord position must fall "
                                    "along the upper surface and rise along the lower one)");
        throw Error(path + ": the contour cannot be interpolated:" + msg);
    }

    for (int j = 1; j <= n; ++j) {
        s.y_lo(sec, j) = v[static_cast<std::size_t>(j - 1)];
        s.x_st0(sec, j) = s.x_st(sec, j);
        s.y_up0(sec, j) = s.y_up(sec, j);
        s.y_lo0(sec, j) = s.y_lo(sec, j);
        s.t_half0(sec, j) = (s.y_up0(sec, j) - s.y_lo0(sec, j)) * 0.5f;
        s.camb0(sec, j) = (s.y_up0(sec, j) + s.y_lo0(sec, j)) * 0.5f;
        s.camb(sec, j) = s.camb0(sec, j);
        s.t_half(sec, j) = s.t_half0(sec, j);
    }
    s.chord(sec) = 1.0f;
    s.twist_sec(sec) = s.twist_sec(sec) + s.twist;
    calc_box(s);
    s.k_sec = 1;
    target = s;
}

void calc_box(SectionState& s)
{
    for (int sec = 1; sec <= s.n_sections; ++sec) {
        s.x_min(sec) = 1e8f;
        s.x_max(sec) = -1e8f;
        s.y_min(sec) = 1e8f;
        s.y_max(sec) = -1e8f;
        for (int j = 1; j <= s.n_tot(sec); ++j) {
            if (s.x_c(sec, j) < s.x_min(sec))
                s.x_min(sec) = s.x_c(sec, j);
            if (s.y_c(sec, j) < s.y_min(sec))
                s.y_min(sec) = s.y_c(sec, j);
            if (s.x_c(sec, j) > s.x_max(sec))
                s.x_max(sec) = s.x_c(sec, j);
            if (s.y_c(sec, j) > s.y_max(sec))
                s.y_max(sec) = s.y_c(sec, j);
        }
    }
}

} // namespace camber
