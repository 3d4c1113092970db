// SPDX-License-Identifier: MIT
#include "DatImport.h"

#include "geometry/Error.h"
#include "geometry/Format.h"
#include "geometry/TextFile.h"

#include <charconv>
#include <cmath>
#include <optional>

namespace camber {

namespace {

// The whitespace-separated numbers of a line, or nothing when a field is not a number.
std::optional<std::vector<double>> numbers(const std::string& line)
{
    std::vector<double> values;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size())
            break;
        std::size_t end = i;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t')
            ++end;
        const char* first = line.data() + i;
        if (*first == '+')
            ++first;
        double value = 0;
        const auto [ptr, ec] = std::from_chars(first, line.data() + end, value);
        if (ec != std::errc{} || ptr != line.data() + end || !std::isfinite(value))
            return std::nullopt;
        values.push_back(value);
        i = end;
    }
    return values;
}

bool isCount(double v) { return v >= 2 && v == std::floor(v) && v < 100000; }

} // namespace

std::string coordinate_text(double v)
{
    const double magnitude = std::fabs(v);
    int intDigits = 1;
    for (double limit = 10; magnitude >= limit - 0.5 && intDigits < 9; limit *= 10)
        ++intDigits;
    const int decimals = std::max(0, 9 - intDigits - (v < 0 ? 1 : 0));
    return format_number(v, decimals > 0 ? "0." + std::string(static_cast<std::size_t>(decimals), '0') : "0");
}

DatSection read_dat(const std::string& path)
{
    LineReader in(path);
    DatSection section;
    section.name = in.next("the name line");
    struct Row {
        DatPoint point;
        int line;
    };
    std::vector<Row> rows;
    std::optional<std::pair<int, int>> counts;
    while (const auto line = in.tryNext()) {
        const auto values = numbers(*line);
        if (!values)
            throw Error(in.where("expected two numbers x y"));
        if (values->empty())
            continue;
        if (values->size() != 2)
            throw Error(in.where("expected two numbers x y, found " + std::to_string(values->size())));
        if (rows.empty() && !counts && isCount((*values)[0]) && isCount((*values)[1])) {
            counts = std::make_pair(static_cast<int>((*values)[0]), static_cast<int>((*values)[1]));
            continue;
        }
        rows.push_back({{(*values)[0], (*values)[1]}, in.lineNumber()});
    }

    if (counts) {
        const auto [nu, nl] = *counts;
        if (static_cast<int>(rows.size()) != nu + nl)
            throw Error(path + ": line " + std::to_string(in.lineNumber()) + ": the count line announces "
                        + std::to_string(nu) + " upper and " + std::to_string(nl) + " lower points, the file holds "
                        + std::to_string(rows.size()));
        for (int i = 0; i < nu; ++i)
            section.upper.push_back(rows[static_cast<std::size_t>(i)].point);
        for (int i = nu; i < nu + nl; ++i)
            section.lower.push_back(rows[static_cast<std::size_t>(i)].point);
    } else {
        if (rows.size() < 3)
            throw Error(path + ": line " + std::to_string(in.lineNumber()) + ": a section needs at least 3 points");
        std::size_t le = 0;
        for (std::size_t i = 1; i < rows.size(); ++i)
            if (rows[i].point.x < rows[le].point.x)
                le = i;
        if (le == 0 || le + 1 == rows.size())
            throw Error(path + ": line " + std::to_string(rows[le].line)
                        + ": the leading edge (smallest x) is an end of the table; expected the upper trailing "
                          "edge first and the lower trailing edge last");
        for (std::size_t i = le + 1; i-- > 0;)
            section.upper.push_back(rows[i].point);
        for (std::size_t i = le; i < rows.size(); ++i)
            section.lower.push_back(rows[i].point);
    }
    if (section.upper.size() + section.lower.size() - 1 > 200)
        throw Error(path + ": the section has " + std::to_string(section.upper.size() + section.lower.size() - 1)
                    + " contour points; at most 200 fit");
    return section;
}

std::vector<std::string> ulf_lines(const DatSection& section, const std::string& origin)
{
    std::vector<std::string> lines;
    lines.push_back(section.name);
    lines.push_back("converted from " + origin);
    lines.push_back("0 " + std::to_string(section.upper.size()) + " " + std::to_string(section.lower.size()));
    auto table = [&lines](const std::vector<DatPoint>& points) {
        lines.push_back("     X          Y");
        for (const auto& p : points)
            lines.push_back(" " + coordinate_text(p.x) + "  " + coordinate_text(p.y));
    };
    table(section.upper);
    table(section.lower);
    return lines;
}

} // namespace camber
