// SPDX-License-Identifier: MIT
// camber-cli: the section reader, writers, importer and pressure calculation of the program,
// for batch use.

#include "Sweep.h"

#include "cp/CpCore.h"
#include "cp/Polar.h"
#include "geometry/Bezier.h"
#include "geometry/Error.h"
#include "geometry/FlowSettings.h"
#include "geometry/Format.h"
#include "geometry/GwoWriter.h"
#include "geometry/TextFile.h"
#include "shell/DatImport.h"
#include "shell/SectionExport.h"
#include "shell/SectionReader.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kExitBadInput = 1;
constexpr int kExitUsage = 2;
constexpr int kExitCalculationFailed = 3;
// The longest solver call a sweep accepts, seconds: a calculation must keep up with editing.
const char* const kUsage =
    "usage: camber-cli gwo IN.ULF OUT.gwo      write the section block as the program's Save does\n"
    "       camber-cli info IN.ULF             print counts, angle, thickness, parameters, box\n"
    "       camber-cli convert IN.dat OUT.ULF  import a Selig or Lednicer coordinate file\n"
    "       camber-cli export IN.ULF OUT.dat|OUT.ULF\n"
    "                                          write the section as read, normalised, as a Selig\n"
    "                                          file or a section file (chosen by the extension)\n"
    "       camber-cli cp IN.ULF OUT.cpo [--mach M] [--cl C | --alpha A] [--re MILLIONS]\n"
    "                  [--ncrit N] [--transition XU[,XL]] [--inviscid] [--level L] [--method N]\n"
    "                                          compute the pressure distribution as the editors'\n"
    "                                          first calculation does and write the Cp file\n"
    "       camber-cli sweep IN.ULF OUT.csv [--count N] [--seed S] [--method N] [--level L]\n"
    "                  [--re MILLIONS] [--ncrit N] [--inviscid]\n"
    "                                          deform the section at random through the editors'\n"
    "                                          control points, compute random flow cases, write\n"
    "                                          one line per case and print a summary; exits 3\n"
    "                                          when a result is not finite\n"
    "       camber-cli polar IN.ULF OUT.csv (--mach A:B:STEP --cl C | --mach M --cl A:B:STEP |\n"
    "                  --mach M --alpha A:B:STEP) [the flow options of cp]\n"
    "                                          sweep the Mach number, the lift or the angle, each\n"
    "                                          point starting from the last; write one CSV line\n"
    "                                          per point; a Mach sweep prints divergence_mach=M\n"
    "                                          (or none); exits 3 when a point fails\n";

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

int exportSection(const std::string& in, const std::string& out)
{
    camber::export_section(readSection(in), out);
    return 0;
}

/// The flow case of the cp command; the defaults are the editing button's.
struct CpOptions {
    camber::Single mach = camber::kEditingMach;
    camber::Long k_alcl = 0;
    camber::Single alcl = camber::kEditingLift;
    camber::FlowSettings flow;
};

// The ranges the flow options accept: Reynolds numbers of model aircraft to those of a transport
// wing (millions), the free-stream disturbance levels the e^N method knows.
constexpr double kLowestRe = 0.05, kHighestRe = 1000;
constexpr double kLowestNcrit = 1, kHighestNcrit = 20;

/// A usage error that names the option at fault.
struct UsageError {
    std::string message;
};

