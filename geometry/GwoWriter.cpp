// SPDX-License-Identifier: MIT
#include "GwoWriter.h"

#include "Format.h"
#include "TextFile.h"

#include <cmath>

namespace camber {

void gwo_params(const SectionState& s, Integer n_sec, Single& xsing, Single& ysing, Single& trail, Single& slopt,
                const StationArray& x, const StationArray& t, const StationArray& c)
{
    const int n = s.n_up(n_sec);
    int js = 1;
    if (n >= 2 && t(n_sec, 2) > x(n_sec, 2)) {
        js = 2;
        while (js < n && t(n_sec, js + 1) > x(n_sec, js + 1))
            ++js;
    }
    xsing = 0.6f * x(n_sec, js);
    ysing = c(n_sec, js);

    int before = n - 1;
    while (before > 1 && x(n_sec, before) == x(n_sec, n))
        --before;
    const Single width = x(n_sec, before) - x(n_sec, n);
    if (n < 2 || width == 0.0f) {
        trail = 0;
        slopt = 0;
        return;
    }
    const Single thicknessSlope = (t(n_sec, before) - t(n_sec, n)) / width;
    trail = static_cast<Single>(-2.0 * (180.0 / 3.141592653) * std::atan(static_cast<double>(thicknessSlope)));
    slopt = (c(n_sec, before) - c(n_sec, n)) / width;
}

std::vector<std::string> gwo_lines(SectionState& s)
{
    std::vector<std::string> lines;
    lines.push_back(s.title_ln(1).str());
    for (int k = 1; k <= s.n_sections; ++k) {
        gwo_params(s, static_cast<Integer>(k), s.xsing(k), s.ysing(k), s.trail(k), s.slopt(k), s.x_st, s.t_half,
                   s.camb);
        lines.push_back("----------------------------------------");
        lines.push_back("       Parameters For BLWF code         ");
        lines.push_back("<  XSING ><  YSING ><  TRAIL ><  SLOPT >");
        lines.push_back(FixedLine(40)
                            .put(1, format_number(s.xsing(k), "0.0000"))
                            .put(11, format_number(s.ysing(k), "0.0000"))
                            .put(21, format_number(s.trail(k), "0.0000"))
                            .put(31, format_number(s.slopt(k), "0.0000"))
                            .str());
        FixedLine heading(42);
        heading.put(1, "<  YSYM  >").put(11, "<   NU   >").put(21, "<   NL   >").put(31, "  section");
        lines.push_back(heading.put(41, format_number(k, "#0")).str());
        const std::string count = format_number(s.n_up(k), " ##0.0");
        lines.push_back(FixedLine(30).put(1, "  0.0").put(11, count).put(21, count).str());
        lines.push_back("<   XU   ><   YU   >");
        for (int j = 1; j <= s.n_up(k); ++j)
            lines.push_back(FixedLine(20)
                                .put(1, format_number(s.x_st(k, j), "0.000000"))
                                .put(11, format_number(s.y_up(k, j), "0.000000"))
                                .str());
        lines.push_back("<   XL   ><   YL   >");
        for (int j = 1; j <= s.n_up(k); ++j)
            lines.push_back(FixedLine(20)
                                .put(1, format_number(s.x_st(k, j), "0.000000"))
                                .put(11, format_number(s.y_lo(k, j), "0.000000"))
                                .str());
    }
    return lines;
}

void save_gwo(SectionState& s)
{
    write_lines_atomically(s.f_gwo, gwo_lines(s));
}

} // namespace camber
