// SPDX-License-Identifier: MIT
#include "FullPotential.h"

#include "Grid.h"
#include "ViscousCoupling.h"

#include <Eigen/SparseCore>
#include <Eigen/SparseLU>
#include <unsupported/Eigen/IterativeSolvers>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <memory>
#include <tuple>
#include <type_traits>

namespace camber::smesh {

namespace {

constexpr double kMaxMach = 0.95;
constexpr double kFarField = 15;          // far-field radius, chords
// Artificial density: the switch nu = kUpwind (1 - kCritical^2 / M^2) starts a little below
// sonic speed so that the density is already biased where the flow turns supersonic.
constexpr double kUpwind = 1.5;
constexpr double kCritical2 = 0.92 * 0.92;
constexpr double kMaxSwitch = 1.0;
// Newton steps are shortened until no element exceeds this local Mach number: a full step from
// a poor iterate can otherwise drive elements towards vacuum, where the density vanishes.
constexpr double kMachCap = 1.9;
constexpr double kMinBase = 0.05;         // a^2 / a_inf^2 below which the density is frozen
constexpr double kStepTolerance = 1e-9;   // largest Newton update of a converged solution
// Before a viscous coupling the potential flow need not be converged further: the coupling goes
// on updating it with each new transpiration.
constexpr double kCouplingStart = 1e-3;
constexpr int kMaxNewton = 30;
// The layers' wake follows the cut for at least this many chords behind the trailing edge.
constexpr double kWakeLength = 1.0;
// The chord method (an old factorisation) is kept while each update, plus the change of the
// entropy behind the shocks, is at most this fraction of the one before: the lagged entropy makes
// the convergence linear.
constexpr int kMaxChord = 40;
constexpr double kChordContraction = 0.7;
// After a full Newton step its factorisation serves further updates (Shamanskii's method) while
// each is at most this fraction of the one before: a factorisation costs some twenty residuals.
constexpr int kMaxNewtonChord = 10;
constexpr double kNewtonChordContraction = 0.6;
// A Newton update by GMRES on a nearby factorisation is solved to this relative accuracy (inexact
// Newton: the chord iterations that follow finish the convergence) within this many iterations.
constexpr double kKrylovTolerance = 1e-3;
constexpr int kKrylovIterations = 30;
constexpr int kKrylovRestarts = 2; // GMRES updates of a warm start before it refactorises
// Wall panels between the trailing edge and the Kutta panels on each side. Nearer the edge the
// skewed cells of the trailing-edge fan bias the circulation: on the sharp NACA 0012 in
// incompressible flow the lift came out 4.6 % (first panels) and 2.4 % (second) above the panel
// method, and 0.0 % with the third panels used here.
constexpr int kKuttaPanel = 2;
// A blunt trailing edge has no such fan: its base closes the wall with cells as regular as the
// rest. On NACA 2412 in incompressible flow the lift came out 1.4 % below the panel method with
// the third panels, 0.5 % with the second and 0.1 % with the first (the corners), which are used
// in inviscid flow. With boundary layers the third panels are kept: nearer the edge the
// transpiration of a layer separating just ahead of it acts on the Kutta condition directly, and
// the coupling cycled (NACA 4415, M 0.3, 12 degrees, Re 2e6, separated at 0.82c).
constexpr int kKuttaPanelBlunt = 0;
// Cold starts below this Mach number go straight to the case; above, by continuation.
constexpr double kDirectMach = 0.6;
constexpr double kLowestStart = 0.2;
constexpr double kStrongShocks = 0.7;
// A section counts as a small change of the last when no point moved more than this (chords).
constexpr double kWarmDisplacement = 0.02;
constexpr double kWarmMach = 0.02;
// The entropy behind the shocks is lagged, not differentiated in the Jacobian: recomputed from
// the iterates once Newton's updates are below kCoupleBelow, and converged by the chord method
// from updates below kCoupledStart until it changes by less than the tolerance on the update,
// and never by more than kEntropyTolerance (s / R) in a finished solution.
constexpr double kCoupleBelow = 1e-2;
constexpr double kCoupledStart = 1e-3;
constexpr double kCoupleChord = 1e-3;
constexpr double kEntropyTolerance = 1e-7;
constexpr int kEntropyPasses = 4; // refactorisations when the chord method stalls
// Drop of the local Mach number below 1 over which the entropy rise of a shock is phased in.
constexpr double kEntropyRamp = 0.1;
// More entropy weakens the shock that produces it, strongly near M 0.8: the lagged entropy is
// under-relaxed (adaptively, Aitken) so that the iteration does not swing between weak and strong
// shocks.
constexpr double kEntropyRelaxation = 0.5;
constexpr double kMinRelaxation = 0.1;
// Behind the shocks the velocity has a rotational part, derived from the entropy and lagged with
// it. It is at most kRotationShare of the speed: a strong nose shock at a low Mach number (NACA
// 0012 at M 0.34, CL 1.5) costs so much total pressure that the flow behind it would all but stop
// at the trailing edge, a flow that separates in reality; there the lagged correction kept the
// iterations from converging.
constexpr double kRotationShare = 0.1;
// Gauss-Seidel sweeps of the entropy's transport with the flow, each in four orders of the cells.
constexpr int kTransportSweeps = 1;

using SparseMatrix = Eigen::SparseMatrix<double>;
using Clock = std::chrono::steady_clock;

/// What the shocks leave behind them, lagged in the iterations: s / R and the rotational
/// velocity (the entropy's speed deficit along the flow) per triangle (empty: none).
struct Wake {
    std::vector<double> entropy;
    std::vector<std::array<double, 2>> rotation;
};

/// Forward-mode derivative with respect to the up to eight unknowns an element touches: six
/// nodes (its own and the far nodes of its three neighbours), the circulation and the angle.
struct Dual {
    static constexpr int kSlots = 8;
    static constexpr int kCirculation = 6;
    static constexpr int kAngle = 7;
    double v = 0;
    std::array<double, kSlots> d{};
};

Dual operator+(Dual a, const Dual& b)
{
    a.v += b.v;
    for (int k = 0; k < Dual::kSlots; ++k)
        a.d[k] += b.d[k];
    return a;
}
Dual operator-(Dual a, const Dual& b)
{
    a.v -= b.v;
    for (int k = 0; k < Dual::kSlots; ++k)
        a.d[k] -= b.d[k];
    return a;
}
Dual operator*(Dual a, double s)
{
    a.v *= s;
    for (auto& x : a.d)
        x *= s;
    return a;
}
Dual operator*(double s, Dual a) { return a * s; }
Dual operator+(Dual a, double s)
{
    a.v += s;
    return a;
}
Dual operator*(const Dual& a, const Dual& b)
{
    Dual r;
    r.v = a.v * b.v;
    for (int k = 0; k < Dual::kSlots; ++k)
        r.d[k] = a.d[k] * b.v + a.v * b.d[k];
    return r;
}
Dual operator/(const Dual& a, const Dual& b)
{
    Dual r;
    r.v = a.v / b.v;
    for (int k = 0; k < Dual::kSlots; ++k)
        r.d[k] = (a.d[k] - r.v * b.d[k]) / b.v;
    return r;
}
/// a^p for a > 0. The density and pressure take the powers 2.5 and 3.5 of the temperature
/// ratio (gamma 1.4) for every element and residual: by square roots, several times cheaper than
/// the general power.
double power(double a, double p)
{
    if (p == 2.5)
        return a * a * std::sqrt(a);
    if (p == 3.5)
        return a * a * a * std::sqrt(a);
    return std::pow(a, p);
}
Dual power(const Dual& a, double p)
{
    Dual r;
    r.v = power(a.v, p);
    const double f = p * r.v / a.v;
    for (int k = 0; k < Dual::kSlots; ++k)
        r.d[k] = f * a.d[k];
    return r;
}
Dual larger(const Dual& a, const Dual& b) { return a.v >= b.v ? a : b; }
Dual positive(const Dual& a) { return a.v > 0 ? a : Dual{}; }
Dual constant(double v)
{
    Dual r;
    r.v = v;
    return r;
}

// The same element formulas evaluate residuals alone in plain doubles (several times cheaper)
// and residuals with derivatives in Duals.
double real(double a) { return a; }
double real(const Dual& a) { return a.v; }
double larger(double a, double b) { return std::max(a, b); }
double positive(double a) { return a > 0 ? a : 0.0; }
template <typename T>
T make(double v)
{
    if constexpr (std::is_same_v<T, Dual>)
        return constant(v);
    else
        return v;
}

/// Entropy rise (s2 - s1) / R across a normal shock with upstream Mach number m (gamma 1.4): minus
/// the logarithm of the ratio of the stagnation pressures from the Rankine-Hugoniot relations.
double shockEntropy(double m)
{
    if (m <= 1)
        return 0;
    const double m2 = m * m;
    return -(3.5 * std::log(6 * m2 / (m2 + 5)) + 2.5 * std::log(6 / (7 * m2 - 1)));
}

/// Nested-dissection order of the nodes of an ni x nj ring grid: each block is split across its
/// longer side by a separator two nodes thick (a node's equation reaches two nodes away through
/// the upwind density), the halves first and the separator last. The sparse LU of the Jacobian
/// then fills in far less than in a banded or minimum-degree order.
std::vector<int> dissectionOrder(int ni, int nj)
{
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(ni * nj));
    const auto strip = [&](int i0, int i1, int j0, int j1) {
        for (int j = j0; j < j1; ++j)
            for (int i = i0; i < i1; ++i)
                order.push_back(i % ni + ni * j);
    };
    const auto block = [&](const auto& self, int i0, int i1, int j0, int j1) -> void {
        const int wi = i1 - i0, wj = j1 - j0;
        if (wi <= 0 || wj <= 0)
            return;
        if (wi * wj <= 16) {
            strip(i0, i1, j0, j1);
        } else if (wi >= wj) {
            const int m = i0 + wi / 2 - 1;
            self(self, i0, m, j0, j1);
            self(self, m + 2, i1, j0, j1);
            strip(m, m + 2, j0, j1);
        } else {
            const int m = j0 + wj / 2 - 1;
            self(self, i0, i1, j0, m);
            self(self, i0, i1, m + 2, j1);
            strip(i0, i1, m, m + 2);
        }
    };
    // The ring is first cut at the wake and opposite it.
    const int half = ni / 2;
    block(block, 2, half, 0, nj);
    block(block, half + 2, ni, 0, nj);
    strip(0, 2, 0, nj);
    strip(half, half + 2, 0, nj);
    return order;
}

/// The element stencils, the elimination order and the Jacobian's sparsity of one grid: they
/// depend on its topology alone (ring and layer counts, trailing-edge shape, Kutta panels), so
/// every contour at one level shares them and a warm re-solve need not build them again.
struct Topology {
    struct Stencil {
        std::array<int, 6> node{};        // global node of each slot
        int count = 0;
        std::array<std::array<int, 3>, 4> slot{}; // slot of each node of the element and its neighbours
        std::array<std::array<int, Dual::kSlots>, 3> position{}; // Jacobian entry of row k, slot
    };
    int ni = 0, nj = 0, upperTe = 0, lowerTe = 0, kuttaPanel = 0;
    std::vector<Stencil> stencil;
    std::vector<int> row; // place of each unknown (and its equation) in the elimination order
    SparseMatrix pattern; // the Jacobian's non-zeros, in that order, all zero

