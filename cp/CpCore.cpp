// SPDX-License-Identifier: MIT
#include "CpCore.h"

#include "geometry/Error.h"
#include "geometry/Format.h"
#include "geometry/Spline.h"
#include "geometry/TextFile.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace camber {

namespace {

struct SolverSlot {
    SolverFunctions functions;
    std::string path; // empty: the default beside the executable
};

SolverSlot& slot()
{
    static SolverSlot s;
    return s;
}

SolverFunctions load(const std::string& path)
{
    if (!std::filesystem::exists(path))
        throw Error("the solver library " + path + " does not exist");
    // The handle stays open for the rest of the run: the function is kept.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        throw Error("cannot load the solver library " + path + ": " + (why != nullptr ? why : "unknown reason"));
    }
    const auto symbol = [&](const char* name) {
        void* address = dlsym(handle, name);
        if (address == nullptr) {
            dlclose(handle);
            throw Error("the solver library " + path + " has no function " + name);
        }
        return address;
    };
    SolverFunctions f;
    f.solve = reinterpret_cast<SmeshSolveFunction>(symbol("smesh_solve"));
    f.create = reinterpret_cast<SmeshNewFunction>(symbol("smesh_new"));
    f.destroy = reinterpret_cast<SmeshFreeFunction>(symbol("smesh_free"));
    return f;
}

// Resamples n_up stations to kSolverStations: station j sits at the fractional index
// 1 + (j - 1)(n_up - 1)/(kSolverStations - 1) of the original ones (interpolated in sqrt(x)),
// which keeps both ends and the clustering; the surfaces follow by the Akima spline in sqrt(x).
void resample(const SectionState& s, int k, const StationArray& yUp, const StationArray& yLo,
              std::vector<Single>& x, std::vector<Single>& up, std::vector<Single>& lo)
{
    const int n = s.n_up(k);
    std::vector<Single> root(static_cast<std::size_t>(n)), yu(root.size()), yl(root.size());
    for (int i = 1; i <= n; ++i) {
        root[static_cast<std::size_t>(i - 1)] = std::sqrt(std::max(s.x_st0(k, i), 0.0f));
        yu[static_cast<std::size_t>(i - 1)] = yUp(k, i);
        yl[static_cast<std::size_t>(i - 1)] = yLo(k, i);
    }
    std::vector<Single> rootNew(kSolverStations);
    for (int j = 0; j < kSolverStations; ++j) {
        const double t = static_cast<double>(j) * (n - 1) / (kSolverStations - 1);
        const int i = std::min(static_cast<int>(t), n - 2);
        const double w = t - i;
        rootNew[static_cast<std::size_t>(j)] = static_cast<Single>(
            (1 - w) * root[static_cast<std::size_t>(i)] + w * root[static_cast<std::size_t>(i + 1)]);
    }
    rootNew.front() = root.front();
    rootNew.back() = root.back();
    up.assign(kSolverStations, 0.0f);
    lo.assign(kSolverStations, 0.0f);
    Integer err = 0;
    std::string msg;
    spline_val(static_cast<Integer>(n), root.data(), yu.data(), kSolverStations, rootNew.data(), up.data(), err, msg);
    spline_val(static_cast<Integer>(n), root.data(), yl.data(), kSolverStations, rootNew.data(), lo.data(), err, msg);
    if (err != 0)
        throw Error("cannot resample the section for the solver: " + msg);
    x.resize(kSolverStations);
    for (int j = 0; j < kSolverStations; ++j)
        x[static_cast<std::size_t>(j)] = rootNew[static_cast<std::size_t>(j)] * rootNew[static_cast<std::size_t>(j)];
    // The ends are the original stations exactly.
    x.front() = s.x_st0(k, 1);
    x.back() = s.x_st0(k, n);
    up.front() = yUp(k, 1);
    up.back() = yUp(k, n);
    lo.front() = yLo(k, 1);
    lo.back() = yLo(k, n);
}

} // namespace

