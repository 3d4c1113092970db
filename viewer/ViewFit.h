// SPDX-License-Identifier: MIT
#pragma once

#include "geometry/SectionState.h"

#include <string>

namespace camber {

/// The section viewer's view window of each section, in section coordinates: centre
/// (view_xc, view_yc) and visible width and height (view_w, view_h).
struct ViewState {
    SectionSingles view_xc, view_yc, view_w, view_h;
};

/// Fits the view of section k to its bounding box with a margin of 1 % of the extent on every
/// side, at the height-to-width ratio of the drawing surface (surfaceWidth x surfaceHeight, any
/// unit), so that x and y units are equally long on screen. The bounding box is then widened
/// to the view window itself, so fitting again adds the margins again.
/// Degenerate cases do not divide by zero: a surface without area is taken as square, and a
/// section without width is framed as taller than the surface (its view width then follows
/// from its height); a section that is a single point gets a view one unit wide.
void fit_frame(SectionState& s, ViewState& v, const Integer& k, Single surfaceWidth, Single surfaceHeight);

/// The extent of one axis after fitting: centre c -/+ half of the larger of the framed span and
/// the view span, into lo and hi.
void frame_span(Single c, Single framed, Single view, Single& lo, Single& hi);

/// Moves the view of section k so that the drawing follows a drag from the press position
/// (x_down, y_down) to the release position (x, y), both in the user coordinates of the view shown.
void translate_view(ViewState& v, Integer k, Single x_down, Single y_down, Single x, Single y);

/// Zooms the view of section k about its centre after a vertical drag from y_down to y:
/// f = 1 + 5 |d| / view_w with d = y_down - y; a drag upwards (d < 0) enlarges the view by f
/// (zoom out), a drag downwards shrinks it by f (zoom in); no vertical movement changes nothing.
void zoom_view(ViewState& v, Integer k, Single y_down, Single y);

/// A number as a plain print shows it: a blank (or the minus sign), the digits without a zero
/// before the decimal point, and a trailing blank: 0.2 is " .2 ", 1 is " 1 ", -0.5 is "-.5 ".
/// Up to 15 significant digits; very large and very small values use an E exponent.
std::string general_number(double value);

} // namespace camber