    bool fits(const OGrid& g, int panel) const
    {
        return ni == g.ni && nj == g.nj && upperTe == g.upper_te && lowerTe == g.lower_te && kuttaPanel == panel;
    }
};

/// One flow case on one grid: residuals of the discrete equations and their Jacobian.
/// Unknowns: the potential at every node, then the circulation G (potential above the wake cut
/// minus below it; the lift is 2 G per unit chord and speed), then the angle of attack (radians).
class Discretisation {
public:
    /// shared: the topology of an earlier grid, used when it fits this one, else replaced by
    /// this grid's.
    Discretisation(const OGrid& g, bool viscous, std::shared_ptr<const Topology>& shared)
        : m_g(g), m_nodes(g.ni * g.nj), m_unknowns(m_nodes + 2), m_farStart(g.ni * (g.nj - 1)),
          m_kuttaPanel(g.lower_te == g.ni || viscous ? kKuttaPanel : kKuttaPanelBlunt),
          m_topology(shared && shared->fits(g, m_kuttaPanel) ? shared : buildTopology()), m_stencil(m_topology->stencil),
          m_row(m_topology->row), m_jacobian(m_topology->pattern)
    {
        shared = m_topology;
        m_entropy.assign(g.tri.size(), 0.0);
        m_decay.assign(g.tri.size(), 1.0);
        m_rotational = !viscous;
        for (int i = 1; i < g.ni; ++i)
            if (g.node[static_cast<std::size_t>(i)].x < g.node[static_cast<std::size_t>(m_leadingEdge)].x)
                m_leadingEdge = i;
    }

    int unknowns() const { return m_unknowns; }
    int circulation() const { return m_nodes; }
    int angle() const { return m_nodes + 1; }

    void setCase(double mach, bool prescribedLift, double target)
    {
        m_mach = std::min(mach, kMaxMach);
        m_heat = 0.2 * m_mach * m_mach;
        m_prescribedLift = prescribedLift;
        m_target = target;
        restartRelaxation();
    }
    double mach() const { return m_mach; }

    /// Residuals into r and, when jacobian is set, the Jacobian into m_jacobian.
    void assemble(const Eigen::VectorXd& x, Eigen::VectorXd& r, bool jacobian)
    {
        r.setZero(m_unknowns);
        if (jacobian) {
            double* values = m_jacobian.valuePtr();
            std::fill(values, values + m_jacobian.nonZeros(), 0.0);
            jacobianElements(x, r);
        } else {
            residualElements(x, r);
        }
        // Transpiration: the mass the boundary layers displace leaves the wall; it is the natural
        // boundary term of the wall nodes and does not depend on the potential.
        for (std::size_t i = 0; i < m_wallFlux.size(); ++i)
            r(static_cast<Eigen::Index>(i)) += m_wallFlux[i];
        farField(x, r, jacobian);
        kutta(x, r, jacobian);
        liftRow(x, r, jacobian);
    }

    /// The mass fluxes of elements() without derivatives: each element's speed, density and
    /// switching are computed once and the upwind blending reads its neighbours' from there, a
    /// quarter of the work of evaluating every neighbour again for each element.
    void residualElements(const Eigen::VectorXd& x, Eigen::VectorXd& r)
    {
        const std::size_t nt = m_g.tri.size();
        m_cache.resize(nt);
        for (std::size_t t = 0; t < nt; ++t) {
            ElementState& c = m_cache[t];
            velocityOf(x, static_cast<int>(t), c.qx, c.qy);
            double base = 0, rho = 0, m2 = 0;
            state(c.qx * c.qx + c.qy * c.qy, base, rho, m2);
            c.rho = rho * m_decay[t];
            c.nu = switching(m2);
        }
        for (std::size_t t = 0; t < nt; ++t) {
            const auto& tr = m_g.tri[t];
            const ElementState& c = m_cache[t];
            double inflow = 0, rhoUp = 0, nuUp = 0;
            for (std::size_t k = 0; k < 3; ++k) {
                const int e = tr.neighbour[k];
                if (e < 0)
                    continue;
                const double w = positive((c.qx * tr.gx[k] + c.qy * tr.gy[k]) * (2 * tr.area));
                if (w <= 0)
                    continue;
                const ElementState& u = m_cache[static_cast<std::size_t>(e)];
                inflow += w;
                rhoUp += w * u.rho;
                nuUp += w * u.nu;
            }
            double nu = c.nu;
            if (inflow > 0) {
                rhoUp /= inflow;
                nu = larger(nu, nuUp / inflow);
            } else {
                rhoUp = c.rho;
            }
            const double density = c.rho - nu * (c.rho - rhoUp);
            for (std::size_t k = 0; k < 3; ++k) {
                const int node = tr.nodes[k];
                if (node < m_farStart)
                    r(node) += density * (c.qx * tr.gx[k] + c.qy * tr.gy[k]) * tr.area;
            }
        }
    }

    /// Mass fluxes of the elements into the residuals of their nodes and their derivatives into
    /// the Jacobian. Each element's density and switching are differentiated once with respect
    /// to its own nodes and the circulation; an element reads its neighbours' from there,
    /// mapped onto its stencil.
    void jacobianElements(const Eigen::VectorXd& x, Eigen::VectorXd& r)
    {
        const std::size_t nt = m_g.tri.size();
        Stencil own;
        own.slot[0] = {0, 1, 2};
        m_rhoLocal.resize(nt);
        m_nuLocal.resize(nt);
        for (std::size_t t = 0; t < nt; ++t) {
            Dual qx, qy;
            velocity(x, static_cast<int>(t), own, 0, qx, qy);
            Dual base, rho, m2;
            state(qx * qx + qy * qy, base, rho, m2);
            m_rhoLocal[t] = rho * m_decay[t];
            m_nuLocal[t] = switching(m2);
        }
        for (std::size_t t = 0; t < nt; ++t) {
            const Stencil& s = m_stencil[t];
            const auto& tr = m_g.tri[t];
            Dual qx, qy;
            velocity(x, static_cast<int>(t), s, 0, qx, qy);
            const Dual rho = onStencil(m_rhoLocal[t], s.slot[0]);
            Dual nu = onStencil(m_nuLocal[t], s.slot[0]);
            // Upwind density: the densities of the neighbours the flow comes from, each weighted
            // by the flux through the shared edge, so that the choice varies continuously.
            Dual inflow, rhoUp, nuUp;
            for (std::size_t k = 0; k < 3; ++k) {
                const int e = tr.neighbour[k];
                if (e < 0)
                    continue;
                const Dual w = positive((qx * tr.gx[k] + qy * tr.gy[k]) * (2 * tr.area));
                if (w.v <= 0)
                    continue;
                const auto ue = static_cast<std::size_t>(e);
                inflow = inflow + w;
                rhoUp = rhoUp + w * onStencil(m_rhoLocal[ue], s.slot[k + 1]);
                nuUp = nuUp + w * onStencil(m_nuLocal[ue], s.slot[k + 1]);
            }
            if (inflow.v > 0) {
                rhoUp = rhoUp / inflow;
                // The element behind a shock keeps the switching of the supersonic one ahead of
                // it; otherwise it can settle in a spurious supersonic state.
                nu = larger(nu, nuUp / inflow);
            } else {
                rhoUp = rho;
            }
            const Dual density = rho - nu * (rho - rhoUp);
            for (std::size_t k = 0; k < 3; ++k) {
                const int node = tr.nodes[k];
                if (node >= m_farStart)
                    continue;
                const Dual f = density * (qx * tr.gx[k] + qy * tr.gy[k]) * tr.area;
                r(node) += f.v;
                scatter(f, s.position[k]);
            }
        }
    }

    /// A quantity differentiated with respect to an element's own three nodes (slots 0 to 2)
    /// and the circulation, with the node derivatives moved to the slots of a stencil.
    static Dual onStencil(const Dual& local, const std::array<int, 3>& slots)
    {
        Dual d;
        d.v = local.v;
        for (std::size_t k = 0; k < 3; ++k)
            d.d[static_cast<std::size_t>(slots[k])] += local.d[k];
        d.d[Dual::kCirculation] += local.d[Dual::kCirculation];
        return d;
    }

