// SPDX-License-Identifier: MIT
#pragma once

#include "DatImport.h"
#include "geometry/SectionState.h"

#include <string>
#include <vector>

namespace camber {

/// The current section of s (edited or as read) as a coordinate table in chord units: both
/// surfaces at the stations, from the leading edge to the trailing edge, named by the title.
DatSection current_section(const SectionState& s);

/// The Selig text of a section (lines without line ends): the name, then x y from the upper
/// trailing edge round the leading edge (written once) to the lower trailing edge.
std::vector<std::string> selig_lines(const DatSection& section);

/// Writes the current section to path in the form its extension names, in any letter case:
/// ".dat" a Selig coordinate file (LF line ends, as the tools that read them expect), ".ULF" a
/// section file the program reads (CR LF). The file is replaced whole or not at all. Throws
/// Error naming the file for another extension, an empty section or a failed write.
void export_section(const SectionState& s, const std::string& path);

} // namespace camber
