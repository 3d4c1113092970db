// SPDX-License-Identifier: MIT
#include "SectionExport.h"

#include "geometry/Error.h"
#include "geometry/TextFile.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace camber {

namespace {

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

} // namespace

DatSection current_section(const SectionState& s)
{
    DatSection section;
    std::string title = s.title_ln(1).str();
    title.erase(title.find_last_not_of(' ') + 1);
    section.name = title;
    const int n = s.k_sec;
    if (n < 1)
        return section;
    for (int i = 1; i <= s.n_up(n); ++i) {
        section.upper.push_back({s.x_st(n, i), s.y_up(n, i)});
        section.lower.push_back({s.x_st(n, i), s.y_lo(n, i)});
    }
    return section;
}

std::vector<std::string> selig_lines(const DatSection& section)
{
    std::vector<std::string> lines{section.name};
    const auto point = [](const DatPoint& p) { return " " + coordinate_text(p.x) + "  " + coordinate_text(p.y); };
    for (auto p = section.upper.rbegin(); p != section.upper.rend(); ++p)
        lines.push_back(point(*p));
    for (std::size_t i = 1; i < section.lower.size(); ++i)
        lines.push_back(point(section.lower[i]));
    return lines;
}

void export_section(const SectionState& s, const std::string& path)
{
    const DatSection section = current_section(s);
    if (section.upper.size() < 2)
        throw Error(path + ": there is no section to write; read a section file first");
    const std::string extension = lowerCase(std::filesystem::path(path).extension().string());
    if (extension == ".dat")
        write_lines_atomically(path, selig_lines(section), "\n");
    else if (extension == ".ulf")
        write_lines_atomically(path, ulf_lines(section, "Camber"));
    else
        throw Error(path + ": cannot tell the file's form from its name; end it in .dat (Selig) or .ULF");
}

} // namespace camber