    /// Mass flux out of the domain at each grid node: ring points on the wall and points on the
    /// wake cut (empty: a solid wall and no wake).
    void setWallFlux(const std::vector<double>& flux) { m_wallFlux = flux; }
    const std::vector<double>& wallFlux() const { return m_wallFlux; }

    /// The outer flow the layers see: the wall speeds at the ring points (means of the
    /// tangential speeds on the panels beside each point; the trailing-edge point of a sharp
    /// section twice, once for each side; ni + 1 values), positive counter-clockwise, and the speeds along the
    /// wake cut at its first points (means of the elements on either side along each segment,
    /// then of the two segments beside each point).
    void outerFlow(const Eigen::VectorXd& x, std::vector<double>& wall, std::vector<double>& cut, int cutPoints) const
    {
        const int ni = m_g.ni;
        const auto along = [&](int t, Point a, Point b) {
            const auto& tr = m_g.tri[static_cast<std::size_t>(t)];
            double qx = 0, qy = 0;
            for (int k = 0; k < 3; ++k) {
                const auto kk = static_cast<std::size_t>(k);
                const double u = x(tr.nodes[kk]) - (tr.shifted[kk] ? x(circulation()) : 0.0);
                qx += u * tr.gx[kk];
                qy += u * tr.gy[kk];
            }
            const double len = std::hypot(b.x - a.x, b.y - a.y);
            return len > 0 ? (qx * (b.x - a.x) + qy * (b.y - a.y)) / len : 0.0;
        };
        const auto node = [&](int i, int j) { return m_g.node[static_cast<std::size_t>(m_g.index(i, j))]; };
        std::vector<double> panel(static_cast<std::size_t>(ni));
        for (int i = 0; i < ni; ++i)
            panel[static_cast<std::size_t>(i)] = along(m_g.lowTriangle(i, 0), node(i, 0), node((i + 1) % ni, 0));
        // The trailing-edge points take the speed of their surface's panel alone (not of the base
        // of a blunt edge).
        wall.assign(static_cast<std::size_t>(ni + 1), 0.0);
        for (int i = 0; i <= ni; ++i) {
            const auto k = static_cast<std::size_t>(i);
            if (i == m_g.upper_te)
                wall[k] = panel[k];
            else if (i == m_g.lower_te)
                wall[k] = panel[k - 1];
            else
                wall[k] = 0.5 * (panel[(k + static_cast<std::size_t>(ni) - 1) % static_cast<std::size_t>(ni)] + panel[k % static_cast<std::size_t>(ni)]);
        }
        const int points = std::min(cutPoints, m_g.nj - 1);
        std::vector<double> segment(static_cast<std::size_t>(std::max(points - 1, 0)));
        for (int j = 0; j + 1 < points; ++j) {
            const Point a = node(0, j), b = node(0, j + 1);
            double sum = 0;
            for (const int i : {0, ni - 1})
                for (const int t : {m_g.lowTriangle(i, j), m_g.lowTriangle(i, j) + 1})
                    sum += along(t, a, b);
            segment[static_cast<std::size_t>(j)] = 0.25 * sum;
        }
        cut.assign(static_cast<std::size_t>(points), 0.0);
        for (int j = 0; j < points; ++j) {
            const auto k = static_cast<std::size_t>(j);
            cut[k] = j == 0 ? segment[0] : (j + 1 == points ? segment[k - 1] : 0.5 * (segment[k - 1] + segment[k]));
        }
    }

    /// The Jacobian with rows and columns in the elimination order (see toOrder).
    SparseMatrix& jacobian() { return m_jacobian; }
    /// A vector of unknowns or residuals rearranged into the order of the Jacobian, and back.
    void toOrder(const Eigen::VectorXd& v, Eigen::VectorXd& ordered) const
    {
        ordered.resize(v.size());
        for (Eigen::Index k = 0; k < v.size(); ++k)
            ordered(m_row[static_cast<std::size_t>(k)]) = v(k);
    }
    void fromOrder(const Eigen::VectorXd& ordered, Eigen::VectorXd& v) const
    {
        v.resize(ordered.size());
        for (Eigen::Index k = 0; k < v.size(); ++k)
            v(k) = ordered(m_row[static_cast<std::size_t>(k)]);
    }

    /// Largest local Mach number and smallest a^2 / a_inf^2 over the elements.
    void extremes(const Eigen::VectorXd& x, double& maxMach, double& minBase) const
    {
        maxMach = 0;
        minBase = 1;
        for (int t = 0; t < static_cast<int>(m_g.tri.size()); ++t) {
            const double q2 = speed2(x, t);
            const double base = 1 + m_heat * (1 - q2);
            minBase = std::min(minBase, base);
            if (base > 0)
                maxMach = std::max(maxMach, m_mach * std::sqrt(q2 / base));
        }
    }

    /// Square of the speed in triangle t (over the free-stream speed).
    double speed2(const Eigen::VectorXd& x, int t) const
    {
        double qx = 0, qy = 0;
        velocityOf(x, t, qx, qy);
        return qx * qx + qy * qy;
    }

    /// Velocity in triangle t (over the free-stream speed).
    void velocityOf(const Eigen::VectorXd& x, int t, double& qx, double& qy) const
    {
        const auto& tr = m_g.tri[static_cast<std::size_t>(t)];
        qx = 0;
        qy = 0;
        for (int k = 0; k < 3; ++k) {
            const auto kk = static_cast<std::size_t>(k);
            const double u = x(tr.nodes[kk]) - (tr.shifted[kk] ? x(circulation()) : 0.0);
            qx += u * tr.gx[kk];
            qy += u * tr.gy[kk];
        }
        if (!m_rotation.empty()) {
            qx += m_rotation[static_cast<std::size_t>(t)][0];
            qy += m_rotation[static_cast<std::size_t>(t)][1];
        }
    }

    /// Pressure coefficient for a squared speed in triangle t (behind a shock the stagnation
    /// pressure is lower).
    double pressure(double q2, int t) const { return pressure(constant(q2), m_decay[static_cast<std::size_t>(t)]).v; }

    /// True when some shock has raised the entropy.
    bool shocked() const { return m_entropyFlux > 0; }

    /// The lagged flow behind the shocks: their entropy and the rotational velocity it carries.
    Wake wake() const { return {m_entropy, m_rotation}; }
    void setWake(const Wake& w)
    {
        if (w.entropy.size() != m_entropy.size())
            return;
        setEntropy(w.entropy);
        m_rotation = w.rotation;
    }
    void clearEntropy()
    {
        setEntropy(std::vector<double>(m_entropy.size(), 0.0));
        m_rotation.clear();
        restartRelaxation();
    }
    /// Starts the relaxation of the entropy updates afresh (a new flow case).
    void restartRelaxation()
    {
        m_lastStep.clear();
        m_relaxation = kEntropyRelaxation;
    }
    /// Wave drag coefficient of the entropy field (Oswatitsch): the entropy flux through the
    /// shocks, D = rho_inf U_inf T_inf * integral of ds over the wake, so
    /// CD = 2 / (gamma M^2) * sum over the shocks of (s / R) times the mass flux through them.
    double waveDrag() const { return m_mach > 1e-3 ? m_entropyFlux / (0.7 * m_mach * m_mach) : 0.0; }