std::optional<double> number(const std::string& text)
{
    std::size_t used = 0;
    try {
        const double v = std::stod(text, &used);
        if (used == text.size() && std::isfinite(v))
            return v;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

bool isWhole(double v) { return v == std::floor(v) && std::fabs(v) < 1e9; }

/// x/c of a forced transition: 0 (free) to 1.
double transitionPosition(const std::string& text)
{
    const auto v = number(text);
    if (!v || *v < 0 || *v > 1)
        throw UsageError{"--transition takes x/c from 0 to 1 (0: free), one value or two as XU,XL"};
    return *v;
}

/// Reads --transition XU[,XL] into flow; false for any other option.
bool transitionOption(const std::string& name, const std::string& text, camber::FlowSettings& flow)
{
    if (name != "--transition")
        return false;
    const auto comma = text.find(',');
    flow.transition_upper = transitionPosition(text.substr(0, comma));
    flow.transition_lower =
        comma == std::string::npos ? flow.transition_upper : transitionPosition(text.substr(comma + 1));
    return true;
}

/// Reads an option of the flow settings that several commands share; false when name is none
/// of them. Throws UsageError for a value out of range.
bool flowOption(const std::string& name, const std::string& text, camber::FlowSettings& flow)
{
    const auto v = number(text);
    if (name == "--re") {
        if (!v || *v < kLowestRe || *v > kHighestRe)
            throw UsageError{"--re takes the Reynolds number in millions, from 0.05 to 1000"};
        flow.reynolds = 1e6 * *v;
    } else if (name == "--ncrit") {
        if (!v || *v < kLowestNcrit || *v > kHighestNcrit)
            throw UsageError{"--ncrit takes the critical amplification factor, from 1 to 20"};
        flow.ncrit = *v;
    } else if (name == "--level") {
        if (!v || !isWhole(*v))
            throw UsageError{"--level takes a whole number"};
        flow.level = static_cast<camber::Long>(*v);
    } else if (name == "--method") {
        if (!v || !isWhole(*v))
            throw UsageError{"--method takes a whole number"};
        flow.method = static_cast<camber::Long>(*v);
    } else {
        return false;
    }
    return true;
}

/// Reads the options after a command's two file names: "--inviscid" clears viscous, every
/// other option takes one value, which option(name, value) accepts or refuses. False on any
/// option refused or a missing value.
template <typename Option>
bool readOptions(const std::vector<std::string>& args, camber::FlowSettings& flow, Option option)
{
    for (std::size_t i = 3; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--inviscid") {
            flow.viscous = false;
            continue;
        }
        if (i + 1 >= args.size())
            return false;
        const std::string& value = args[++i];
        if (!flowOption(a, value, flow) && !option(a, value))
            return false;
    }
    return true;
}

std::optional<CpOptions> cpOptions(const std::vector<std::string>& args)
{
    CpOptions o;
    bool cl = false, alpha = false;
    const bool read = readOptions(args, o.flow, [&](const std::string& a, const std::string& text) {
        if (transitionOption(a, text, o.flow))
            return true;
        const auto v = number(text);
        if (!v)
            return false;
        if (a == "--mach")
            o.mach = static_cast<camber::Single>(*v);
        else if (a == "--cl" && !alpha) {
            cl = true;
            o.k_alcl = 0;
            o.alcl = static_cast<camber::Single>(*v);
        } else if (a == "--alpha" && !cl) {
            alpha = true;
            o.k_alcl = 1;
            o.alcl = static_cast<camber::Single>(*v);
        } else
            return false;
        return true;
    });
    return read ? std::optional<CpOptions>(o) : std::nullopt;
}

int cp(const std::string& in, const std::string& out, const CpOptions& o)
{
    using camber::format_number;
    auto s = readSection(in);
    // As the editing button and the first calculation after opening an editor: initial surfaces.
    s.mach(1) = o.mach;
    s.k_alcl = o.k_alcl;
    s.alcl(1) = o.alcl;
    s.flow = o.flow;
    s.n_calc = 0;
    s.f_cpo = out;
    camber::fill_solver_inputs(s);
    const auto result = camber::call_solver(s);
    camber::save_cp(s);
    const camber::Long status = s.sm_stat(1);
    std::cout << "status=" << status << " mach=" << format_number(s.mach(1), "0.00#");
    for (const auto& [name, text] : camber::result_fields(camber::polar_point(camber::solver_case(s), *result.result)))
        std::cout << ' ' << name << '=' << text;
    std::cout << '\n';
    if (status < 0)
        std::cerr << "camber-cli: Calc. is not OK (solver status " << status << ")\n";
    return status < 0 ? kExitCalculationFailed : 0;
}

std::optional<camber::cli::SweepOptions> sweepOptions(const std::vector<std::string>& args)
{
    camber::cli::SweepOptions o;
    const bool read = readOptions(args, o.flow, [&](const std::string& a, const std::string& text) {
        const auto v = number(text);
        if (!v || !isWhole(*v) || *v < 0)
            return false;
        const auto whole = static_cast<camber::Long>(*v);
        if (a == "--count" && whole >= 1)
            o.count = static_cast<int>(whole);
        else if (a == "--seed")
            o.seed = static_cast<std::uint32_t>(whole);
        else
            return false;
        return true;
    });
    return read ? std::optional<camber::cli::SweepOptions>(o) : std::nullopt;
}

int sweep(const std::string& in, const std::string& out, const camber::cli::SweepOptions& o)
{
    const auto base = std::make_unique<camber::SectionState>(readSection(in));
    const auto cases = camber::cli::run_sweep(*base, o);
    const auto lines = camber::cli::sweep_report(cases);
    camber::write_lines_atomically(out, lines);
    std::cout << lines.back() << '\n';
    // The exit status follows the results alone, never the clock: the time of each call is in the
    // file and the summary for whoever measures speed.
    const bool sound = std::all_of(cases.begin(), cases.end(), [](const auto& c) { return c.finite; });
    return sound ? 0 : kExitCalculationFailed;
}

/// The values of a sweep option A:B:STEP.
std::vector<double> sweepOption(const std::string& name, const std::string& text)
{
    const UsageError wrong{name + " takes a sweep A:B:STEP of three numbers here: one option of a polar is a sweep"};
    std::vector<double> parts;
    std::size_t start = 0;
    for (std::size_t colon = 0; colon != std::string::npos; start = colon + 1) {
        colon = text.find(':', start);
        const auto v = number(text.substr(start, colon == std::string::npos ? colon : colon - start));
        if (!v)
            throw wrong;
        parts.push_back(*v);
    }
    if (parts.size() != 3)
        throw wrong;
    try {
        return camber::sweep_values(parts[0], parts[1], parts[2]);
    } catch (const camber::Error& e) {
        throw UsageError{name + ": " + e.what()};
    }
}

double fixedOption(const std::string& name, const std::string& text)
{
    const auto v = number(text);
    if (!v)
        throw UsageError{name + " takes a number here: only one option of a polar is a sweep"};
    return *v;
}

std::optional<camber::PolarRequest> polarOptions(const std::vector<std::string>& args)
{
    camber::PolarRequest request;
    std::optional<std::string> mach, lift;
    bool alpha = false;
    const bool read = readOptions(args, request.flow, [&](const std::string& a, const std::string& text) {
        if (transitionOption(a, text, request.flow))
            return true;
        if (a == "--mach" && !mach)
            mach = text;
        else if ((a == "--cl" || a == "--alpha") && !lift) {
            lift = text;
            alpha = a == "--alpha";
        } else
            return false;
        return true;
    });
    if (!read || !mach || !lift)
        return std::nullopt;
    const std::string liftName = alpha ? "--alpha" : "--cl";
    if (mach->find(':') != std::string::npos) {
        if (alpha)
            throw UsageError{"--mach A:B:STEP sweeps at a fixed lift: give --cl C"};
        request.kind = camber::PolarKind::Mach;
        request.fixed = fixedOption(liftName, *lift);
        request.values = sweepOption("--mach", *mach);
    } else {
        request.kind = alpha ? camber::PolarKind::Alpha : camber::PolarKind::Lift;
        request.fixed = fixedOption("--mach", *mach);
        request.values = sweepOption(liftName, *lift);
    }
    return request;
}

int polar(const std::string& in, const std::string& out, const camber::PolarRequest& request)
{
    // The section as read, as the cp command computes it.
    auto s = readSection(in);
    s.flow = request.flow;
    s.n_calc = 0;
    camber::fill_solver_inputs(s);
    std::vector<camber::PolarPoint> points;
    camber::compute_polar(camber::solver_functions(), camber::solver_contour(s), camber::polar_cases(request),
                          [&](const camber::PolarPoint& p) {
                              points.push_back(p);
                              return true;
                          });
    camber::write_lines_atomically(out, camber::polar_csv(points));
    if (request.kind == camber::PolarKind::Mach)
        std::cout << camber::divergence_text(camber::divergence_mach(points)) << '\n';
    const auto failed = std::count_if(points.begin(), points.end(), [](const auto& p) { return p.status < 0; });
    if (failed > 0)
        std::cerr << "camber-cli: Calc. is not OK at " << failed << " of " << points.size()
                  << " points (their status is in the last column)\n";
    return failed > 0 ? kExitCalculationFailed : 0;
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
        if (args.size() == 3 && args[0] == "export")
            return exportSection(args[1], args[2]);
        if (args.size() >= 3 && args[0] == "cp") {
            if (const auto options = cpOptions(args))
                return cp(args[1], args[2], *options);
        }
        if (args.size() >= 3 && args[0] == "polar") {
            if (const auto request = polarOptions(args))
                return polar(args[1], args[2], *request);
        }
        if (args.size() >= 3 && args[0] == "sweep") {
            if (const auto options = sweepOptions(args))
                return sweep(args[1], args[2], *options);
        }
    } catch (const camber::Error& e) {
        std::cerr << "camber-cli: " << e.what() << '\n';
        return kExitBadInput;
    } catch (const UsageError& e) {
        std::cerr << "camber-cli: " << e.message << '\n';
    }
    std::cerr << kUsage;
    return kExitUsage;
}
