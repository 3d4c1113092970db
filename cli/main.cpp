// SPDX-License-Identifier: MIT
// camber-cli: the section reader, writers and importer of the program, for batch use.

#include "geometry/Bezier.h"
#include "geometry/Error.h"
#include "geometry/Format.h"
#include "geometry/GwoWriter.h"
#include "geometry/TextFile.h"
#include "shell/DatImport.h"
#include "shell/SectionReader.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kExitBadInput = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "usage: camber-cli gwo IN.ULF OUT.gwo      write the section block as the program's Save does\n"
    "       camber-cli info IN.ULF             print counts, angle, thickness, parameters, box\n"
    "       camber-cli convert IN.dat OUT.ULF  import a Selig or Lednicer coordinate file\n";

camber::SectionState readSection(const std::string& path)
{
    camber::SectionState s;
    s.f_inp = path;
    camber::read_section(s);
    return s;
}

int gwo(const std::string& in, const std::string& out)
{
    auto s = readSection(in);
    s.f_gwo = out;
    camber::save_gwo(s);
    return 0;
}

int info(const std::string& in)
{
    using camber::format_number;
    auto s = readSection(in);
    const int k = s.k_sec;
    camber::Single xpos = 0;
    const camber::Single thickness = camber::max_thick(s, static_cast<camber::Integer>(k), s.x_st, s.t_half, xpos);
    camber::gwo_params(s, static_cast<camber::Integer>(k), s.xsing(k), s.ysing(k), s.trail(k), s.slopt(k), s.x_st,
                       s.t_half, s.camb);
    std::string title = s.title_ln(1).str();
    title.erase(title.find_last_not_of(' ') + 1);
    const auto value = [](double v) { return format_number(v, "#0.000000"); };
    std::cout << "title=" << title << '\n'
              << "n_up=" << s.n_up(k) << '\n'
              << "n_lo=" << s.n_lo(k) << '\n'
              << "n_tot=" << s.n_tot(k) << '\n'
              << "twist=" << value(s.twist) << '\n'
              << "max_thickness=" << value(thickness) << '\n'
              << "max_thickness_x=" << value(xpos) << '\n'
              << "xsing=" << value(s.xsing(k)) << '\n'
              << "ysing=" << value(s.ysing(k)) << '\n'
              << "trail=" << value(s.trail(k)) << '\n'
              << "slopt=" << value(s.slopt(k)) << '\n'
              << "x_min=" << value(s.x_min(k)) << '\n'
              << "x_max=" << value(s.x_max(k)) << '\n'
              << "y_min=" << value(s.y_min(k)) << '\n'
              << "y_max=" << value(s.y_max(k)) << '\n';
    return 0;
}

int convert(const std::string& in, const std::string& out)
{
    const auto section = camber::read_dat(in);
    camber::write_lines_atomically(out, camber::ulf_lines(section, in));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 3 && args[0] == "gwo")
            return gwo(args[1], args[2]);
        if (args.size() == 2 && args[0] == "info")
            return info(args[1]);
        if (args.size() == 3 && args[0] == "convert")
            return convert(args[1], args[2]);
    } catch (const camber::Error& e) {
        std::cerr << "camber-cli: " << e.what() << '\n';
        return kExitBadInput;
    }
    std::cerr << kUsage;
    return kExitUsage;
}