    /// Recomputes the entropy from the potential x and returns its largest change. Along each
    /// ring grid line, in the direction of the flow on each surface (leading edge to trailing
    /// edge), a shock is where the flow turns from supersonic to subsonic; its entropy rise is
    /// the normal-shock value for the largest Mach number across the grid line (the normal
    /// component, the shock standing across the ring lines) in the supersonic run before it, and
    /// the entropy is carried along the line downstream to the wake cut.
    double updateEntropy(const Eigen::VectorXd& x)
    {
        std::vector<double> s(m_entropy.size(), 0.0);
        double flux = 0;
        const int ni = m_g.ni;
        std::vector<Point> quadFlux(static_cast<std::size_t>(ni * (m_g.nj - 1)), Point{0, 0}); // rho q per quad
        for (int j = 0; j + 1 < m_g.nj; ++j) {
            // The flow divides where it is slowest near the nose (on the lower surface at high
            // incidence): the supersonic flow round the nose then counts as the upper surface's.
            int divide = m_leadingEdge;
            double slowest = speed2(x, m_g.lowTriangle(divide, j));
            for (int i = std::max(1, m_leadingEdge - ni / 8); i < std::min(ni - 1, m_leadingEdge + ni / 8); ++i) {
                const double q2 = speed2(x, m_g.lowTriangle(i, j));
                if (q2 < slowest) {
                    slowest = q2;
                    divide = i;
                }
            }
            for (const int direction : {-1, 1}) {
                double before = 0, carried = 0, peak = 0, peakFlux = 0;
                bool settled = true; // past the last shock, before the next supersonic run
                const int first = direction < 0 ? divide - 1 : divide;
                for (int i = first; i >= 0 && i < ni; i += direction) {
                    // The grid line i = const that the flow crosses entering quad i.
                    const int edge = direction < 0 ? i + 1 : i;
                    const Point a = m_g.node[static_cast<std::size_t>(m_g.index(edge % ni, j))];
                    const Point b = m_g.node[static_cast<std::size_t>(m_g.index(edge % ni, j + 1))];
                    double machNormal = 0, mach = 0, massFlux = 0;
                    const double length = std::hypot(b.x - a.x, b.y - a.y);
                    const double decay = carried > 0 ? std::exp(-carried) : 1.0;
                    for (int k = 0; k < 2; ++k) {
                        const int t = m_g.lowTriangle(i, j) + k;
                        double qx = 0, qy = 0;
                        velocityOf(x, t, qx, qy);
                        const double q2 = qx * qx + qy * qy;
                        const double base = std::max(1 + m_heat * (1 - q2), kMinBase);
                        const double m = m_mach * std::sqrt(q2 / base);
                        const double through = std::fabs(qx * (b.y - a.y) - qy * (b.x - a.x));
                        mach = std::max(mach, m);
                        if (q2 > 0)
                            machNormal = std::max(machNormal, m * through / (length * std::sqrt(q2)));
                        massFlux += 0.5 * power(base, 2.5) * decay * through;
                        // The quad's mean mass flux with the lagged entropy, for carryWithFlow.
                        const double weight = power(base, 2.5) * m_decay[static_cast<std::size_t>(t)] *
                                              m_g.tri[static_cast<std::size_t>(t)].area;
                        Point& f = quadFlux[static_cast<std::size_t>(i + ni * j)];
                        f.x += weight * qx;
                        f.y += weight * qy;
                    }
                    Point& f = quadFlux[static_cast<std::size_t>(i + ni * j)];
                    const double area = m_g.tri[static_cast<std::size_t>(m_g.lowTriangle(i, j))].area +
                                        m_g.tri[static_cast<std::size_t>(m_g.lowTriangle(i, j) + 1)].area;
                    f = {f.x / area, f.y / area};
                    if (mach > 1 && settled) {
                        settled = false;
                        before = carried;
                        peak = 0;
                    }
                    if (!settled) {
                        if (machNormal > peak) {
                            peak = machNormal;
                            peakFlux = massFlux;
                        }
                        // The rise is phased in as the flow falls below sonic speed through the
                        // captured shock, so that the entropy varies continuously with the flow
                        // as the shock moves from one cell to the next.
                        const double t = std::clamp((1 - mach) / kEntropyRamp, 0.0, 1.0);
                        carried = before + shockEntropy(peak) * t * t * (3 - 2 * t);
                        if (t >= 1) {
                            settled = true;
                            flux += shockEntropy(peak) * peakFlux;
                        }
                    }
                    for (int k = 0; k < 2; ++k)
                        s[static_cast<std::size_t>(m_g.lowTriangle(i, j) + k)] = carried;
                }
            }
        }
        carryWithFlow(quadFlux, s);
        // Aitken's adaptive relaxation: the factor follows the secant of the last two changes.
        std::vector<double> step(s.size());
        double change = 0, dot = 0, norm = 0;
        for (std::size_t t = 0; t < s.size(); ++t) {
            step[t] = s[t] - m_entropy[t];
            change = std::max(change, std::fabs(step[t]));
            if (!m_lastStep.empty()) {
                const double dr = step[t] - m_lastStep[t];
                dot += m_lastStep[t] * dr;
                norm += dr * dr;
            }
        }
        if (!m_lastStep.empty() && norm > 0)
            m_relaxation = std::clamp(-m_relaxation * dot / norm, kMinRelaxation, 1.0);
        for (std::size_t t = 0; t < s.size(); ++t)
            s[t] = m_entropy[t] + m_relaxation * step[t];
        m_lastStep = std::move(step);
        setEntropy(s);
        m_entropyFlux = flux;
        if (m_rotational)
            updateRotation(x);
        return change;
    }

    /// Sets the entropy (s / R per triangle) and the stagnation-pressure factors that follow from it.
    void setEntropy(const std::vector<double>& s)
    {
        m_entropy = s;
        for (std::size_t t = 0; t < s.size(); ++t)
            m_decay[t] = s[t] != 0 ? std::exp(-s[t]) : 1.0; // most of the field lies ahead of any shock
    }

    /// Carries the entropy s (per triangle, from the shocks along the rings) with the flow, whose
    /// mass flux rho q per quad is massFlux, as well: each quad takes the larger of its ring's value and the mean of its upwind
    /// neighbours' weighted by the mass flux from them. The rings follow the flow along the
    /// section, but behind the trailing edge they turn across the wake; there the ring values
    /// let the entropy fall along a streamline, which acts on the potential like a line of sinks
    /// along the wake and moved the lift of NACA 0012 at M 0.8 by a quarter.
    void carryWithFlow(const std::vector<Point>& massFlux, std::vector<double>& s) const
    {
        const int ni = m_g.ni, rows = m_g.nj - 1;
        const auto quads = static_cast<std::size_t>(ni * rows);
        if (std::all_of(s.begin(), s.end(), [](double v) { return v == 0; }))
            return;
        const auto node = [this](int i, int j) { return m_g.node[static_cast<std::size_t>(m_g.index(i % m_g.ni, j))]; };
        std::vector<Point> centre(quads);
        for (int j = 0; j < rows; ++j)
            for (int i = 0; i < ni; ++i) {
                const Point a = node(i, j), b = node(i + 1, j), d = node(i + 1, j + 1), e = node(i, j + 1);
                centre[static_cast<std::size_t>(i + ni * j)] = {0.25 * (a.x + b.x + d.x + e.x), 0.25 * (a.y + b.y + d.y + e.y)};
            }
        // Flux through the edge from a to b shared by quads c and n, positive from c into n.
        const auto through = [&](std::size_t c, std::size_t n, Point a, Point b) {
            Point normal{b.y - a.y, a.x - b.x};
            if (normal.x * (centre[n].x - centre[c].x) + normal.y * (centre[n].y - centre[c].y) < 0)
                normal = {-normal.x, -normal.y};
            return 0.5 * ((massFlux[c].x + massFlux[n].x) * normal.x + (massFlux[c].y + massFlux[n].y) * normal.y);
        };
        // ahead[c]: from quad (i - 1, j) into (i, j) through grid line i (across the wake cut at
        // i = 0); outward[c]: from (i, j) into (i, j + 1) through ring j + 1.
        std::vector<double> ahead(quads, 0.0), outward(quads, 0.0), v(quads);
        for (int j = 0; j < rows; ++j)
            for (int i = 0; i < ni; ++i) {
                const auto c = static_cast<std::size_t>(i + ni * j);
                ahead[c] = through(static_cast<std::size_t>((i + ni - 1) % ni + ni * j), c, node(i, j), node(i, j + 1));
                if (j + 1 < rows)
                    outward[c] = through(c, c + static_cast<std::size_t>(ni), node(i, j + 1), node(i + 1, j + 1));
                v[c] = s[2 * c];
            }
        const auto update = [&](int i, int j) {
            const auto c = static_cast<std::size_t>(i + ni * j);
            const auto before = static_cast<std::size_t>((i + ni - 1) % ni + ni * j);
            const auto after = static_cast<std::size_t>((i + 1) % ni + ni * j);
            double inflow = 0, sum = 0;
            const auto take = [&](double flux, std::size_t from) {
                if (flux > 0) {
                    inflow += flux;
                    sum += flux * v[from];
                }
            };
            take(ahead[c], before);
            take(-ahead[after], after);
            if (j > 0)
                take(outward[c - static_cast<std::size_t>(ni)], c - static_cast<std::size_t>(ni));
            if (j + 1 < rows)
                take(-outward[c], c + static_cast<std::size_t>(ni));
            // s keeps the rings' values until the end.
            v[c] = inflow > 0 ? std::max(s[2 * c], sum / inflow) : s[2 * c];
        };
        // The flow runs either way along the rings and across them: sweeps in all four orders.
        for (int sweep = 0; sweep < kTransportSweeps; ++sweep)
            for (int order = 0; order < 4; ++order)
                for (int jj = 0; jj < rows; ++jj)
                    for (int ii = 0; ii < ni; ++ii)
                        update(order & 1 ? ii : ni - 1 - ii, order & 2 ? jj : rows - 1 - jj);
        for (std::size_t c = 0; c < quads; ++c)
            s[2 * c] = s[2 * c + 1] = v[c];
    }

    /// Recomputes the rotational part of the velocity behind the shocks from the entropy and the
    /// flow x. Where a curved shock leaves more entropy on one streamline than on the next, the
    /// total pressures differ and so, at one static pressure, do the speeds (Crocco: the flow
    /// carries the vorticity T grad(s) = -q x omega); a potential cannot carry that, and without
    /// it the upper shock of NACA 0012 at M 0.8 stood 0.09c too far aft with 45 % too much lift.
    /// At one static pressure and total enthalpy, the entropy s (over R) slows the flow by
    /// s T / (gamma M^2 q) (speeds over the free stream's, T over its temperature); the velocity is
    /// grad(phi) less that deficit along the flow, whose curl is Crocco's vorticity to first order
    /// in s.
    void updateRotation(const Eigen::VectorXd& x)
    {
        if (std::all_of(m_entropy.begin(), m_entropy.end(), [](double v) { return v == 0; })) {
            m_rotation.clear();
            return;
        }
        std::vector<std::array<double, 2>> rotation(m_g.tri.size(), {0.0, 0.0});
        for (std::size_t t = 0; t < rotation.size(); ++t) {
            if (m_entropy[t] <= 0)
                continue;
            double qx = 0, qy = 0;
            velocityOf(x, static_cast<int>(t), qx, qy);
            const double q2 = qx * qx + qy * qy;
            if (q2 <= 0)
                continue;
            const double q = std::sqrt(q2), temperature = std::max(1 + m_heat * (1 - q2), kMinBase);
            const double deficit = std::min(m_entropy[t] * temperature / (1.4 * m_mach * m_mach * q), kRotationShare * q);
            rotation[t] = {-deficit * qx / q, -deficit * qy / q};
        }
        m_rotation = std::move(rotation);
    }

