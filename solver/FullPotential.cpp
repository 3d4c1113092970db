// SPDX-License-Identifier: MIT
#include "FullPotential.h"

#include "FpCoupled.h"
#include "FpNewton.h"
#include "Frame.h"
#include "Grid.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace camber::smesh {

using namespace fp;

struct FullPotential::Memory {
    std::vector<Point> contour; // the section of the last converged solution, as given
    FlowCase flow;
    Eigen::VectorXd x;
    Wake wake;                   // the flow behind the shocks of that solution
    std::unique_ptr<LinearSolver> lu; // a factorised Jacobian near that solution, or null
    SparseMatrix unfactorised;        // the Jacobian at that solution, for lu, while no solve has needed it
    Transpiration transpiration;      // the layers' displacement that solution carries
    std::vector<double> flux;         // and the mass fluxes at the grid nodes it gives
    CouplingMemory coupling;          // the potential's answer to the layers' defects
    bool valid = false;
    std::shared_ptr<const Topology> topology; // of the last grid, converged or not

    // The factorisation a warm start begins on. A cold solve leaves the Jacobian at its solution
    // to be factorised here, by the first drag step, so that its own answer comes that much sooner.
    const LinearSolver* nearby()
    {
        if (lu && unfactorised.nonZeros() > 0) {
            lu->factorize(unfactorised);
            unfactorised = SparseMatrix();
            if (lu->info() != Eigen::Success)
                lu.reset();
        }
        return lu.get();
    }
};

FullPotential::FullPotential() : m_memory(std::make_unique<Memory>()), m_updates(kMaxUpdates) {}

FullPotential::~FullPotential() = default;

void FullPotential::reset() { m_memory->valid = false; }

GridSize full_potential_grid(int level)
{
    switch (level) {
    case 1: return {96, 28};
    case 3: return {192, 56};
    default: return {128, 40};
    }
}

namespace {

// An unusable Reynolds number gives the inviscid flow (with a warning in the status).
bool withLayers(const FlowCase& f) { return f.viscous && std::isfinite(f.reynolds) && f.reynolds > 0; }

} // namespace

FlowResult FullPotential::solve(const std::vector<Point>& given, const FlowCase& flow)
{
    const FlowResult r = solveOnce(given, flow, false);
    if (r.status != kNotConverged || !withLayers(flow))
        return r;
    return continuation(given, flow, r);
}

FlowResult FullPotential::continuation(const std::vector<Point>& given, const FlowCase& flow, const FlowResult& failed)
{
    // At half the lift or angle the shocks are weaker and the layers behind them attached. From
    // there the path runs straight to the case, each step starting from the last solution.
    FlowCase start = flow;
    start.target = kContinuationStart * flow.target;
    FlowResult answer = failed;
    if (std::fabs(flow.target) >= kLeastContinued) {
        const FlowResult from = solveOnce(given, start, false);
        if (from.status >= 0) {
            answer = liftPath(given, flow, start, from, failed);
            if (answer.status >= 0)
                return answer;
        }
    }
    if (flow.mach <= kDirectMach)
        return answer;
    // Near sonic speed a slightly lower Mach number weakens the shocks further, and the path
    // from there meets the case from another side: past a jump of the shock the lift curve at
    // the case's own Mach number can fold where the path in the Mach number and the lift
    // together does not (NACA 2412 at M 0.8, CL 0.4). Where it does not reach the case either,
    // the first path's answer stands.
    start.mach = flow.mach - kContinuationMach;
    const FlowResult from = solveOnce(given, start, false);
    if (from.status < 0)
        return answer;
    const PathEnd end = straightPath(given, flow, start, from, kMachPathSolves);
    return end.reached ? end.last : answer;
}

