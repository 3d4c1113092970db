// SPDX-License-Identifier: MIT
#include "FullPotential.h"

#include "Grid.h"
#include "ViscousCoupling.h"

#include <Eigen/SparseCore>
#include <Eigen/SparseLU>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <tuple>

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
constexpr double kCouplingStart = 1e-4;
constexpr int kMaxNewton = 30;
// The chord method (an old factorisation) is kept while each update is at most this fraction of
// the one before.
constexpr int kMaxChord = 12;
constexpr double kChordContraction = 0.3;
// Wall panels between the trailing edge and the Kutta panels on each side. Nearer the edge the
// skewed cells of the trailing-edge fan bias the circulation: on the sharp NACA 0012 in
// incompressible flow the lift came out 4.6 % (first panels) and 2.4 % (second) above the panel
// method, and 0.0 % with the third panels used here.
constexpr int kKuttaPanel = 2;
// Cold starts below this Mach number go straight to the case; above, by continuation.
constexpr double kDirectMach = 0.6;
constexpr double kLowestStart = 0.2;
// A section counts as a small change of the last when no point moved more than this (chords).
constexpr double kWarmDisplacement = 0.02;
constexpr double kWarmMach = 0.02;

using SparseMatrix = Eigen::SparseMatrix<double>;
using Clock = std::chrono::steady_clock;

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
/// a^p for a > 0.
Dual power(const Dual& a, double p)
{
    Dual r;
    r.v = std::pow(a.v, p);
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

/// One flow case on one grid: residuals of the discrete equations and their Jacobian.
/// Unknowns: the potential at every node, then the circulation G (potential above the wake cut
/// minus below it; the lift is 2 G per unit chord and speed), then the angle of attack (radians).
class Discretisation {
public:
    Discretisation(const OGrid& g) : m_g(g)
    {
        m_nodes = g.ni * g.nj;
        m_unknowns = m_nodes + 2;
        m_row.assign(static_cast<std::size_t>(m_unknowns), 0);
        const std::vector<int> order = dissectionOrder(g.ni, g.nj);
        for (std::size_t k = 0; k < order.size(); ++k)
            m_row[static_cast<std::size_t>(order[k])] = static_cast<int>(k);
        m_row[static_cast<std::size_t>(m_nodes)] = m_nodes;
        m_row[static_cast<std::size_t>(m_nodes + 1)] = m_nodes + 1;
        buildStencils();
        buildPattern();
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
    }
    double mach() const { return m_mach; }

    /// Residuals into r and, when jacobian is set, the Jacobian into m_jacobian.
    void assemble(const Eigen::VectorXd& x, Eigen::VectorXd& r, bool jacobian)
    {
        r.setZero(m_unknowns);
        double* values = m_jacobian.valuePtr();
        if (jacobian)
            std::fill(values, values + m_jacobian.nonZeros(), 0.0);
        const int nt = static_cast<int>(m_g.tri.size());
        for (int t = 0; t < nt; ++t) {
            const Stencil& s = m_stencil[static_cast<std::size_t>(t)];
            const auto& tr = m_g.tri[static_cast<std::size_t>(t)];
            Dual qx, qy;
            velocity(x, t, s, 0, qx, qy);
            const Dual q2 = qx * qx + qy * qy;
            Dual base, rho, m2;
            state(q2, base, rho, m2);
            Dual nu = switching(m2);
            // Upwind density: the densities of the neighbours the flow comes from, each weighted
            // by the flux through the shared edge, so that the choice varies continuously.
            Dual inflow, rhoUp, nuUp;
            for (int k = 0; k < 3; ++k) {
                const int e = tr.neighbour[static_cast<std::size_t>(k)];
                if (e < 0)
                    continue;
                const Dual w = positive(2 * tr.area * (qx * tr.gx[static_cast<std::size_t>(k)] + qy * tr.gy[static_cast<std::size_t>(k)]));
                if (w.v <= 0)
                    continue;
                Dual ex, ey;
                velocity(x, e, s, k + 1, ex, ey);
                Dual eb, er, em;
                state(ex * ex + ey * ey, eb, er, em);
                inflow = inflow + w;
                rhoUp = rhoUp + w * er;
                nuUp = nuUp + w * switching(em);
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
            for (int k = 0; k < 3; ++k) {
                const int node = tr.nodes[static_cast<std::size_t>(k)];
                if (node >= m_farStart)
                    continue;
                const Dual f = tr.area * density * (qx * tr.gx[static_cast<std::size_t>(k)] + qy * tr.gy[static_cast<std::size_t>(k)]);
                r(node) += f.v;
                if (jacobian)
                    scatter(f, s.position[static_cast<std::size_t>(k)]);
            }
        }
        // Transpiration: the mass the boundary layers displace leaves the wall; it is the natural
        // boundary term of the wall nodes and does not depend on the potential.
        for (std::size_t i = 0; i < m_wallFlux.size(); ++i)
            r(static_cast<Eigen::Index>(i)) += m_wallFlux[i];
        farField(x, r, jacobian);
        kutta(x, r, jacobian);
        liftRow(x, r, jacobian);
    }

    /// Mass flux out of the wall at each ring point (empty: a solid wall).
    void setWallFlux(const std::vector<double>& flux) { m_wallFlux = flux; }
    const std::vector<double>& wallFlux() const { return m_wallFlux; }

    /// The wall speeds at the ring points (means of the tangential speeds on the panels beside
    /// each point; the trailing-edge point of a sharp section twice, once for each side).
    void wallFlow(const Eigen::VectorXd& x, WallFlow& w) const
    {
        const int ni = m_g.ni;
        std::vector<double> panel(static_cast<std::size_t>(ni));
        for (int i = 0; i < ni; ++i) {
            const auto& tr = m_g.tri[static_cast<std::size_t>(m_g.lowTriangle(i, 0))];
            double qx = 0, qy = 0;
            for (int k = 0; k < 3; ++k) {
                const auto kk = static_cast<std::size_t>(k);
                const double u = x(tr.nodes[kk]) - (tr.shifted[kk] ? x(circulation()) : 0.0);
                qx += u * tr.gx[kk];
                qy += u * tr.gy[kk];
            }
            const Point p0 = m_g.node[static_cast<std::size_t>(i)], p1 = m_g.node[static_cast<std::size_t>((i + 1) % ni)];
            const double len = std::hypot(p1.x - p0.x, p1.y - p0.y);
            panel[static_cast<std::size_t>(i)] = len > 0 ? (qx * (p1.x - p0.x) + qy * (p1.y - p0.y)) / len : 0.0;
        }
        // Chordwise positions along the line from the leading edge (the origin) to the trailing edge.
        const Point te = m_g.node[0];
        const double chord2 = std::max(te.x * te.x + te.y * te.y, 1e-12);
        const auto n = static_cast<std::size_t>(ni + 1);
        w.s.assign(n, 0.0);
        w.speed.assign(n, 0.0);
        w.xc.assign(n, 0.0);
        for (int i = 0; i <= ni; ++i) {
            const auto k = static_cast<std::size_t>(i);
            const Point p = m_g.node[static_cast<std::size_t>(i % ni)];
            if (i > 0) {
                const Point q = m_g.node[static_cast<std::size_t>(i - 1)];
                w.s[k] = w.s[k - 1] + std::hypot(p.x - q.x, p.y - q.y);
            }
            w.xc[k] = (p.x * te.x + p.y * te.y) / chord2;
            w.speed[k] = i == 0 ? panel[0] : (i == ni ? panel[k - 1] : 0.5 * (panel[k - 1] + panel[k]));
        }
        w.upper_te = m_g.upper_te;
        w.lower_te = m_g.lower_te;
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
        const auto& tr = m_g.tri[static_cast<std::size_t>(t)];
        double qx = 0, qy = 0;
        for (int k = 0; k < 3; ++k) {
            const auto kk = static_cast<std::size_t>(k);
            const double u = x(tr.nodes[kk]) - (tr.shifted[kk] ? x(circulation()) : 0.0);
            qx += u * tr.gx[kk];
            qy += u * tr.gy[kk];
        }
        return qx * qx + qy * qy;
    }

    /// Pressure coefficient for a squared speed.
    double pressure(double q2) const { return pressure(constant(q2)).v; }

    /// Lift, drag and quarter-chord moment from the wall pressures; alpha in radians.
    void loads(const Eigen::VectorXd& x, double& cl, double& cd, double& cm) const
    {
        double fx = 0, fy = 0, mz = 0;
        const double a = x(angle());
        for (int i = 0; i < m_g.ni; ++i) {
            const Point p0 = m_g.node[static_cast<std::size_t>(i)], p1 = m_g.node[static_cast<std::size_t>((i + 1) % m_g.ni)];
            const double cp = pressure(speed2(x, m_g.lowTriangle(i, 0)));
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
    struct Stencil {
        std::array<int, 6> node{};        // global node of each slot
        int count = 0;
        std::array<std::array<int, 3>, 4> slot{}; // slot of each node of the element and its neighbours
        std::array<std::array<int, Dual::kSlots>, 3> position{}; // Jacobian entry of row k, slot
    };

    void buildStencils()
    {
        m_farStart = m_g.ni * (m_g.nj - 1);
        m_stencil.resize(m_g.tri.size());
        for (std::size_t t = 0; t < m_g.tri.size(); ++t) {
            Stencil& s = m_stencil[t];
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

    void buildPattern()
    {
        std::vector<Eigen::Triplet<double>> entries;
        const auto add = [&](int row, int col) { entries.emplace_back(m_row[static_cast<std::size_t>(row)], m_row[static_cast<std::size_t>(col)], 0.0); };
        const int g = circulation(), a = angle();
        for (std::size_t t = 0; t < m_g.tri.size(); ++t) {
            const Stencil& s = m_stencil[t];
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
        m_jacobian.resize(m_unknowns, m_unknowns);
        m_jacobian.setFromTriplets(entries.begin(), entries.end());
        m_jacobian.makeCompressed();
        for (std::size_t t = 0; t < m_g.tri.size(); ++t) {
            Stencil& s = m_stencil[t];
            for (int k = 0; k < 3; ++k) {
                auto& pos = s.position[static_cast<std::size_t>(k)];
                pos.fill(-1);
                const int row = m_g.tri[t].nodes[static_cast<std::size_t>(k)];
                if (row >= m_farStart)
                    continue;
                for (int c = 0; c < s.count; ++c)
                    pos[static_cast<std::size_t>(c)] = position(row, s.node[static_cast<std::size_t>(c)]);
                pos[Dual::kCirculation] = position(row, g);
            }
        }
    }

    /// Index in the Jacobian's values of the derivative of equation row by unknown col.
    int position(int row, int col) const
    {
        row = m_row[static_cast<std::size_t>(row)];
        col = m_row[static_cast<std::size_t>(col)];
        const int* inner = m_jacobian.innerIndexPtr();
        const int* begin = inner + m_jacobian.outerIndexPtr()[col];
        const int* end = inner + m_jacobian.outerIndexPtr()[col + 1];
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
    }

    /// Isentropic state for squared speed q2: base = (a / a_inf)^2, density, local Mach^2.
    void state(const Dual& q2, Dual& base, Dual& rho, Dual& m2) const
    {
        base = constant(1) + m_heat * (constant(1) - q2);
        if (base.v < kMinBase)
            base = constant(kMinBase);
        rho = power(base, 2.5);
        m2 = (m_mach * m_mach) * q2 / base;
    }

    Dual switching(const Dual& m2) const
    {
        if (m2.v <= kCritical2)
            return Dual{};
        Dual nu = kUpwind * (constant(1) - constant(kCritical2) / m2);
        return nu.v > kMaxSwitch ? constant(kMaxSwitch) : nu;
    }

    Dual pressure(const Dual& q2) const
    {
        if (m_mach < 1e-3)
            return constant(1) - q2;
        Dual base = constant(1) + m_heat * (constant(1) - q2);
        if (base.v < kMinBase)
            base = constant(kMinBase);
        return (power(base, 3.5) + (-1.0)) * (1 / (0.7 * m_mach * m_mach));
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

    /// The Kutta condition: the flow leaves the trailing edge with equal speed above and below,
    /// taken as the tangential speeds along the wall panels kKuttaPanel from the edge on each side
    /// (both towards the edge; the mean pressure there is then continuous across the wake).
    void kutta(const Eigen::VectorXd& x, Eigen::VectorXd& r, bool jacobian)
    {
        const int row = circulation();
        double* values = m_jacobian.valuePtr();
        r(row) = 0;
        for (const auto& [from, to, sign] : kuttaPanels()) {
            const WallValue a = wall(from), b = wall(to);
            const Point pa = m_g.node[static_cast<std::size_t>(a.node)], pb = m_g.node[static_cast<std::size_t>(b.node)];
            const double c = sign / std::hypot(pb.x - pa.x, pb.y - pa.y);
            r(row) += c * (value(x, b) - value(x, a));
            if (jacobian) {
                values[position(row, b.node)] += c;
                values[position(row, a.node)] -= c;
                values[position(row, row)] += c * ((a.shifted ? 1.0 : 0.0) - (b.shifted ? 1.0 : 0.0));
            }
        }
    }

    /// The two Kutta panels as (from, to, sign): speed along the upper panel towards the edge
    /// minus that along the lower one.
    std::array<std::tuple<int, int, double>, 2> kuttaPanels() const
    {
        const int u = m_g.upper_te + kKuttaPanel, l = m_g.lower_te - kKuttaPanel;
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
            const Dual cp = pressure(wallSpeed2(x, m_g.lowTriangle(i, 0), cols));
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
    int m_nodes = 0, m_unknowns = 0, m_farStart = 0;
    double m_mach = 0, m_heat = 0, m_target = 0;
    bool m_prescribedLift = false;
    std::vector<Stencil> m_stencil;
    std::vector<int> m_row; // place of each unknown (and its equation) in the elimination order
    std::vector<double> m_wallFlux;
    SparseMatrix m_jacobian;
};

using LinearSolver = Eigen::SparseLU<SparseMatrix, Eigen::NaturalOrdering<int>>;

/// Newton's method from x with steps shortened to keep every element below the Mach cap and to
/// reduce the residual. True when the last update fell below tolerance; x is then the solution.
bool newton(Discretisation& d, LinearSolver& lu, Eigen::VectorXd& x, double tolerance, int maxIterations,
            Clock::time_point deadline, int& iterations)
{
    Eigen::VectorXd r, trial, trialResidual, ordered, solved, dx;
    for (int it = 0; it < maxIterations; ++it) {
        if (Clock::now() > deadline)
            return false;
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
        if (step * dx.lpNorm<Eigen::Infinity>() < tolerance)
            return true;
    }
    return false;
}

/// Newton's method with the Jacobian factorised for an earlier, nearby solution (the chord
/// method): after a drag step each update costs a residual and two triangular solves instead of
/// a factorisation. Gives up (false) as soon as the updates stop shrinking fast, leaving the rest
/// to Newton's method; true when the update fell below tolerance.
bool chord(Discretisation& d, const LinearSolver& lu, Eigen::VectorXd& x, double tolerance, Clock::time_point deadline,
           int& iterations)
{
    Eigen::VectorXd r, ordered, solved, dx;
    double previous = 0;
    for (int it = 0; it < kMaxChord; ++it) {
        if (Clock::now() > deadline)
            return false;
        d.assemble(x, r, false);
        d.toOrder(r, ordered);
        solved = lu.solve(ordered);
        d.fromOrder(solved, dx);
        const double size = dx.lpNorm<Eigen::Infinity>();
        if (!std::isfinite(size) || (it > 0 && size > kChordContraction * previous))
            return false;
        double maxMach = 0, minBase = 0;
        d.extremes(x - dx, maxMach, minBase);
        if (!(maxMach < kMachCap && minBase > kMinBase))
            return false;
        ++iterations;
        x -= dx;
        if (size < tolerance)
            return true;
        previous = size;
    }
    return false;
}

} // namespace

struct FullPotential::Memory {
    std::vector<Point> contour; // the section of the last converged solution, as given
    FlowCase flow;
    Eigen::VectorXd x;
    std::unique_ptr<LinearSolver> lu; // a factorised Jacobian near that solution, or null
    MassDefect defect;                // the boundary layers' mass defect that solution carries
    bool valid = false;
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
    Discretisation d(g);
    auto fresh = std::make_unique<LinearSolver>();
    LinearSolver& lu = *fresh;
    lu.analyzePattern(d.jacobian());
    bool factorised = false;
    Eigen::VectorXd x;
    bool converged = false;
    int iterations = 0;

    // An unusable Reynolds number gives the inviscid flow (with a warning in the status).
    const bool viscous = flow.viscous && std::isfinite(flow.reynolds) && flow.reynolds > 0;
    FlowCase layerCase = flow;
    layerCase.mach = mach;
    layerCase.reynolds = std::clamp(flow.reynolds, 1e4, 1e10);

    const Memory& last = *m_memory;
    bool warm = last.valid && last.contour.size() == given.size() && last.flow.level == flow.level &&
                last.flow.prescribed_lift == flow.prescribed_lift && std::fabs(last.flow.mach - flow.mach) <= kWarmMach &&
                last.x.size() == d.unknowns();
    for (std::size_t i = 0; warm && i < given.size(); ++i)
        warm = std::hypot(given[i].x - last.contour[i].x, given[i].y - last.contour[i].y) < kWarmDisplacement * scale;
    if (warm) {
        x = last.x;
        if (!flow.prescribed_lift)
            x(d.angle()) = target;
        d.setCase(mach, flow.prescribed_lift, target);
        if (viscous)
            d.setWallFlux(wall_flux(last.defect));
        const Eigen::VectorXd start = x;
        if (last.lu)
            converged = chord(d, *last.lu, x, viscous ? kCouplingStart : kStepTolerance, deadline, iterations);
        if (!converged) {
            x = start;
            converged = newton(d, lu, x, viscous ? kCouplingStart : kStepTolerance, kMaxNewton, deadline, iterations);
            factorised = true;
        }
        m_lastWarm = converged;
    }
    Eigen::VectorXd good;
    if (!converged) {
        factorised = true;
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
            const bool ok = newton(d, lu, trial, last ? (viscous ? kCouplingStart : kStepTolerance) : 1e-4, last ? kMaxNewton : 15, deadline, iterations);
            if (ok) {
                x = trial;
                good = x;
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
                    continue;
                }
                increment *= 0.5;
                if (increment < 0.004)
                    break;
            }
            // Below kDirectMach the flow changes little with the Mach number: larger steps.
            const double step = reached >= 0 && reached < kDirectMach ? 4 * increment : increment;
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
    if (viscous && converged) {
        // Each potential flow of the coupling starts from the last and is solved by the chord
        // method on the newest factorisation; Newton's method refactorises only when that stalls.
        const LinearSolver* current = factorised ? &lu : last.lu.get();
        const Eigen::VectorXd inviscidFlow = x;
        bool solved = true; // x is a solution with the transpiration set
        const auto resolve = [&](const std::vector<double>& flux, double tolerance, WallFlow& wall) {
            if (solved && flux == d.wallFlux()) {
                d.wallFlow(x, wall);
                solved = false;
                return true;
            }
            solved = false;
            d.setWallFlux(flux);
            const Eigen::VectorXd start = x;
            bool ok = false;
            // Where the chord method stalls (the shock moved), one Newton step refactorises at
            // the present iterate and the chord method goes on with that factorisation.
            for (int attempt = 0; attempt < kMaxNewton && !ok && Clock::now() < deadline; ++attempt) {
                if (current != nullptr && chord(d, *current, x, tolerance, deadline, iterations)) {
                    ok = true;
                    break;
                }
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
            d.wallFlow(x, wall);
            return true;
        };
        coupling = couple_viscous(layerCase, warm ? last.defect : MassDefect{}, resolve, deadline);
        if (coupling.runaway) {
            // The layers ran away (massive separation): the inviscid flow is reported instead.
            x = inviscidFlow;
            coupling.layers = ViscousLayers{};
            converged = false;
        } else if (!coupling.settled && !coupling.loose) {
            converged = false;
        }
    }
    m_memory->valid = converged;
    if (converged) {
        m_memory->contour = given;
        m_memory->flow = flow;
        m_memory->x = x;
        m_memory->defect = coupling.defect;
        if (factorised)
            m_memory->lu = std::move(fresh);
    } else {
        m_memory->lu.reset();
    }

    double cl = 0, cd = 0, cm = 0;
    d.loads(x, cl, cd, cm);
    r.cl = cl;
    r.cd = cd;
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
        panelCp[static_cast<std::size_t>(i)] = d.pressure(q2);
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
    const ViscousLayers& layers = coupling.layers;
    if (viscous && layers.defect.m.size() == static_cast<std::size_t>(ni + 1)) {
        std::vector<double> cf(n), dstar(n), theta(n);
        for (std::size_t k = 0; k < n; ++k) {
            const auto ring = static_cast<std::size_t>(g.ring_of_node[k]);
            cf[k] = layers.cf[ring];
            theta[k] = layers.theta[ring];
            dstar[k] = layers.theta[ring] * layers.h[ring];
        }
        for (std::size_t k = 0; k < stations.size(); ++k) {
            const double s = stations[k];
            r.cf[k] = interpolate(p, cf, s);
            r.dstar[k] = scale * interpolate(p, dstar, s);
            r.theta[k] = scale * interpolate(p, theta, s);
        }
        r.cd = r.cd_wave + layers.cd;
        r.cd_friction = layers.cd_friction;
        r.transition_upper = layers.transition_upper;
        r.transition_lower = layers.transition_lower;
        r.separation_upper = layers.separation_upper;
        r.separation_lower = layers.separation_lower;
        if (converged && std::min(r.separation_upper, r.separation_lower) < 0.99)
            r.status = kSeparated;
        else if (converged && !coupling.settled)
            r.status = kLooselyCoupled;
    }
    return r;
}

FlowResult solve_full_potential(const std::vector<Point>& contour, const FlowCase& flow)
{
    static FullPotential solver;
    return solver.solve(contour, flow);
}

} // namespace camber::smesh