    /// Lift, drag and quarter-chord moment from the wall pressures; alpha in radians.
    void loads(const Eigen::VectorXd& x, double& cl, double& cd, double& cm) const
    {
        double fx = 0, fy = 0, mz = 0;
        const double a = x(angle());
        for (int i = 0; i < m_g.ni; ++i) {
            const Point p0 = m_g.node[static_cast<std::size_t>(i)], p1 = m_g.node[static_cast<std::size_t>((i + 1) % m_g.ni)];
            const int t = m_g.lowTriangle(i, 0);
            const double cp = pressure(speed2(x, t), t);
            const double px = -cp * (p1.y - p0.y), py = cp * (p1.x - p0.x);
            fx += px;
            fy += py;
            mz += (0.5 * (p0.x + p1.x) - 0.25) * py - 0.5 * (p0.y + p1.y) * px;
        }
        cl = fy * std::cos(a) - fx * std::sin(a);
        cd = fx * std::cos(a) + fy * std::sin(a);
        cm = -mz;
    }

    /// The free stream at angle a with the far-field vortex of circulation g everywhere:
    /// the initial iterate of a cold start.
    void freeStream(Eigen::VectorXd& x, double a, double g) const
    {
        x.setZero(m_unknowns);
        for (int j = 0; j < m_g.nj; ++j) {
            const std::vector<double> th = ringAngles(j, a);
            for (int i = 0; i < m_g.ni; ++i)
                x(m_g.index(i, j)) = farPotential(m_g.node[static_cast<std::size_t>(m_g.index(i, j))], a, g,
                                                  th[static_cast<std::size_t>(i)]).v;
        }
        x(circulation()) = g;
        x(angle()) = a;
    }

private:
    using Stencil = Topology::Stencil;

    std::shared_ptr<const Topology> buildTopology() const
    {
        auto t = std::make_shared<Topology>();
        t->ni = m_g.ni;
        t->nj = m_g.nj;
        t->upperTe = m_g.upper_te;
        t->lowerTe = m_g.lower_te;
        t->kuttaPanel = m_kuttaPanel;
        t->row.assign(static_cast<std::size_t>(m_unknowns), 0);
        const std::vector<int> order = dissectionOrder(m_g.ni, m_g.nj);
        for (std::size_t k = 0; k < order.size(); ++k)
            t->row[static_cast<std::size_t>(order[k])] = static_cast<int>(k);
        t->row[static_cast<std::size_t>(m_nodes)] = m_nodes;
        t->row[static_cast<std::size_t>(m_nodes + 1)] = m_nodes + 1;
        buildStencils(*t);
        buildPattern(*t);
        return t;
    }

    void buildStencils(Topology& topology) const
    {
        topology.stencil.resize(m_g.tri.size());
        for (std::size_t t = 0; t < m_g.tri.size(); ++t) {
            Stencil& s = topology.stencil[t];
            const auto slotOf = [&](int node) {
                for (int k = 0; k < s.count; ++k)
                    if (s.node[static_cast<std::size_t>(k)] == node)
                        return k;
                s.node[static_cast<std::size_t>(s.count)] = node;
                return s.count++;
            };
            const auto& tr = m_g.tri[t];
            for (int k = 0; k < 3; ++k)
                s.slot[0][static_cast<std::size_t>(k)] = slotOf(tr.nodes[static_cast<std::size_t>(k)]);
            for (int e = 0; e < 3; ++e) {
                const int nb = tr.neighbour[static_cast<std::size_t>(e)];
                if (nb < 0)
                    continue;
                for (int k = 0; k < 3; ++k)
                    s.slot[static_cast<std::size_t>(e + 1)][static_cast<std::size_t>(k)] =
                        slotOf(m_g.tri[static_cast<std::size_t>(nb)].nodes[static_cast<std::size_t>(k)]);
            }
        }
    }

    void buildPattern(Topology& topology) const
    {
        const std::vector<int>& order = topology.row;
        std::vector<Eigen::Triplet<double>> entries;
        const auto add = [&](int row, int col) { entries.emplace_back(order[static_cast<std::size_t>(row)], order[static_cast<std::size_t>(col)], 0.0); };
        const int g = circulation(), a = angle();
        for (std::size_t t = 0; t < m_g.tri.size(); ++t) {
            const Stencil& s = topology.stencil[t];
            for (int k = 0; k < 3; ++k) {
                const int row = m_g.tri[t].nodes[static_cast<std::size_t>(k)];
                if (row >= m_farStart)
                    continue;
                for (int c = 0; c < s.count; ++c)
                    add(row, s.node[static_cast<std::size_t>(c)]);
                add(row, g);
            }
        }
        for (int n = m_farStart; n < m_nodes; ++n) {
            add(n, n);
            add(n, g);
            add(n, a);
        }
        for (const auto& [from, to, sign] : kuttaPanels()) {
            add(g, wall(from).node);
            add(g, wall(to).node);
        }
        add(g, g);
        for (int i = 0; i < m_g.ni; ++i)
            for (int k = 0; k < 3; ++k)
                add(a, m_g.tri[static_cast<std::size_t>(m_g.lowTriangle(i, 0))].nodes[static_cast<std::size_t>(k)]);
        add(a, g);
        add(a, a);
        SparseMatrix& pattern = topology.pattern;
        pattern.resize(m_unknowns, m_unknowns);
        pattern.setFromTriplets(entries.begin(), entries.end());
        pattern.makeCompressed();
        for (std::size_t t = 0; t < m_g.tri.size(); ++t) {
            Stencil& s = topology.stencil[t];
            for (int k = 0; k < 3; ++k) {
                auto& pos = s.position[static_cast<std::size_t>(k)];
                pos.fill(-1);
                const int row = m_g.tri[t].nodes[static_cast<std::size_t>(k)];
                if (row >= m_farStart)
                    continue;
                for (int c = 0; c < s.count; ++c)
                    pos[static_cast<std::size_t>(c)] = position(pattern, order, row, s.node[static_cast<std::size_t>(c)]);
                pos[Dual::kCirculation] = position(pattern, order, row, g);
            }
        }
    }

    int position(int row, int col) const { return position(m_jacobian, m_row, row, col); }

    /// Index in the values of a matrix with the Jacobian's pattern (in the elimination order) of
    /// the derivative of equation row by unknown col.
    static int position(const SparseMatrix& m, const std::vector<int>& order, int row, int col)
    {
        row = order[static_cast<std::size_t>(row)];
        col = order[static_cast<std::size_t>(col)];
        const int* inner = m.innerIndexPtr();
        const int* begin = inner + m.outerIndexPtr()[col];
        const int* end = inner + m.outerIndexPtr()[col + 1];
        const int* found = std::lower_bound(begin, end, row);
        return static_cast<int>(found - inner);
    }

    void scatter(const Dual& f, const std::array<int, Dual::kSlots>& pos)
    {
        double* values = m_jacobian.valuePtr();
        for (int k = 0; k < Dual::kSlots; ++k)
            if (pos[static_cast<std::size_t>(k)] >= 0 && f.d[static_cast<std::size_t>(k)] != 0)
                values[pos[static_cast<std::size_t>(k)]] += f.d[static_cast<std::size_t>(k)];
    }

    /// Velocity of element t (the own element when which = 0, else its neighbour which - 1 of
    /// the stencil's element) with derivatives in the stencil's slots.
    void velocity(const Eigen::VectorXd& x, int t, const Stencil& s, int which, Dual& qx, Dual& qy) const
    {
        const auto& tr = m_g.tri[static_cast<std::size_t>(t)];
        qx = Dual{};
        qy = Dual{};
        const double g = x(circulation());
        for (int k = 0; k < 3; ++k) {
            const auto kk = static_cast<std::size_t>(k);
            const int slot = s.slot[static_cast<std::size_t>(which)][kk];
            const double u = x(tr.nodes[kk]) - (tr.shifted[kk] ? g : 0.0);
            qx.v += u * tr.gx[kk];
            qy.v += u * tr.gy[kk];
            qx.d[static_cast<std::size_t>(slot)] += tr.gx[kk];
            qy.d[static_cast<std::size_t>(slot)] += tr.gy[kk];
            if (tr.shifted[kk]) {
                qx.d[Dual::kCirculation] -= tr.gx[kk];
                qy.d[Dual::kCirculation] -= tr.gy[kk];
            }
        }
        // The rotational part is lagged with the entropy: a constant of the Jacobian.
        if (!m_rotation.empty()) {
            qx.v += m_rotation[static_cast<std::size_t>(t)][0];
            qy.v += m_rotation[static_cast<std::size_t>(t)][1];
        }
    }

    void velocity(const Eigen::VectorXd& x, int t, const Stencil&, int, double& qx, double& qy) const
    {
        velocityOf(x, t, qx, qy);
    }

    /// Isentropic state for squared speed q2: base = (a / a_inf)^2, density, local Mach^2.
    template <typename T>
    void state(const T& q2, T& base, T& rho, T& m2) const
    {
        base = q2 * (-m_heat) + (1 + m_heat);
        if (real(base) < kMinBase)
            base = make<T>(kMinBase);
        rho = power(base, 2.5);
        m2 = q2 * (m_mach * m_mach) / base;
    }

    template <typename T>
    T switching(const T& m2) const
    {
        if (real(m2) <= kCritical2)
            return make<T>(0);
        const T nu = (make<T>(1) - make<T>(kCritical2) / m2) * kUpwind;
        return real(nu) > kMaxSwitch ? make<T>(kMaxSwitch) : nu;
    }

    /// Pressure coefficient for squared speed q2 where the stagnation pressure is the free
    /// stream's times decay.
    Dual pressure(const Dual& q2, double decay) const
    {
        if (m_mach < 1e-3)
            return constant(1) - q2;
        Dual base = constant(1) + m_heat * (constant(1) - q2);
        if (base.v < kMinBase)
            base = constant(kMinBase);
        return (power(base, 3.5) * decay + (-1.0)) * (1 / (0.7 * m_mach * m_mach));
    }