std::string default_solver_path()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        throw Error("cannot find the folder of the program: " + ec.message());
    return (exe.parent_path() / "dll" / "libsmesh.so").string();
}

SolverFunctions solver_functions()
{
    auto& s = slot();
    if (s.functions.solve == nullptr)
        s.functions = load(s.path.empty() ? default_solver_path() : s.path);
    return s.functions;
}

SmeshSolveFunction solver_function() { return solver_functions().solve; }

void set_solver_functions(SolverFunctions functions) { slot().functions = functions; }

void set_solver_function(SmeshSolveFunction function) { set_solver_functions({function, nullptr, nullptr}); }

void set_solver_library_path(const std::string& path)
{
    slot().path = path;
    slot().functions = {};
}

SolverMemory::SolverMemory(const SolverFunctions& functions) : m_destroy(functions.destroy)
{
    if (functions.create == nullptr)
        return;
    m_memory = functions.create();
    if (m_memory == nullptr)
        throw Error("the solver has no memory left for a calculation of its own");
}

SolverMemory::~SolverMemory()
{
    if (m_memory != nullptr && m_destroy != nullptr)
        m_destroy(m_memory);
}

void fill_solver_inputs(SectionState& s)
{
    const int k = s.k_sec;
    const int n = s.n_up(k);
    if (n < 2)
        throw Error("the section has no surfaces to compute");
    const StationArray& yUp = s.n_calc == 0 ? s.y_up0 : s.y_up;
    const StationArray& yLo = s.n_calc == 0 ? s.y_lo0 : s.y_lo;
    std::vector<Single> x, up, lo;
    if (n > kSolverStations) {
        resample(s, k, yUp, yLo, x, up, lo);
    } else {
        for (int i = 1; i <= n; ++i) {
            x.push_back(s.x_st0(k, i));
            up.push_back(yUp(k, i));
            lo.push_back(yLo(k, i));
        }
    }
    const int m = static_cast<int>(x.size());
    s.n_case = 1;
    s.n_pts = 2 * m - 1;
    for (int i = 1; i <= m; ++i) {
        s.x_sm(m - i + 1) = x[static_cast<std::size_t>(i - 1)];
        s.y_sm(m - i + 1) = up[static_cast<std::size_t>(i - 1)];
    }
    for (int i = 1; i <= m; ++i) {
        s.x_sm(m + i - 1) = x[static_cast<std::size_t>(i - 1)];
        s.y_sm(m + i - 1) = lo[static_cast<std::size_t>(i - 1)];
    }
}

SmeshCase flow_case(const FlowSettings& flow, Single mach, Long k_alcl, Single alcl)
{
    SmeshCase c{};
    c.version = SMESH_VERSION;
    c.method = flow.method;
    c.level = flow.level;
    c.prescribed_lift = k_alcl == 1 ? 0 : 1;
    c.viscous = flow.viscous ? 1 : 0;
    c.mach = mach;
    c.target = alcl;
    c.reynolds = flow.reynolds;
    c.ncrit = flow.ncrit;
    c.transition_upper = flow.transition_upper;
    c.transition_lower = flow.transition_lower;
    return c;
}

SmeshCase solver_case(const SectionState& s) { return flow_case(s.flow, s.mach(1), s.k_alcl, s.alcl(1)); }

SolverContour solver_contour(const SectionState& s)
{
    const int n = std::clamp<int>(s.n_pts, 0, kCpPoints);
    SolverContour c;
    c.x.resize(static_cast<std::size_t>(n));
    c.y.resize(c.x.size());
    for (int i = 1; i <= n; ++i) {
        c.x[static_cast<std::size_t>(i - 1)] = s.x_sm(i);
        c.y[static_cast<std::size_t>(i - 1)] = s.y_sm(i);
    }
    return c;
}

