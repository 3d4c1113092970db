// SPDX-License-Identifier: MIT
#pragma once

#include "geometry/SectionState.h"

#include <string>

namespace camber {

/// Splits a line into numbers. Fields are the runs between single space characters (tabs do
/// not separate); empty fields are skipped. k_num counts every field; the first seven, each
/// cut to 10 characters, are converted as text_to_number and stored in anum1..anum7 (a null
/// pointer or an absent field leaves the value unchanged). An empty line sets n_err = -1
/// and k_num = 0; otherwise n_err is not touched. k_arg is not used.
void str_ass(const std::string& st_inp, Integer& k_num, Integer& k_arg, Integer& n_err, Single* anum1 = nullptr,
             Single* anum2 = nullptr, Single* anum3 = nullptr, Single* anum4 = nullptr, Single* anum5 = nullptr,
             Single* anum6 = nullptr, Single* anum7 = nullptr);

/// Reads the section file s.f_inp (.ULF: title, free line, count line "k_sym n_u n_l",
/// heading, upper points leading edge to trailing edge, and unless symmetric a heading and
/// the lower points) and normalises it: the leading edge (the point farthest from the
/// trailing-edge midpoint, searched near the junction of the tables) goes to the origin, the
/// trailing-edge midpoint to (1, 0). Fills the contour, the station and thickness/camber forms
/// and their initial copies, the bounding box; adds the chord-line angle to twist_sec;
/// sets k_sec = 1 and cp_win = 0.
/// The section is replaced only when the whole read succeeds: on failure throws Error
/// "FILE: line N: cause" and s is unchanged.
void read_section(SectionState& s);

/// Bounding box x_min, x_max, y_min, y_max of contour points 1..n_tot of every section.
void calc_box(SectionState& s);

} // namespace camber