    /// Far-field potential at p: free stream at angle a and the compressible vortex of
    /// circulation g (clockwise positive); the vortex angle relative to reference.
    Dual farPotential(Point p, double a, double g, double reference) const
    {
        const double beta = std::sqrt(std::max(1 - m_mach * m_mach, 0.01));
        const double dx = p.x - m_g.centre.x, dy = p.y - m_g.centre.y;
        const double xs = dx * std::cos(a) + dy * std::sin(a), ys = -dx * std::sin(a) + dy * std::cos(a);
        double th = std::atan2(beta * ys, xs);
        th += 2 * kPi * std::round((reference - th) / (2 * kPi));
        Dual f;
        f.v = xs - g * th / (2 * kPi);
        const double dth = -beta * (xs * xs + ys * ys) / (xs * xs + beta * beta * ys * ys);
        f.d[Dual::kCirculation] = -th / (2 * kPi);
        f.d[Dual::kAngle] = ys - g * dth / (2 * kPi);
        return f;
    }

    /// Vortex angles of the nodes of ring j, unwrapped from the wake cut (principal angle at
    /// i = 0) so that they grow by one turn round the ring and jump on the cut only.
    std::vector<double> ringAngles(int j, double a) const
    {
        std::vector<double> th(static_cast<std::size_t>(m_g.ni));
        double reference = 0;
        for (int i = 0; i < m_g.ni; ++i) {
            const Point p = m_g.node[static_cast<std::size_t>(m_g.index(i, j))];
            reference = angleOf(p, a, reference);
            th[static_cast<std::size_t>(i)] = reference;
        }
        return th;
    }

    double angleOf(Point p, double a, double reference) const
    {
        const double beta = std::sqrt(std::max(1 - m_mach * m_mach, 0.01));
        const double dx = p.x - m_g.centre.x, dy = p.y - m_g.centre.y;
        const double xs = dx * std::cos(a) + dy * std::sin(a), ys = -dx * std::sin(a) + dy * std::cos(a);
        double th = std::atan2(beta * ys, xs);
        return th + 2 * kPi * std::round((reference - th) / (2 * kPi));
    }

    void farField(const Eigen::VectorXd& x, Eigen::VectorXd& r, bool jacobian)
    {
        const double a = x(angle()), g = x(circulation());
        double* values = m_jacobian.valuePtr();
        const std::vector<double> th = ringAngles(m_g.nj - 1, a);
        for (int i = 0; i < m_g.ni; ++i) {
            const int n = m_farStart + i;
            const Dual f = farPotential(m_g.node[static_cast<std::size_t>(n)], a, g, th[static_cast<std::size_t>(i)]);
            r(n) = x(n) - f.v;
            if (jacobian) {
                values[position(n, n)] += 1;
                values[position(n, circulation())] -= f.d[Dual::kCirculation];
                values[position(n, angle())] -= f.d[Dual::kAngle];
            }
        }
    }

    Dual wallSpeed2(const Eigen::VectorXd& x, int t, std::array<int, 3>& cols) const
    {
        const auto& tr = m_g.tri[static_cast<std::size_t>(t)];
        Stencil s;
        s.slot[0] = {0, 1, 2};
        Dual qx, qy;
        velocity(x, t, s, 0, qx, qy);
        cols = tr.nodes;
        return qx * qx + qy * qy;
    }

    /// Unknown index and coefficient of the potential at ring point i of the wall seen from the
    /// upper side of the cut (i = ni is the trailing edge seen from below: lowered by G).
    struct WallValue {
        int node = 0;
        bool shifted = false;
    };
    WallValue wall(int i) const { return {i % m_g.ni, i >= m_g.ni}; }
    double value(const Eigen::VectorXd& x, WallValue w) const { return x(w.node) - (w.shifted ? x(circulation()) : 0.0); }

    /// The Kutta condition: the flow leaves the trailing edge with equal pressures above and
    /// below, taken with the tangential speeds along the wall panels m_kuttaPanel from the edge on
    /// each side (both towards the edge). Without shocks that is equal speeds; when a shock has
    /// lowered the stagnation pressure on one side more than on the other, that side leaves slower.
    void kutta(const Eigen::VectorXd& x, Eigen::VectorXd& r, bool jacobian)
    {
        const int row = circulation();
        const auto panels = kuttaPanels();
        std::array<double, 2> speed{}, scale{};
        std::array<WallValue, 2> from{}, to{};
        for (std::size_t k = 0; k < 2; ++k) {
            from[k] = wall(std::get<0>(panels[k]));
            to[k] = wall(std::get<1>(panels[k]));
            const Point pa = m_g.node[static_cast<std::size_t>(from[k].node)], pb = m_g.node[static_cast<std::size_t>(to[k].node)];
            scale[k] = 1 / std::hypot(pb.x - pa.x, pb.y - pa.y);
            speed[k] = scale[k] * (value(x, to[k]) - value(x, from[k]));
            if (!m_rotation.empty()) {
                const auto& q = m_rotation[static_cast<std::size_t>(kuttaTriangle(static_cast<int>(k)))];
                speed[k] += scale[k] * (q[0] * (pb.x - pa.x) + q[1] * (pb.y - pa.y));
            }
        }
        // Equal pressures: (a_upper / a_lower)^2 = exp((s_upper - s_lower) / 3.5) = ratio, so
        // q_upper^2 = ratio q_lower^2 + (1 - ratio) (1 + h) / h with h = (gamma - 1) M^2 / 2.
        const double ratio = std::exp((m_entropy[static_cast<std::size_t>(kuttaTriangle(0))] -
                                       m_entropy[static_cast<std::size_t>(kuttaTriangle(1))]) / 3.5);
        const double offset = ratio != 1 && m_heat > 0 ? (1 - ratio) * (1 + m_heat) / m_heat : 0.0;
        const double square = ratio * speed[1] * speed[1] + offset;
        double lower = std::sqrt(std::max(square, 1e-12));
        if (speed[1] < 0)
            lower = -lower;
        const double slope = square > 1e-12 ? ratio * speed[1] / lower : 0.0;
        r(row) = speed[0] - lower;
        if (!jacobian)
            return;
        double* values = m_jacobian.valuePtr();
        const std::array<double, 2> weight{scale[0], -slope * scale[1]};
        for (std::size_t k = 0; k < 2; ++k) {
            values[position(row, to[k].node)] += weight[k];
            values[position(row, from[k].node)] -= weight[k];
            values[position(row, row)] += weight[k] * ((from[k].shifted ? 1.0 : 0.0) - (to[k].shifted ? 1.0 : 0.0));
        }
    }

    /// The wall triangle of the upper (0) or lower (1) Kutta panel.
    int kuttaTriangle(int side) const
    {
        const int u = m_g.upper_te + m_kuttaPanel, l = m_g.lower_te - m_kuttaPanel;
        return m_g.lowTriangle(side == 0 ? u : (l - 1) % m_g.ni, 0);
    }

    /// The two Kutta panels as (from, to, sign): speed along the upper panel towards the edge
    /// minus that along the lower one.
    std::array<std::tuple<int, int, double>, 2> kuttaPanels() const
    {
        const int u = m_g.upper_te + m_kuttaPanel, l = m_g.lower_te - m_kuttaPanel;
        return {std::make_tuple(u + 1, u, 1.0), std::make_tuple(l - 1, l, -1.0)};
    }

    void liftRow(const Eigen::VectorXd& x, Eigen::VectorXd& r, bool jacobian)
    {
        const int row = angle();
        double* values = m_jacobian.valuePtr();
        if (!m_prescribedLift) {
            r(row) = x(row) - m_target;
            if (jacobian)
                values[position(row, row)] += 1;
            return;
        }
        const double a = x(row);
        Dual fx, fy;
        for (int i = 0; i < m_g.ni; ++i) {
            std::array<int, 3> cols{};
            const int t = m_g.lowTriangle(i, 0);
            const Dual cp = pressure(wallSpeed2(x, t, cols), m_decay[static_cast<std::size_t>(t)]);
            const Point p0 = m_g.node[static_cast<std::size_t>(i)], p1 = m_g.node[static_cast<std::size_t>((i + 1) % m_g.ni)];
            const Dual px = cp * (-(p1.y - p0.y)), py = cp * (p1.x - p0.x);
            if (jacobian) {
                const Dual l = py * std::cos(a) - px * std::sin(a);
                for (int k = 0; k < 3; ++k)
                    values[position(row, cols[static_cast<std::size_t>(k)])] += l.d[static_cast<std::size_t>(k)];
                values[position(row, circulation())] += l.d[Dual::kCirculation];
            }
            fx = fx + px;
            fy = fy + py;
        }
        r(row) = fy.v * std::cos(a) - fx.v * std::sin(a) - m_target;
        if (jacobian)
            values[position(row, row)] += -fy.v * std::sin(a) - fx.v * std::cos(a);
    }