SolverOutputs call_solver(SectionState& s)
{
    const SmeshSolveFunction solve = solver_function();
    const SmeshCase flow = solver_case(s);
    const SolverContour contour = solver_contour(s);
    auto result = std::make_shared<SmeshResult>();
    solve(nullptr, &flow, s.n_pts, contour.x.data(), contour.y.data(), result.get());
    return apply_result(std::move(result), s);
}

SolverOutputs apply_result(std::shared_ptr<const SmeshResult> result, SectionState& s)
{
    const SmeshResult& r = *result;
    s.n_cp = std::clamp(r.n_cp, 0, kCpPoints);
    for (int i = 1; i <= kCpPoints; ++i) {
        const auto k = static_cast<std::size_t>(i - 1);
        s.cp_x(i) = static_cast<Single>(r.cp_x[k]);
        s.cp_y(i) = static_cast<Single>(r.cp_y[k]);
        s.cp(1, i) = static_cast<Single>(r.cp[k]);
        s.sm_out1(1, i) = static_cast<Single>(r.cp_cf[k]);
        s.sm_out1(2, i) = static_cast<Single>(r.cp_dstar[k]);
        s.sm_out1(3, i) = static_cast<Single>(r.cp_theta[k]);
        s.sm_out1(4, i) = static_cast<Single>(r.cp_mach[k]);
    }
    const double column[] = {r.transition_upper, r.transition_lower, r.cd_friction,      r.cd_pressure, double(r.iterations),
                             r.max_mach,         r.separation_upper, r.separation_lower, r.cm};
    for (int c = 1; c <= 9; ++c)
        s.sm_out2(c, 1) = static_cast<Single>(column[c - 1]);
    s.alpha = static_cast<Single>(r.alpha);
    s.clift = static_cast<Single>(r.cl);
    s.sm_stat(1) = r.status;
    SolverOutputs out;
    out.cdrag = static_cast<Single>(r.cd);
    out.wave_drag = static_cast<Single>(r.cd_wave);
    out.result = std::move(result);
    return out;
}

std::vector<std::string> cp_file_lines(const SectionState& s)
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
    const int n = std::clamp<int>(s.n_cp, 0, kCpPoints);
    for (int i = 1; i <= n; ++i)
        lines.push_back(FixedLine(40)
                            .put(1, format_number(s.cp_x(i), "0.000000"))
                            .put(11, format_number(s.cp_y(i), "0.000000"))
                            .put(21, format_number(s.cp(1, i), "0.0000"))
                            .str());
    return lines;
}

void save_cp(const SectionState& s) { write_lines_atomically(s.f_cpo, cp_file_lines(s)); }

Single critical_cp(Single m)
{
    if (!(m > 0.0999f))
        return -67.0f;
    const Single m2 = m * m;
    return (std::pow(2.0f / 2.4f, 3.5f) * std::pow(1.0f + 0.2f * m2, 3.5f) - 1.0f) / (0.7f * m2);
}

CpScan scan_cp(const SectionState& s, Single cp_star)
{
    CpScan r;
    r.cp_min = s.cp(1, 1);
    for (int i = kCpPoints - 1; i >= 2; --i) {
        if ((s.cp(1, i - 1) - cp_star) * (s.cp(1, i) - cp_star) < 0 && r.k == kCpPoints)
            r.k = i;
        if (s.cp(1, i) < r.cp_min)
            r.cp_min = s.cp(1, i);
    }
    return r;
}

Single cp_axis_bottom(Single cp_min)
{
    if (cp_min > -2.0f)
        return -2.0f;
    if (cp_min > -2.5f)
        return -2.5f;
    if (cp_min > -3.0f)
        return -3.0f;
    if (cp_min > -3.5f)
        return -3.5f;
    return -5.0f;
}

CpStarLine cp_star_line(int k)
{
    CpStarLine line;
    if (k >= kCpPoints)
        return line;
    line.drawn = true;
    // A crossing near the upper trailing edge would start the line before point 1.
    line.from = std::clamp(k - 4, 1, kCpPoints);
    line.to = std::clamp(k + 1, 1, kCpPoints);
    return line;
}

} // namespace camber
