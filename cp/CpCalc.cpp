// SPDX-License-Identifier: MIT
#include "CpCalc.h"

#include "geometry/Error.h"
#include "geometry/Format.h"
#include "geometry/TextFile.h"
#include "solver/smesh.h"

#include <cmath>
#include <dlfcn.h>
#include <filesystem>

namespace camber::cp {

namespace {

SmeshFunction& replacement()
{
    static SmeshFunction function = nullptr;
    return function;
}

SmeshFunction loadSolver()
{
    if (replacement())
        return replacement();
    static SmeshFunction function = nullptr;
    if (function)
        return function;
    // The library sits beside the program, never in the current folder, which the file lists change.
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    const auto path = (exe.parent_path() / "dll" / "libsmesh.so").string();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        throw Error("cannot load the flow solver " + path + ": " + dlerror());
    function = reinterpret_cast<SmeshFunction>(dlsym(handle, "SMESH"));
    if (!function)
        throw Error("the flow solver " + path + " has no function SMESH");
    return function;
}

} // namespace

void set_solver(SmeshFunction solver) { replacement() = solver; }

void fill_solver_inputs(SectionState& s)
{
    const int k = s.k_sec;
    const int n = s.n_up(k);
    s.n_case = 1;
    s.n_pts = 2 * n - 1;
    const bool initial = s.n_calc == 0;
    for (int i = 1; i <= n; ++i) {
        s.x_sm(n - i + 1) = s.x_st0(k, i);
        s.y_sm(n - i + 1) = initial ? s.y_up0(k, i) : s.y_up(k, i);
    }
    for (int i = 1; i <= n; ++i) {
        s.x_sm(n + i - 1) = s.x_st0(k, i);
        s.y_sm(n + i - 1) = initial ? s.y_lo0(k, i) : s.y_lo(k, i);
    }
}

SolverOutputs call_smesh(SectionState& s)
{
    const SmeshFunction smesh = loadSolver();
    SolverOutputs out;
    smesh(&s.n_case, &s.k_alcl, &s.sm_opt0, s.mach.data(), s.alcl.data(), &s.sm_opt1, &s.sm_opt2, &s.sm_opt3,
          &s.n_pts, &s.sm_opt4, s.x_sm.data(), s.y_sm.data(), &s.n_cp, s.cp_x.data(), s.cp_y.data(), s.cp.data(),
          s.sm_out1.data(), &s.alpha, &s.clift, &out.drag, &out.unnamed, s.sm_out2.data(), s.sm_stat.data());
    return out;
}

Single cp_star(Single mach)
{
    if (!(mach > 0.0999f))
        return -67.0f;
    const double m2 = static_cast<double>(mach) * mach;
    return static_cast<Single>((std::pow(2.0 / 2.4, 3.5) * std::pow(1.0 + 0.2 * m2, 3.5) - 1.0) / (0.7 * m2));
}

CpScan scan_cp(const SectionState& s, Single cpStar)
{
    CpScan scan;
    scan.cpMin = s.cp(1, 1);
    for (int i = kCpPoints - 1; i >= 2; --i) {
        if ((s.cp(1, i - 1) - cpStar) * (s.cp(1, i) - cpStar) < 0 && scan.crossing == kCpPoints)
            scan.crossing = i;
        if (s.cp(1, i) < scan.cpMin)
            scan.cpMin = s.cp(1, i);
    }
    return scan;
}

double cp_axis_min(Single cpMin)
{
    for (double end : {-2.0, -2.5, -3.0, -3.5})
        if (cpMin > end)
            return end;
    return -5.0;
}

std::vector<std::string> cpo_lines(const SectionState& s)
{
    std::vector<std::string> lines;
    lines.push_back(s.title_ln(1).str());
    lines.push_back("<  MACH  ><  ALPHA ><  CLIFT ><   EPS  >");
    lines.push_back(FixedLine(40)
                        .put(1, format_number(s.mach(1), "0.0000"))
                        .put(11, format_number(s.alpha, "0.0000"))
                        .put(21, format_number(s.clift, "0.0000"))
                        .put(31, format_number(s.twist, "0.0000"))
                        .str());
    lines.push_back("<    X   ><    Y   ><   CP   >");
    const int points = std::min<int>(s.n_cp, kCpPoints);
    for (int i = 1; i <= points; ++i)
        lines.push_back(FixedLine(40)
                            .put(1, format_number(s.cp_x(i), "0.000000"))
                            .put(11, format_number(s.cp_y(i), "0.000000"))
                            .put(21, format_number(s.cp(1, i), "0.0000"))
                            .str());
    return lines;
}

void save_cpo(const SectionState& s) { write_lines_atomically(s.f_cpo, cpo_lines(s)); }

} // namespace camber::cp