    const OGrid& m_g;
    int m_nodes = 0, m_unknowns = 0, m_farStart = 0, m_kuttaPanel = kKuttaPanel;
    std::shared_ptr<const Topology> m_topology;
    const std::vector<Stencil>& m_stencil;
    const std::vector<int>& m_row;
    SparseMatrix m_jacobian;
    int m_leadingEdge = 0;
    double m_mach = 0, m_heat = 0, m_target = 0, m_entropyFlux = 0;
    std::vector<double> m_entropy, m_decay; // s / R and exp(-s / R) per triangle
    std::vector<std::array<double, 2>> m_rotation; // the entropy's speed deficit per triangle (empty: none)
    // Whether the velocity has the rotational part behind the shocks. Not with boundary layers:
    // with an earlier form of it (a Clebsch potential carried along the rings) the viscous
    // coupling converged slowly (half as many coupling iterations again in the editors' drag
    // steps, which took 50 to 100 % longer) and a layer separating behind a shock near the
    // trailing edge ran away where it had settled. The present form's first trial with layers
    // still made alternating drag steps take half as long again.
    bool m_rotational = false;
    struct ElementState {
        double qx = 0, qy = 0, rho = 0, nu = 0; // velocity, density (with the entropy), switching
    };
    std::vector<ElementState> m_cache; // per triangle, for residualElements
    std::vector<Dual> m_rhoLocal, m_nuLocal; // per triangle, for jacobianElements
    std::vector<double> m_lastStep;         // the last unrelaxed change of the entropy
    double m_relaxation = kEntropyRelaxation;
    bool m_prescribedLift = false;
    std::vector<double> m_wallFlux;
};

using LinearSolver = Eigen::SparseLU<SparseMatrix, Eigen::NaturalOrdering<int>>;

/// Newton's method from x with steps shortened to keep every element below the Mach cap and to
/// reduce the residual, each full step followed by chord updates on its factorisation while they
/// contract fast. True when the last update fell below tolerance; x is then the solution.
bool newton(Discretisation& d, LinearSolver& lu, Eigen::VectorXd& x, double tolerance, int maxIterations,
            Clock::time_point deadline, int& iterations, bool entropy = false)
{
    Eigen::VectorXd r, trial, trialResidual, ordered, solved, dx;
    double last = 1;
    for (int it = 0; it < maxIterations; ++it) {
        if (Clock::now() > deadline)
            return false;
        // While the shocks still form the entropy would follow their transient strength; it is
        // taken along only once the updates are small.
        if (entropy && last < kCoupleBelow)
            d.updateEntropy(x);
        d.assemble(x, r, true);
        lu.factorize(d.jacobian());
        if (lu.info() != Eigen::Success)
            return false;
        d.toOrder(r, ordered);
        solved = lu.solve(ordered);
        d.fromOrder(solved, dx);
        if (!dx.allFinite())
            return false;
        ++iterations;
        const double r0 = r.norm();
        double step = 1, bestNorm = 0, bestStep = 0;
        bool accepted = false;
        for (int k = 0; k < 8 && !accepted; ++k, step *= 0.5) {
            trial = x - step * dx;
            double maxMach = 0, minBase = 0;
            d.extremes(trial, maxMach, minBase);
            if (!(maxMach < kMachCap && minBase > kMinBase))
                continue;
            d.assemble(trial, trialResidual, false);
            const double norm = trialResidual.norm();
            if (!std::isfinite(norm))
                continue;
            accepted = norm < (1 - 1e-4 * step) * r0;
            if (bestStep == 0 || norm < bestNorm) {
                bestNorm = norm;
                bestStep = step;
            }
        }
        // Without a decrease the least bad admissible step is taken: the residual of an iterate
        // far from the solution is a poor guide when the shock still moves.
        if (!accepted)
            step = bestStep;
        else
            step *= 2;
        if (step == 0)
            return false;
        x -= step * dx;
        last = step * dx.lpNorm<Eigen::Infinity>();
        // With shocks the rest is left to the entropy's settling (the chord method).
        const auto finished = [&] { return last < tolerance || (entropy && last < kCoupledStart && d.shocked()); };
        if (finished())
            return true;
        for (int c = 0; c < kMaxNewtonChord && step == 1; ++c) {
            d.assemble(x, r, false);
            d.toOrder(r, ordered);
            solved = lu.solve(ordered);
            d.fromOrder(solved, dx);
            const double size = dx.lpNorm<Eigen::Infinity>();
            if (!(size < kNewtonChordContraction * last))
                break;
            double maxMach = 0, minBase = 0;
            d.extremes(x - dx, maxMach, minBase);
            if (!(maxMach < kMachCap && minBase > kMinBase))
                break;
            x -= dx;
            ++iterations;
            last = size;
            if (finished())
                return true;
        }
    }
    return false;
}

/// Preconditions GMRES with the factorised Jacobian of an earlier, nearby solution.
class EarlierFactorisation {
public:
    void use(const LinearSolver& lu) { m_lu = &lu; }
    template <typename Matrix>
    EarlierFactorisation& analyzePattern(const Matrix&) { return *this; }
    template <typename Matrix>
    EarlierFactorisation& factorize(const Matrix&) { return *this; }
    template <typename Matrix>
    EarlierFactorisation& compute(const Matrix&) { return *this; }
    Eigen::VectorXd solve(const Eigen::VectorXd& b) const { return m_lu->solve(b); }
    Eigen::ComputationInfo info() const { return Eigen::Success; }

private:
    const LinearSolver* m_lu = nullptr;
};

/// One Newton update whose linear system is solved by GMRES preconditioned by the factorisation
/// of a nearby Jacobian: where the chord method stalls because the shock or the transpiration
/// moved, this costs one Jacobian and a few triangular solves instead of a factorisation. The
/// step is shortened, as in newton(), until every element stays below the Mach cap. False when
/// GMRES does not converge or no admissible step exists; x is then unchanged.
bool krylovStep(Discretisation& d, const LinearSolver& nearby, Eigen::VectorXd& x, int& iterations)
{
    Eigen::VectorXd r, ordered, solved, dx;
    d.assemble(x, r, true);
    d.toOrder(r, ordered);
    Eigen::GMRES<SparseMatrix, EarlierFactorisation> gmres;
    gmres.preconditioner().use(nearby);
    gmres.set_restart(kKrylovIterations);
    gmres.setMaxIterations(kKrylovIterations);
    gmres.setTolerance(kKrylovTolerance);
    gmres.compute(d.jacobian());
    solved = gmres.solve(ordered);
    if (gmres.info() != Eigen::Success)
        return false;
    d.fromOrder(solved, dx);
    if (!dx.allFinite())
        return false;
    for (double step = 1; step > 0.01; step *= 0.5) {
        double maxMach = 0, minBase = 0;
        d.extremes(x - step * dx, maxMach, minBase);
        if (maxMach < kMachCap && minBase > kMinBase) {
            x -= step * dx;
            ++iterations;
            return true;
        }
    }
    return false;
}

/// Newton's method with the Jacobian factorised for an earlier, nearby solution (the chord
/// method), the entropy behind the shocks recomputed from every iterate: after a drag step, or
/// while the entropy settles, each update costs a residual and two triangular solves instead of a
/// factorisation. Gives up (false) as soon as the updates stop shrinking fast, leaving the rest to
/// Newton's method; true when both the update and the entropy's change fell below tolerance.
bool chordWithEntropy(Discretisation& d, const LinearSolver& lu, Eigen::VectorXd& x, double tolerance,
                      Clock::time_point deadline, int& iterations)
{
    Eigen::VectorXd r, ordered, solved, dx;
    double previousSize = 0, previousChange = 0, size = 0;
    for (int it = 0; it < kMaxChord; ++it) {
        if (Clock::now() > deadline)
            return false;
        // The first updates after a drag step move the shock; the entropy waits for them.
        const bool coupled = it == 0 || size < kCoupleChord;
        const double change = coupled ? d.updateEntropy(x) : 0.0;
        d.assemble(x, r, false);
        d.toOrder(r, ordered);
        solved = lu.solve(ordered);
        d.fromOrder(solved, dx);
        size = dx.lpNorm<Eigen::Infinity>();
        // Where the entropy's change dominates (as when it catches up with a moved shock), it is
        // the entropy's own relaxed iteration that converges slowly, which no new factorisation
        // would speed up.
        const bool stalled = size + change > kChordContraction * (previousSize + previousChange) && size > change;
        if (!std::isfinite(size) || (it > 0 && stalled))
            return false;
        double maxMach = 0, minBase = 0;
        d.extremes(x - dx, maxMach, minBase);
        if (!(maxMach < kMachCap && minBase > kMinBase))
            return false;
        ++iterations;
        x -= dx;
        if (size < tolerance && coupled && change < std::max(kEntropyTolerance, tolerance))
            return true;
        previousSize = size;
        previousChange = change;
    }
    return false;
}

/// Brings the lagged entropy behind the shocks into agreement with the converged potential x by
/// the chord method on the factorisation chordLu, refactorising (Newton's method on lu, which
/// chordLu then points at) when that stops converging. True when x is the solution.
bool settleEntropy(Discretisation& d, LinearSolver& lu, const LinearSolver*& chordLu, Eigen::VectorXd& x, double tolerance,
                   Clock::time_point deadline, int& iterations)
{
    for (int pass = 0; pass < kEntropyPasses; ++pass) {
        // A stalled chord method has taken admissible steps only: Newton's method goes on from
        // where it stopped.
        if (chordLu && chordWithEntropy(d, *chordLu, x, tolerance, deadline, iterations))
            return true;
        chordLu = &lu;
        if (!newton(d, lu, x, kCoupledStart, kMaxNewton, deadline, iterations, true))
            return false;
    }
    return false;
}

} // namespace

struct FullPotential::Memory {
    std::vector<Point> contour; // the section of the last converged solution, as given
    FlowCase flow;
    Eigen::VectorXd x;
    Wake wake;                   // the flow behind the shocks of that solution
    std::unique_ptr<LinearSolver> lu; // a factorised Jacobian near that solution, or null
    Transpiration transpiration;      // the layers' displacement that solution carries
    std::vector<double> flux;         // and the mass fluxes at the grid nodes it gives
    bool valid = false;
    std::shared_ptr<const Topology> topology; // of the last grid, converged or not
};

FullPotential::FullPotential() : m_memory(std::make_unique<Memory>()) {}

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

