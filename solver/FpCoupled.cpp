// SPDX-License-Identifier: MIT
#include "FpCoupled.h"

#include "Gas.h"
#include "LayerHold.h"
#include "PanelLayers.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

namespace camber::smesh::fp {

namespace {

// Updates of the coupled system before it gives up.
constexpr int kMaxCoupled = 60;
// Converged when no thickness, shear stress or speed of the layers changes by more than the
// fraction kLayerTolerance and the potential by more than kCoupledTolerance. The layers stop ten
// times short of their own solution's tolerance (with the panel method): the angle, lift, drag and
// pressures are then the same to the digits the outputs carry, and each further update would
// cost a tenth of a drag step.
constexpr double kLayerTolerance = 1e-6, kCoupledTolerance = 1e-8;
// Short of convergence, the updates of a settled but creeping solution stay below these: the
// potential's, and the defects' relative to their largest.
constexpr double kLoosePotential = 1e-4, kLoose = 1e-2;
// The factorisation is renewed when an update (see the loop) is more than this fraction of the
// one before, at most every kRenewGap updates and kMostRenewals times in all, and only while
// that update exceeds kRenewAbove: below it the slow contraction is the layers' (a transition
// point settling), which a new factorisation, at a solve per station, does not speed up.
constexpr double kRenewContraction = 0.5, kRenewAbove = 1e-4;
constexpr int kRenewGap = 3, kMostRenewals = 10;
// A layer whose mass defect passes 5 % of the chord is no boundary layer: massive separation.
constexpr double kRunawayDefect = 0.05;
// Updates that still circle after kMaxCoupled get up to kExtraUpdates more, the layers' held
// (LayerHold); so do updates that still shrink steadily, fast enough to converge within them.
constexpr int kExtraUpdates = 30;

/// Where the stations stand in the grid and how their speeds follow from the unknowns.
struct StationMap {
    SparseMatrix speed;       // stations x unknowns: the edge speed of each station
    std::vector<int> gridNode; // the grid node that takes each station's mass flux
};

StationMap mapStations(const SectionLayers& layers, const SparseMatrix& outer, const OGrid& g)
{
    StationMap map;
    const int ns = layers.surfaceStations(), stations = layers.stations(), ni = g.ni;
    const auto& node = layers.stationNode();
    const auto& sign = layers.stationSign();
    const int upperEdge = static_cast<int>(std::count(sign.begin(), sign.end(), -1.0)) - 1;
    std::vector<Eigen::Triplet<double>> entries;
    map.gridNode.resize(static_cast<std::size_t>(stations));
    const Eigen::SparseMatrix<double, Eigen::RowMajor> byRow = outer;
    const auto copyRow = [&](int station, int row, double factor) {
        for (Eigen::SparseMatrix<double, Eigen::RowMajor>::InnerIterator it(byRow, row); it; ++it)
            entries.emplace_back(station, it.col(), factor * it.value());
    };
    for (int k = 0; k < ns; ++k) {
        const int ring = g.ring_of_node[static_cast<std::size_t>(node[static_cast<std::size_t>(k)])];
        copyRow(k, ring, sign[static_cast<std::size_t>(k)]);
        map.gridNode[static_cast<std::size_t>(k)] = ring % ni;
    }
    for (int j = 0; j < stations - ns; ++j) {
        map.gridNode[static_cast<std::size_t>(ns + j)] = g.index(0, j);
        if (j == 0) {
            // The trailing edge's wake station takes the mean of the two edges' speeds.
            for (const int edge : {upperEdge, ns - 1}) {
                const int ring = g.ring_of_node[static_cast<std::size_t>(node[static_cast<std::size_t>(edge)])];
                copyRow(ns, ring, 0.5 * sign[static_cast<std::size_t>(edge)]);
            }
        } else {
            copyRow(ns + j, ni + 1 + j, 1);
        }
    }
    map.speed.resize(stations, outer.cols());
    map.speed.setFromTriplets(entries.begin(), entries.end());
    return map;
}

/// Forced transition per surface: the flow case's, or where a laminar layer would enter a
/// supersonic zone, the sonic point. A laminar layer that met the shock ending the zone would
/// separate under it and turn turbulent in the bubble, over an interval too stiff for the
/// layers' equations to be solved reliably; turbulent from the sonic point it passes the shock
/// attached. Natural laminar flow through a supersonic zone is therefore not predicted.
std::array<double, 2> laminarLimit(const SectionLayers& layers, const Panelling& p, const Eigen::VectorXd& speed,
                                   const FlowCase& flow)
{
    std::array<double, 2> forced{flow.transition[0] > 0 && flow.transition[0] < 1 ? flow.transition[0] : 1.0,
                                 flow.transition[1] > 0 && flow.transition[1] < 1 ? flow.transition[1] : 1.0};
    const int n = static_cast<int>(speed.size()), is = layers.stagnation();
    const auto mach2 = [&](int i) { return gas::machSquared(speed(i), flow.mach); };
    for (int side = 0; side < 2; ++side) {
        const int step = side == 0 ? -1 : 1;
        for (int i = side == 0 ? is : is + 1; i + step >= 0 && i + step < n; i += step) {
            const double a = mach2(i), b = mach2(i + step);
            if (a <= 1 && b > 1) {
                const double w = (1 - a) / (b - a);
                const auto xc = [&](int k) { return p.xc(static_cast<std::size_t>(k)); };
                int end = i + step;
                while (end + step >= 0 && end + step < n && mach2(end) > 1)
                    end += step;
                if (forced[static_cast<std::size_t>(side)] > xc(end))
                    forced[static_cast<std::size_t>(side)] = std::min(forced[static_cast<std::size_t>(side)], xc(i) + w * (xc(i + step) - xc(i)));
                break;
            }
        }
    }
    return forced;
}

/// The laminar limits of both surfaces as the coupled updates see them. The sonic point moves
/// with every update, and on a sonic rooftop (speeds level at sonic over several panels) it
/// moves far for a small change of the speeds: moved all the way at every update, the transition
/// behind it swings the turbulent layer's shear stress to and fro without end. Each limit
/// therefore takes a share of its move, halved whenever the move turns back and doubled (up to
/// the whole move) when it goes on the same way: the moves shrink towards the limit that the
/// converged flow gives instead of circling round it.
class LaminarLimits {
public:
    const std::array<double, 2>& follow(const std::array<double, 2>& wanted)
    {
        for (std::size_t side = 0; side < 2; ++side) {
            const double change = wanted[side] - m_value[side];
            if (!m_started) {
                m_value[side] = wanted[side];
            } else if (change != 0) {
                const int sign = change > 0 ? 1 : -1;
                m_share[side] = sign == -m_lastSign[side] ? std::max(0.5 * m_share[side], kLeastShare)
                                                          : std::min(2 * m_share[side], 1.0);
                m_lastSign[side] = sign;
                m_value[side] += m_share[side] * change;
            }
        }
        m_started = true;
        return m_value;
    }

private:
    static constexpr double kLeastShare = 1.0 / 1024;
    bool m_started = false;
    std::array<double, 2> m_value{}, m_share{1, 1};
    std::array<int, 2> m_lastSign{};
};

/// Solves with the factorised Jacobian for a vector in the unknowns' natural order.
Eigen::VectorXd solve(const Discretisation& d, const LinearSolver& lu, const Eigen::VectorXd& b)
{
    Eigen::VectorXd ordered, solved, v;
    d.toOrder(b, ordered);
    solved = lu.solve(ordered);
    d.fromOrder(solved, v);
    return v;
}

} // namespace

CoupledResult solve_coupled(Discretisation& d, LinearSolver& lu, bool& factorised, const LinearSolver* earlier,
                            CouplingMemory& memory, Eigen::VectorXd& x, const OGrid& g, const Panelling& p,
                            const FlowCase& flow, const Transpiration& start, int& iterations, const Budget& budget)
{
    CoupledResult result;
    // The wake runs along the cut, to the first point a chord or more behind the edge.
    std::vector<Point> wake{g.node[0]};
    for (int j = 1; j < g.nj - 1 && std::hypot(wake.back().x - wake.front().x, wake.back().y - wake.front().y) < kWakeLength; ++j)
        wake.push_back(g.node[static_cast<std::size_t>(g.index(0, j))]);
    const auto nw = static_cast<int>(wake.size());
    const SparseMatrix outer = d.outerFlowMatrix(nw);

    if (start.layers.state.empty()) {
        // The base of a blunt trailing edge displaces the flow behind it as the wake will: with
        // it the inviscid flow no longer stagnates behind the base, where the wake starts.
        const double gap = std::hypot(p.node.front().x - p.node.back().x, p.node.front().y - p.node.back().y);
        if (gap > 0) {
            d.setWallFlux({gap});
            if (!newton(d, lu, x, kCouplingStart, kMaxNewton, budget, iterations, true))
                return result;
            factorised = true;
        }
    }
    LayerSettings settings = layer_settings(flow, flow.mach);
    settings.flow.karmanTsien = false; // the potential's speeds are the edge speeds
    SectionLayers layers(p, wake, settings);
    {
        const Eigen::VectorXd speed = outer * x;
        OuterSpeeds o;
        o.nodes.resize(static_cast<Eigen::Index>(p.node.size()));
        for (std::size_t k = 0; k < p.node.size(); ++k)
            o.nodes(static_cast<Eigen::Index>(k)) = speed(g.ring_of_node[k]);
        o.wake = speed.tail(nw);
        if (start.layers.state.empty())
            layers.start(o);
        else
            layers.resume(start.layers, o);
    }
    layers.beginUpdates();

    const double mach = flow.mach;
    StationMap map = mapStations(layers, outer, g);
    // The factorisation the updates solve with: the fresh one when it was factorised near x,
    // else an earlier one, whose answers to the stations' defects memory keeps.
    const LinearSolver* solver = factorised ? &lu : earlier;
    RowMatrix perDefect;       // dx / dm through the potential
    Eigen::MatrixXd coupling;  // the stations' dq / dm through the potential
    bool renew = solver == nullptr, stationsChanged = true;
    if (solver == earlier && earlier != nullptr && memory.gridNode == map.gridNode) {
        perDefect = std::move(memory.perDefect);
        coupling = std::move(memory.coupling);
        memory.gridNode.clear(); // taken, not copied: a failed solution leaves no answers behind
        stationsChanged = false;
    }
    double lastSize = 1, last = 1;
    int renewed = 0, renewals = 0;
    Eigen::VectorXd r;
    std::vector<double> gridFlux;
    LaminarLimits limits;
    LayerHold hold;
    bool settling = false;
    bool loose = false; // reported only by a series that ends its updates, not by one given up
    for (int it = 0; (it < kMaxCoupled || ((hold.active() || settling) && it < kMaxCoupled + kExtraUpdates)) &&
                     !budget.spent(iterations);
         ++it) {
        const int stations = layers.stations();
        const Eigen::MatrixXd flux = layers.fluxMatrix(mach);
        const Eigen::VectorXd stationFlux = flux * layers.stationDefects();
        gridFlux.assign(static_cast<std::size_t>(*std::max_element(map.gridNode.begin(), map.gridNode.end()) + 1), 0.0);
        for (int k = 0; k < stations; ++k)
            gridFlux[static_cast<std::size_t>(map.gridNode[static_cast<std::size_t>(k)])] += stationFlux(k);
        d.setWallFlux(gridFlux);
        // The entropy behind the shocks is lagged, as in the potential's own Newton method.
        const double entropyChange = last < kCoupleBelow ? d.updateEntropy(x) : 0.0;
        d.assemble(x, r, renew);
        if (renew) {
            lu.factorize(d.jacobian());
            if (lu.info() != Eigen::Success)
                return result;
            factorised = true;
            solver = &lu;
        }
        ++iterations;
        const Eigen::VectorXd y = solve(d, *solver, r);
        if (renew || stationsChanged) {
            // The potential's answer to a unit mass defect at each station: the flux it puts
            // into the grid's equations, through the factorised Jacobian.
            std::vector<Eigen::Index> rows(static_cast<std::size_t>(stations));
            for (std::size_t j = 0; j < rows.size(); ++j)
                rows[j] = d.orderOf(map.gridNode[j]);
            perDefect = solveMany(*solver, rows, flux, d.elimination());
            coupling = -(map.speed * perDefect);
            if (renew)
                renewed = it;
            renew = false;
            stationsChanged = false;
        }
        {
            const Eigen::VectorXd speed = outer * x;
            Eigen::VectorXd nodes(static_cast<Eigen::Index>(p.node.size()));
            for (std::size_t k = 0; k < p.node.size(); ++k)
                nodes(static_cast<Eigen::Index>(k)) = speed(g.ring_of_node[k]);
            layers.setForcedTransition(limits.follow(laminarLimit(layers, p, nodes, flow)));
        }
        const Eigen::VectorXd q0 = map.speed * (x - y);
        const SectionLayers::Step step = layers.coupledStep(q0, coupling, it, kLayerTolerance, hold.hold());
        if (!step.ok || !step.dm.allFinite())
            return result;
        Eigen::VectorXd dx = -step.relaxation * y - perDefect * step.dm;
        for (int k = 0; k < 8; ++k, dx *= 0.5) {
            double maxMach = 0, minBase = 0;
            d.extremes(x + dx, maxMach, minBase);
            if (maxMach < kMachCap && minBase > kMinBase)
                break;
        }
        x += dx;
        last = dx.lpNorm<Eigen::Infinity>();
        if (step.remapped) {
            map = mapStations(layers, outer, g);
            stationsChanged = true;
        }
        if (layers.stationDefects().lpNorm<Eigen::Infinity>() > kRunawayDefect)
            return result;
        if (step.converged && last < kCoupledTolerance && entropyChange < std::max(kEntropyTolerance, kCoupledTolerance)) {
            result.converged = true;
            break;
        }
        // A layer that keeps creeping (separated near the trailing edge, where the updates can
        // circle without end) stands within a per cent of its defect: reported with a warning.
        loose = y.lpNorm<Eigen::Infinity>() < kLoosePotential &&
                step.dm.lpNorm<Eigen::Infinity>() < kLoose * layers.stationDefects().lpNorm<Eigen::Infinity>();
        // Updates that contract slowly ask for a new factorisation at the present iterate, but
        // not before the last has served a few updates: each costs a solve per station. The
        // measure is the larger of the potential's own update and the whole one: at a shock
        // standing on a separating layer the layers' defects move the potential far more than its
        // own residual does, and only a factorisation at the present shock answers them rightly.
        const double size = std::max(y.lpNorm<Eigen::Infinity>(), last);
        renew = renewals < kMostRenewals && it - renewed >= kRenewGap && size > kRenewAbove &&
                size > kRenewContraction * lastSize;
        renewals += renew ? 1 : 0;
        lastSize = size;
        // Only a series that would otherwise end unconverged is held: the solutions that
        // converge within kMaxCoupled stay as they are.
        hold.observe(it, kMaxCoupled - 1, size, dx, step.relaxation);
        // A series cut off there while it converges would fail a solution a few updates short
        // (NACA 0012 at M 0.8, CL 0.3: the updates shrank sevenfold over the last four).
        if (it == kMaxCoupled - 1)
            settling = !hold.active() && hold.settles(kCoupledTolerance, kExtraUpdates);
    }
    memory = {map.gridNode, std::move(perDefect), std::move(coupling)};
    result.loose = loose;
    const double alpha = x(d.angle());
    result.layers = layers.result(alpha, mach);
    result.iterations = iterations;
    result.flux = gridFlux;
    result.carried.nodeDefect = result.layers.nodeDefect;
    result.carried.wakeDefect = result.layers.wakeDefect;
    layers.massFluxes(result.carried.nodeDefect, result.carried.wakeDefect, mach, result.carried.nodeFlux, result.carried.wakeFlux);
    result.carried.layers = layers.snapshot();
    return result;
}

} // namespace camber::smesh::fp