FullPotential::PathEnd FullPotential::straightPath(const std::vector<Point>& given, const FlowCase& flow,
                                                   const FlowCase& start, const FlowResult& from, int solves)
{
    // Each step halved when it fails and doubled again (up to its first length) after each
    // success.
    PathEnd end{from};
    FlowCase step = flow;
    const double full = 1.0 / kContinuationSteps;
    double reached = 0, increment = full;
    for (int k = 1; k < solves; ++k) {
        const bool final = 1 - reached <= increment * (1 + 1e-9);
        const double along = final ? 1.0 : reached + increment;
        step.target = final ? flow.target : start.target + along * (flow.target - start.target);
        step.mach = final ? flow.mach : start.mach + along * (flow.mach - start.mach);
        const FlowResult r = solveOnce(given, step, true);
        if (r.status < 0) {
            increment = 0.5 * (along - reached);
            continue;
        }
        if (std::fabs(r.alpha - end.last.alpha) > 0) {
            end.lastSlope = (r.cl - end.last.cl) / (r.alpha - end.last.alpha);
            end.firstSlope = end.firstSlope > 0 ? end.firstSlope : end.lastSlope;
        }
        end.last = r;
        reached = along;
        if (final) {
            end.reached = true;
            return end;
        }
        increment = std::min(2 * increment, full);
    }
    return end;
}

FlowResult FullPotential::liftPath(const std::vector<Point>& given, const FlowCase& flow, const FlowCase& start,
                                   const FlowResult& from, const FlowResult& failed)
{
    const PathEnd end = straightPath(given, flow, start, from, kContinuationSolves);
    if (end.reached)
        return end.last;
    // Lift that still grows with the angle, but ever more slowly, up to where the steps fail: the
    // branch of solutions folds below the lift asked for. The highest lift reached is reported.
    // (Lift growing while the angle falls is the middle branch of an S-shaped lift curve, past a
    // jump of the shock, not a maximum.)
    if (flow.prescribed_lift && end.firstSlope > 0 && end.lastSlope > 0 && end.lastSlope < kFoldSlope * end.firstSlope) {
        FlowResult highest = end.last;
        highest.status = kBeyondMaximumLift;
        return highest;
    }
    if (flow.prescribed_lift && end.firstSlope > 0)
        return anglePath(given, flow, end.last, end.firstSlope, end.lastSlope > 0 ? end.lastSlope : end.firstSlope,
                         failed);
    return failed;
}

FlowResult FullPotential::anglePath(const std::vector<Point>& given, const FlowCase& flow, const FlowResult& from,
                                    double rising, double slope, const FlowResult& failed)
{
    // With a shock standing on a thickening layer the coupled updates with the lift prescribed
    // can circle where the same flow with its angle prescribed converges (NACA 0012 at M 0.7:
    // CL 0.6 fails, while 3.9 degrees, which gives it, converges). The path starts at the last
    // solution's own angle, which the solution with the angle prescribed reproduces.
    FlowCase step = flow;
    step.prescribed_lift = false;
    step.target = from.alpha;
    FlowResult last = solveOnce(given, step, true);
    if (last.status < 0)
        return failed;
    const FlowResult first = last;
    // Steps along the secant, at most reach: halved when a step fails, doubled again (up to
    // kMostAngleStep) after each success.
    const double way = flow.target > last.cl ? 1 : -1; // the way the lift has to go
    FlowResult highest = last;
    double reach = kMostAngleStep;
    bool ends = false; // no angle beyond the last solution's, down to kLeastAngleStep, converged
    for (int solves = 1; solves < kAngleSolves; ++solves) {
        const double increment = std::clamp((flow.target - last.cl) / slope, -reach, reach);
        step.target = last.alpha + increment;
        const FlowResult r = solveOnce(given, step, true);
        if (r.status < 0) {
            reach = 0.5 * std::fabs(increment);
            ends = reach < kLeastAngleStep;
            if (ends)
                break;
            continue;
        }
        reach = std::min(2 * reach, kMostAngleStep);
        if (std::fabs(r.cl - flow.target) < kLiftTolerance) {
            // Finished with the lift prescribed from there, so that the case's solution is kept
            // for the drag steps that follow; the angle's solution stands if that fails.
            const FlowResult finished = solveOnce(given, flow, true);
            return finished.status >= 0 ? finished : r;
        }
        if (way * (r.cl - highest.cl) > 0)
            highest = r;
        if (way * (highest.cl - r.cl) > kLiftDrop * std::fabs(highest.cl)) {
            // The lift fell as the angle went on: the highest lift reached is the section's most.
            highest.status = kBeyondMaximumLift;
            return highest;
        }
        const double secant = (r.cl - last.cl) / (r.alpha - last.alpha);
        if (secant * rising > 0)
            slope = secant;
        last = r;
    }
    // The steps failed where the lift curve had flattened: along the last secant, or over all the
    // angles the steps reached, where the lift may have wavered (NACA 0012 at M 0.8: 0.3943 at
    // 2.38 degrees, 0.3930 at 2.41, then no further angle converged).
    // Or the steps failed right past the highest lift yet: the branch of solutions turns back
    // in the angle there, the layer behind the shock separated (NACA 0012 at M 0.74: CL 0.675
    // at 4.84 degrees, and no angle up to 0.03 degrees larger converges from it).
    const double span = last.alpha - first.alpha;
    const bool flat = way * span > 0 && (last.cl - first.cl) / span < kFoldSlope * rising;
    const bool turns = ends && way * (last.cl - highest.cl) >= 0;
    if (flat || turns || (slope * rising > 0 && slope < kFoldSlope * rising)) {
        highest.status = kBeyondMaximumLift;
        return highest;
    }
    return failed;
}