FlowResult FullPotential::solve(const std::vector<Point>& given, const FlowCase& flow)
{
    const Clock::time_point deadline =
        Clock::now() + std::chrono::microseconds(static_cast<long long>(std::clamp(m_budget, 0.0, 1e4) * 1e6));
    FlowResult r;
    m_lastWarm = false;
    const bool usableCase = std::isfinite(flow.mach) && flow.mach >= 0 && std::isfinite(flow.target);
    if (!usableCase || check_contour(given) != ContourProblem::Usable) {
        r.status = kUnusableContour;
        r.alpha = std::isfinite(flow.target) && !flow.prescribed_lift ? flow.target : 0.0;
        fill_fallback(r);
        m_memory->valid = false;
        return r;
    }
    const GridSize size = full_potential_grid(flow.level);
    // Unit chord, leading edge at the origin; results go back to the caller's units at the end.
    const Panelling raw = repanel(given, size.ring + 1);
    const double scale = raw.chord;
    std::vector<Point> unit(given.size());
    for (std::size_t i = 0; i < given.size(); ++i)
        unit[i] = {(given[i].x - raw.leading_edge.x) / scale, (given[i].y - raw.leading_edge.y) / scale};
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
    // An unusable Reynolds number gives the inviscid flow (with a warning in the status).
    const auto withLayers = [](const FlowCase& f) { return f.viscous && std::isfinite(f.reynolds) && f.reynolds > 0; };
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
    bool warm = last.valid && last.contour.size() == given.size() && last.flow.level == flow.level &&
                last.flow.prescribed_lift == flow.prescribed_lift && withLayers(last.flow) == viscous &&
                std::fabs(last.flow.mach - flow.mach) <= kWarmMach &&
                last.x.size() == d.unknowns();
    for (std::size_t i = 0; warm && i < given.size(); ++i)
        warm = std::hypot(given[i].x - last.contour[i].x, given[i].y - last.contour[i].y) < kWarmDisplacement * scale;
    const double finish = viscous ? kCouplingStart : kStepTolerance;
    const LinearSolver* chordLu = nullptr;
    if (warm) {
        x = last.x;
        if (!flow.prescribed_lift)
            x(d.angle()) = target;
        d.setCase(mach, flow.prescribed_lift, target);
        d.setWake(last.wake);
        if (viscous)
            d.setWallFlux(last.flux);
        const Eigen::VectorXd start = x;
        if (last.lu) {
            converged = chordWithEntropy(d, *last.lu, x, finish, deadline, iterations);
            // Where it stalls, Newton updates by GMRES on the same factorisation usually finish.
            for (int k = 0; k < kKrylovRestarts && !converged && x.allFinite(); ++k)
                converged = krylovStep(d, *last.lu, x, iterations) &&
                            chordWithEntropy(d, *last.lu, x, finish, deadline, iterations);
            chordLu = last.lu.get();
        }
        if (!converged) {
            if (!x.allFinite())
                x = start;
            chordLu = &lu;
            converged = newton(d, lu, x, finish, kMaxNewton, deadline, iterations, true) &&
                        settleEntropy(d, lu, chordLu, x, finish, deadline, iterations);
        }
        factorised = chordLu == &lu;
        m_lastWarm = converged;
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
            bool ok = newton(d, lu, trial, last ? finish : 1e-4, last ? kMaxNewton : 15, deadline, iterations, true);
            if (ok && last) {
                chordLu = &lu;
                ok = settleEntropy(d, lu, chordLu, trial, finish, deadline, iterations);
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
                if (Clock::now() > deadline)
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
    CouplingResult coupling;
    std::vector<double> gridFlux;
    if (viscous && converged) {
        // The wake runs along the cut, to the first point a chord or more behind the edge.
        std::vector<Point> wake{g.node[0]};
        for (int j = 1; j < g.nj - 1 && std::hypot(wake.back().x - wake.front().x, wake.back().y - wake.front().y) < kWakeLength; ++j)
            wake.push_back(g.node[static_cast<std::size_t>(g.index(0, j))]);
        const int ni = g.ni;
        // The mass fluxes of the layers' nodes and the wake's points at the grid nodes they
        // stand on (both trailing-edge points of a sharp section and the wake's first point on
        // ring point 0).
        const auto toGrid = [&](const Eigen::VectorXd& nodeFlux, const Eigen::VectorXd& wakeFlux) {
            std::vector<double> flux;
            if (nodeFlux.size() == 0)
                return flux;
            flux.assign(static_cast<std::size_t>(ni) * wake.size(), 0.0);
            for (std::size_t k = 0; k < p.node.size(); ++k)
                flux[static_cast<std::size_t>(g.ring_of_node[k] % ni)] += nodeFlux(static_cast<Eigen::Index>(k));
            for (Eigen::Index j = 0; j < wakeFlux.size(); ++j)
                flux[static_cast<std::size_t>(g.index(0, static_cast<int>(j)))] += wakeFlux(j);
            return flux;
        };
        // Each outer flow of the coupling starts from the last and is solved by the chord method
        // on the newest factorisation; Newton's method refactorises only when that stalls.
        const LinearSolver* current = chordLu ? chordLu : (factorised ? &lu : nullptr);
        const Eigen::VectorXd inviscidFlow = x;
        bool solved = true; // x is a solution with the transpiration set
        const auto resolve = [&](const Eigen::VectorXd& nodeFlux, const Eigen::VectorXd& wakeFlux, double tolerance,
                                 OuterFlow& outer) {
            const std::vector<double> flux = toGrid(nodeFlux, wakeFlux);
            bool ok = solved && flux == d.wallFlux();
            solved = false;
            if (!ok) {
                d.setWallFlux(flux);
                const Eigen::VectorXd start = x;
                // Where the chord method stalls (the shock moved), one Newton step refactorises
                // at the present iterate and the chord method goes on with that factorisation.
                for (int attempt = 0; attempt < kMaxNewton && !ok && Clock::now() < deadline; ++attempt) {
                    if (current != nullptr && chordWithEntropy(d, *current, x, tolerance, deadline, iterations)) {
                        ok = true;
                        break;
                    }
                    if (current != nullptr && krylovStep(d, *current, x, iterations))
                        continue;
                    ok = newton(d, lu, x, tolerance, 1, deadline, iterations);
                    factorised = true;
                    current = &lu;
                    if (lu.info() != Eigen::Success || !x.allFinite())
                        break;
                }
                if (!ok) {
                    x = start;
                    return false;
                }
            }
            std::vector<double> wall, cut;
            d.outerFlow(x, wall, cut, static_cast<int>(wake.size()));
            outer.nodes.resize(static_cast<Eigen::Index>(p.node.size()));
            for (std::size_t k = 0; k < p.node.size(); ++k)
                outer.nodes(static_cast<Eigen::Index>(k)) = wall[static_cast<std::size_t>(g.ring_of_node[k])];
            outer.wake = Eigen::Map<const Eigen::VectorXd>(cut.data(), static_cast<Eigen::Index>(cut.size()));
            outer.alpha = x(d.angle());
            return true;
        };
        coupling = couple_viscous(p, wake, layerCase, warm ? last.transpiration : Transpiration{}, resolve, deadline);
        gridFlux = toGrid(coupling.carried.nodeFlux, coupling.carried.wakeFlux);
        if (coupling.failed) {
            // The layers ran away (massive separation): the inviscid flow is reported instead.
            x = inviscidFlow;
            coupling.layers = SectionLayersResult{};
            converged = false;
        } else if (!coupling.settled && !coupling.loose) {
            converged = false;
        }
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
        m_memory->flux = gridFlux;
        if (factorised && !m_lastWarm) {
            // The drag steps that follow all start on this factorisation: one at the solution
            // itself keeps their chord iterations contracting fast.
            Eigen::VectorXd r;
            d.assemble(x, r, true);
            lu.factorize(d.jacobian());
        }
        if (factorised && lu.info() == Eigen::Success)
            m_memory->lu = std::move(fresh);
    } else {
        m_memory->lu.reset();
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
    std::vector<double> xs(n), ys(n), cp(n), mloc(n);
    for (std::size_t k = 0; k < n; ++k) {
        const int ring = g.ring_of_node[k] % ni;
        const auto before = static_cast<std::size_t>((ring + ni - 1) % ni), after = static_cast<std::size_t>(ring);
        xs[k] = p.node[k].x;
        ys[k] = p.node[k].y;
        cp[k] = 0.5 * (panelCp[before] + panelCp[after]);
        mloc[k] = 0.5 * (panelMach[before] + panelMach[after]);
    }
    const std::vector<double> stations = output_stations(p, (kOutputPoints + 1) / 2);
    for (std::size_t k = 0; k < stations.size(); ++k) {
        const double s = stations[k];
        r.x[k] = raw.leading_edge.x + scale * interpolate(p, xs, s);
        r.y[k] = raw.leading_edge.y + scale * interpolate(p, ys, s);
        r.cp[k] = interpolate(p, cp, s);
        r.local_mach[k] = interpolate(p, mloc, s);
    }
    r.status = converged ? kConverged : kNotConverged;
    if (flow.viscous && !viscous && converged)
        r.status = kInviscidFallback;
    const SectionLayersResult& layers = coupling.layers;
    if (viscous && layers.cf.size() == n) {
        std::vector<double> dstar(layers.dstar), theta(layers.theta);
        for (std::size_t k = 0; k < stations.size(); ++k) {
            const double s = stations[k];
            r.cf[k] = interpolate(p, layers.cf, s);
            r.dstar[k] = scale * interpolate(p, dstar, s);
            r.theta[k] = scale * interpolate(p, theta, s);
        }
        r.cd = r.cd_wave + layers.cd;
        r.cd_friction = layers.cd_friction;
        r.transition_upper = layers.transition[0];
        r.transition_lower = layers.transition[1];
        r.separation_upper = layers.separation[0];
        r.separation_lower = layers.separation[1];
        r.layers = in_caller_units(layers.layers, raw.leading_edge, scale);
        if (converged && std::min(r.separation_upper, r.separation_lower) < 0.99)
            r.status = kSeparated;
        else if (converged && !coupling.settled)
            r.status = kLooselyCoupled;
    }
    return r;
}

} // namespace camber::smesh
