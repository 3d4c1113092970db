// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace camber {

/// One surface point of an imported section, in the file's own units.
struct DatPoint {
    double x = 0;
    double y = 0;
};

/// A section read from a plain coordinate file, both surfaces from the leading edge to the
/// trailing edge (the leading-edge point starts both tables).
struct DatSection {
    std::string name;
    std::vector<DatPoint> upper;
    std::vector<DatPoint> lower;
};

/// Reads a plain coordinate file in either common layout: Selig (name line, then x y from
/// the upper trailing edge round the leading edge to the lower trailing edge) or Lednicer
/// (name line, count line "n_upper n_lower", upper table, lower table, blank lines between).
/// Throws Error "FILE: line N: cause" on anything else.
DatSection read_dat(const std::string& path);

/// A coordinate with as many decimals as fit in 10 characters, so that a reader of
/// 10-character fields keeps every digit (8 decimals for a value between 0 and 1).
std::string coordinate_text(double v);

/// The .ULF text of a section (lines without line ends): title, a free line, the count
/// line "0 n_u n_l", a heading, the upper table, a heading, the lower table. Numbers are
/// written in at most 10 characters so that the reader keeps every digit.
std::vector<std::string> ulf_lines(const DatSection& section, const std::string& origin);

} // namespace camber
