// SPDX-License-Identifier: MIT
#include "Sweep.h"

#include "cp/CpCore.h"
#include "edit_tc/TcDeform.h"
#include "edit_ul/UlDeform.h"
#include "geometry/ControlDrag.h"
#include "geometry/ControlPoints.h"
#include "geometry/Format.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <random>

namespace camber::cli {

namespace {

bool allFinite(const SectionState& s, const SolverOutputs& out)
{
    bool ok = std::isfinite(s.alpha) && std::isfinite(s.clift) && std::isfinite(out.cdrag) && std::isfinite(out.wave_drag);
    for (int i = 1; i <= kCpPoints && ok; ++i)
        ok = std::isfinite(s.cp_x(i)) && std::isfinite(s.cp_y(i)) && std::isfinite(s.cp(1, i));
    return ok;
}

/// Drags one to three control points of one editor towards random places, as the editor does.
void deform(SectionState& s, bool thicknessEditor, std::mt19937& random)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const Integer n = s.k_sec;
    thicknessEditor ? init_cp_tc(s) : init_cp_ul(s);
    const int moves = 1 + static_cast<int>(unit(random) * 3) % 3;
    for (int m = 0; m < moves; ++m) {
        const int set = unit(random) < 0.5 ? 1 : 2;
        thicknessEditor ? set_boxes_tc(s, n, set == 1) : set_boxes_ul(s, n, set == 1);
        const ControlSet points = thicknessEditor ? tc_set(s, set) : ul_set(s, set);
        const int k = 1 + static_cast<int>(unit(random) * kControlPoints) % kControlPoints;
        // Aim a little beyond the box now and then, so that the clamping is exercised too.
        const auto within = [&](Single lo, Single hi) {
            const double w = hi - lo;
            return static_cast<Single>(lo - 0.1 * w + 1.2 * w * unit(random));
        };
        DragHistory history;
        drag_control_point(points, n, k, true, true, within(points.box_x1(k), points.box_x2(k)),
                           within(points.box_y1(k), points.box_y2(k)), history);
    }
    thicknessEditor ? edit_tc::calc_ss(s, n) : edit_ul::calc_ss(s, n);
}

} // namespace

std::vector<SweepCase> run_sweep(const SectionState& base, const SweepOptions& options)
{
    std::mt19937 random(options.seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    // The state is large; one copy on the heap is reset from base for every case.
    auto s = std::make_unique<SectionState>(base);
    std::vector<SweepCase> cases;
    for (int i = 1; i <= options.count; ++i) {
        SweepCase c;
        c.index = i;
        c.thicknessEditor = unit(random) < 0.5;
        c.mach = 0.2 + 0.65 * unit(random);
        c.cl = -0.5 + 2.0 * unit(random);
        *s = base;
        deform(*s, c.thicknessEditor, random);
        s->mach(1) = static_cast<Single>(c.mach);
        s->k_alcl = 0;
        s->alcl(1) = static_cast<Single>(c.cl);
        s->flow = options.flow;
        s->n_calc = 1; // the edited surfaces, not the ones as read
        fill_solver_inputs(*s);
        const auto start = std::chrono::steady_clock::now();
        const SolverOutputs out = call_solver(*s);
        c.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        c.status = s->sm_stat(1);
        c.finite = allFinite(*s, out);
        c.alpha = s->alpha;
        c.clift = s->clift;
        c.cdrag = out.cdrag;
        cases.push_back(c);
    }
    return cases;
}

std::vector<std::string> sweep_report(const std::vector<SweepCase>& cases)
{
    std::vector<std::string> lines{"case,editor,mach,cl_asked,status,finite,seconds,alpha,cl,cd"};
    const auto f = [](double v, const char* mask) { return format_number(v, mask); };
    int converged = 0, usable = 0, nonFinite = 0;
    const SweepCase* slowest = nullptr;
    for (const SweepCase& c : cases) {
        lines.push_back(std::to_string(c.index) + (c.thicknessEditor ? ",tc," : ",ul,") + f(c.mach, "0.000") + "," +
                        f(c.cl, "0.000") + "," + std::to_string(c.status) + "," + (c.finite ? "1," : "0,") +
                        f(c.seconds, "0.0000") + "," + f(c.alpha, "0.000") + "," + f(c.clift, "0.0000") + "," +
                        f(c.cdrag, "0.00000"));
        converged += c.status >= 0 ? 1 : 0;
        // A deformation may fold the contour (one surface pushed through the other); the solver
        // rightly refuses it, and the share is reported over the sections it can take as well.
        usable += c.status != -1 ? 1 : 0;
        nonFinite += c.finite ? 0 : 1;
        if (!slowest || c.seconds > slowest->seconds)
            slowest = &c;
    }
    const auto percent = [&](int part, std::size_t whole) { return f(whole ? 100.0 * part / double(whole) : 0.0, "0.0") + "%"; };
    std::string summary = "cases=" + std::to_string(cases.size()) + " usable=" + std::to_string(usable) +
                          " converged=" + std::to_string(converged) + " share=" + percent(converged, cases.size()) +
                          " of_usable=" + percent(converged, static_cast<std::size_t>(usable)) +
                          " nonfinite=" + std::to_string(nonFinite);
    if (slowest)
        summary += " slowest=" + f(slowest->seconds, "0.000") + "s (case " + std::to_string(slowest->index) + ")";
    lines.push_back(summary);
    return lines;
}

} // namespace camber::cli