FlowResult FullPotential::solveOnce(const std::vector<Point>& given, const FlowCase& flow, bool step)
{
    const Budget budget{m_updates};
    m_lastWarm = false;
    if (auto refused = unusable_input(given, flow)) {
        m_memory->valid = false;
        return *refused;
    }
    FlowResult r;
    const GridSize size = full_potential_grid(flow.level);
    const UnitChord frame = to_unit_chord(given, size.ring + 1);
    const std::vector<Point>& unit = frame.points;
    const bool sharp = std::hypot(unit.front().x - unit.back().x, unit.front().y - unit.back().y) < 1e-7;
    const Panelling p = repanel(unit, sharp ? size.ring + 1 : size.ring - 3);
    // The first layer about as thick as the panels at mid chord are long over six.
    const OGrid g = build_o_grid(p, size.layers, kFarField, 0.75 / size.ring);
    const double mach = std::min(flow.mach, kMaxMach);
    const double target = flow.prescribed_lift ? flow.target : flow.target * kDeg;
    fill_fallback(r);
    r.alpha = flow.prescribed_lift ? 0.0 : flow.target;
    if (!g.ok) {
        r.status = kNotConverged;
        m_memory->valid = false;
        return r;
    }
    const bool viscous = withLayers(flow);
    Discretisation d(g, viscous, m_memory->topology);
    auto fresh = std::make_unique<LinearSolver>();
    LinearSolver& lu = *fresh;
    lu.analyzePattern(d.jacobian());
    bool factorised = false;
    Eigen::VectorXd x;
    bool converged = false;
    int iterations = 0;

    FlowCase layerCase = flow;
    layerCase.mach = mach;
    layerCase.reynolds = std::clamp(flow.reynolds, 1e4, 1e10);

    const Memory& last = *m_memory;
    // A continuation's step also starts from a solution of the other prescription, but not on
    // its factorisation, whose angle row differs.
    const bool sameKind = last.flow.prescribed_lift == flow.prescribed_lift;
    bool warm = last.valid && last.contour.size() == given.size() && last.flow.level == flow.level &&
                (sameKind || step) && withLayers(last.flow) == viscous &&
                std::fabs(last.flow.mach - flow.mach) <= kWarmMach &&
                last.x.size() == d.unknowns();
    for (std::size_t i = 0; warm && i < given.size(); ++i)
        warm = std::hypot(given[i].x - last.contour[i].x, given[i].y - last.contour[i].y) < kWarmDisplacement * frame.scale;
    const double finish = viscous ? kCouplingStart : kStepTolerance;
    const LinearSolver* chordLu = nullptr;
    const LinearSolver* earlier = warm && sameKind ? m_memory->nearby() : nullptr;
    if (warm) {
        x = last.x;
        if (!flow.prescribed_lift)
            x(d.angle()) = target;
        d.setCase(mach, flow.prescribed_lift, target);
        d.setWake(last.wake);
        if (viscous)
            d.setWallFlux(last.flux);
        const Eigen::VectorXd start = x;
        if (earlier) {
            converged = chordWithEntropy(d, *earlier, x, finish, budget, iterations);
            // Where it stalls, Newton updates by GMRES on the same factorisation usually finish.
            for (int k = 0; k < kKrylovRestarts && !converged && x.allFinite(); ++k)
                converged = krylovStep(d, *earlier, x, iterations) &&
                            chordWithEntropy(d, *earlier, x, finish, budget, iterations);
            chordLu = earlier;
        }
        if (!converged) {
            if (!x.allFinite())
                x = start;
            chordLu = &lu;
            converged = newton(d, lu, x, finish, kMaxNewton, budget, iterations, true) &&
                        settleEntropy(d, lu, chordLu, x, finish, budget, iterations);
        }
        factorised = chordLu == &lu;
        m_lastWarm = converged;
    }
    if (step && !converged) {
        r.status = kNotConverged;
        return r;
    }
    Eigen::VectorXd good;
    Wake goodWake;
    if (!converged) {
        factorised = true;
        d.clearEntropy();
        // Cold start: the free stream with the thin-aerofoil circulation, then the Mach number
        // raised in steps, each solution the start of the next; a failed step is retried shorter.
        const double a0 = flow.prescribed_lift ? target / (2 * kPi) : target;
        const double g0 = kPi * a0;
        double reached = -1, current = std::min(mach, kDirectMach), increment = 0.1;
        d.setCase(current, flow.prescribed_lift, target);
        d.freeStream(x, a0, g0);
        while (true) {
            d.setCase(current, flow.prescribed_lift, target);
            const bool last = current >= mach;
            Eigen::VectorXd trial = x;
            // The entropy behind the shocks follows the iterates; at the case itself the solution
            // is finished with the entropy settled.
            bool ok = newton(d, lu, trial, last ? finish : 1e-4, last ? kMaxNewton : 15, budget, iterations, true);
            if (ok && last) {
                chordLu = &lu;
                ok = settleEntropy(d, lu, chordLu, trial, finish, budget, iterations);
            }
            if (!ok)
                d.setWake(goodWake);
            if (ok) {
                x = trial;
                good = x;
                goodWake = d.wake();
                reached = current;
                if (last) {
                    converged = true;
                    break;
                }
            } else {
                if (budget.spent(iterations))
                    break;
                if (reached < 0) {
                    // High lift can make even the first stage supersonic at the nose; the climb
                    // then starts again from nearly incompressible flow.
                    if (current <= kLowestStart)
                        break;
                    current = kLowestStart;
                    d.setCase(current, flow.prescribed_lift, target);
                    d.freeStream(x, a0, g0);
                    d.clearEntropy();
                    continue;
                }
                increment *= 0.5;
                if (increment < 0.004)
                    break;
            }
            // Below kDirectMach the flow changes little with the Mach number: larger steps; above
            // kStrongShocks the shocks move fast with it: steps of at most a tenth of the way to
            // sonic speed.
            double step = reached >= 0 && reached < kDirectMach ? 4 * increment : increment;
            if (reached >= kStrongShocks)
                step = std::min(step, 0.1 * (1 - reached));
            current = std::min(mach, (reached < 0 ? current : reached) + step);
        }
        if (!converged && good.size() == d.unknowns()) {
            // The last good iterate is the solution at a lower Mach number; the loads are
            // reported at it, flagged as not converged.
            x = good;
            d.setCase(reached, flow.prescribed_lift, target);
        }
    }
    if (x.size() != d.unknowns() || !x.allFinite()) {
        d.freeStream(x, flow.prescribed_lift ? 0.0 : target, 0.0);
        converged = false;
    }
    CoupledResult coupling;
    const CouplingMemory before = step ? m_memory->coupling : CouplingMemory{};
    if (viscous && converged) {
        const Eigen::VectorXd inviscidFlow = x;
        bool fresh = factorised && chordLu == &lu;
        coupling = solve_coupled(d, lu, fresh, earlier, m_memory->coupling, x, g, p,
                                 layerCase, warm ? last.transpiration : Transpiration{}, iterations, budget);
        factorised = factorised || fresh;
        if (!coupling.converged && !coupling.loose) {
            // The layers did not settle (a stall, or massive separation): the inviscid flow is
            // reported instead.
            x = inviscidFlow;
            d.setWallFlux({});
            coupling.layers = SectionLayersResult{};
            converged = false;
        }
    }
    if (step && !converged) {
        m_memory->coupling = before;
        r.status = kNotConverged;
        return r;
    }
    if (!converged)
        d.updateEntropy(x); // the reported wave drag is that of the reported flow
    m_memory->valid = converged;
    if (converged) {
        m_memory->contour = given;
        m_memory->flow = flow;
        m_memory->x = x;
        m_memory->wake = d.wake();
        m_memory->transpiration = coupling.carried;
        m_memory->flux = coupling.flux;
        m_memory->unfactorised = SparseMatrix();
        if (factorised && !m_lastWarm) {
            // The drag steps that follow all start on this factorisation: one at the solution
            // itself keeps their chord iterations contracting fast.
            Eigen::VectorXd r;
            d.assemble(x, r, true);
            m_memory->unfactorised = d.jacobian();
            m_memory->lu = std::move(fresh);
        } else if (factorised && lu.info() == Eigen::Success) {
            m_memory->lu = std::move(fresh);
        }
    } else {
        m_memory->lu.reset();
        m_memory->unfactorised = SparseMatrix();
    }

    // The drag is the wave drag from the entropy behind the shocks, exactly zero in subcritical
    // flow; the wall pressures integrate to that plus a spurious drag of a few counts that
    // shrinks with the grid, so their drag is not used.
    double cl = 0, pressureDrag = 0, cm = 0;
    d.loads(x, cl, pressureDrag, cm);
    r.cl = cl;
    r.cd_wave = d.waveDrag();
    r.cd = r.cd_wave;
    r.cd_friction = 0;
    r.cm = cm;
    r.alpha = x(d.angle()) / kDeg;
    r.iterations = iterations;

    // Pressures and local Mach numbers at the ring nodes: means of the two wall panels beside
    // each node.
    const int ni = g.ni;
    std::vector<double> panelCp(static_cast<std::size_t>(ni)), panelMach(static_cast<std::size_t>(ni));
    const double dm = d.mach();
    for (int i = 0; i < ni; ++i) {
        const double q2 = d.speed2(x, g.lowTriangle(i, 0));
        const double base = std::max(1 + 0.2 * dm * dm * (1 - q2), kMinBase);
        panelCp[static_cast<std::size_t>(i)] = d.pressure(q2, g.lowTriangle(i, 0));
        panelMach[static_cast<std::size_t>(i)] = dm * std::sqrt(q2 / base);
        r.max_mach = std::max(r.max_mach, panelMach[static_cast<std::size_t>(i)]);
    }
    const std::size_t n = p.node.size();
    std::vector<double> cp(n), mloc(n);
    for (std::size_t k = 0; k < n; ++k) {
        const int ring = g.ring_of_node[k] % ni;
        const auto before = static_cast<std::size_t>((ring + ni - 1) % ni), after = static_cast<std::size_t>(ring);
        cp[k] = 0.5 * (panelCp[before] + panelCp[after]);
        mloc[k] = 0.5 * (panelMach[before] + panelMach[after]);
    }
    const SectionLayersResult& layers = coupling.layers;
    const bool withOutputLayers = viscous && layers.cf.size() == n;
    NodeValues values{&cp, &mloc};
    if (withOutputLayers)
        values = {&cp, &mloc, &layers.cf, &layers.dstar, &layers.theta};
    write_outputs(p, frame, values, r);
    r.status = converged ? kConverged : kNotConverged;
    if (flow.viscous && !viscous && converged)
        r.status = kInviscidFallback;
    if (withOutputLayers) {
        r.cd = r.cd_wave + layers.cd;
        report_layers(layers, frame.origin, frame.scale, r);
        if (converged && std::min(r.separation_upper, r.separation_lower) < 0.99)
            r.status = kSeparated;
        else if (converged && !coupling.converged)
            r.status = kLooselyCoupled;
    }
    return r;
}

} // namespace camber::smesh
