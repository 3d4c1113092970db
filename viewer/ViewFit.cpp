// SPDX-License-Identifier: MIT
#include "ViewFit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace camber {

void frame_span(Single c, Single framed, Single view, Single& lo, Single& hi)
{
    const Single half = std::max(framed, view) / 2;
    lo = c - half;
    hi = c + half;
}

void fit_frame(SectionState& s, ViewState& v, const Integer& k, Single surfaceWidth, Single surfaceHeight)
{
    const Single dx = 0.01f * (s.x_max(k) - s.x_min(k));
    const Single dy = 0.01f * (s.y_max(k) - s.y_min(k));
    const Single left = s.x_min(k) - dx, right = s.x_max(k) + dx;
    const Single bottom = s.y_min(k) - dy, top = s.y_max(k) + dy;
    Single w0 = right - left;
    const Single h0 = top - bottom;
    const Single xc = (right + left) * 0.5f;
    const Single yc = (top + bottom) * 0.5f;
    if (!(w0 > 0) && !(h0 > 0))
        w0 = 1;

    const Single r = surfaceWidth > 0 && surfaceHeight > 0 ? surfaceHeight / surfaceWidth : Single(1);
    const bool flatter = w0 > 0 && static_cast<Single>(h0 / w0) < r;
    if (flatter) {
        v.view_w(k) = w0;
        v.view_h(k) = r * w0;
    } else {
        v.view_h(k) = h0;
        v.view_w(k) = h0 / r;
    }
    v.view_xc(k) = xc;
    v.view_yc(k) = yc;

    frame_span(xc, w0, v.view_w(k), s.x_min(k), s.x_max(k));
    frame_span(yc, h0, v.view_h(k), s.y_min(k), s.y_max(k));
}

void translate_view(ViewState& v, Integer k, Single x_down, Single y_down, Single x, Single y)
{
    v.view_xc(k) += x_down - x;
    v.view_yc(k) += y_down - y;
}

void zoom_view(ViewState& v, Integer k, Single y_down, Single y)
{
    const Single d = y_down - y;
    const Single f = 1 + 5 * std::abs(d) / v.view_w(k);
    if (d < 0) {
        v.view_w(k) *= f;
        v.view_h(k) *= f;
    } else {
        v.view_w(k) /= f;
        v.view_h(k) /= f;
    }
}

std::string general_number(double value)
{
    char digits[40];
    std::snprintf(digits, sizeof digits, "%.15G", std::abs(value));
    std::string text = digits;
    if (text.size() > 1 && text[0] == '0' && text[1] == '.')
        text.erase(0, 1);
    return (value < 0 ? "-" : " ") + text + " ";
}

} // namespace camber
