// SPDX-License-Identifier: MIT
#pragma once

#include "geometry/SectionState.h"

namespace camber::edit_tc {

/// Rebuilds section n_sec from the thickness/camber control points: camber = initial camber
/// plus the camber curve (over the chord position), half-thickness = initial half-thickness
/// plus the thickness curve (over the square root of the chord position, finer near the
/// nose); then y_up = camb + t_half and y_lo = camb - t_half, both equal to camb at station 1.
void calc_ss(SectionState& s, Integer n_sec);

} // namespace camber::edit_tc
