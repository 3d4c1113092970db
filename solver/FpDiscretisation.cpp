// SPDX-License-Identifier: MIT
#include "FpDiscretisation.h"

#include <algorithm>
#include <cmath>

namespace camber::smesh::fp {

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

Discretisation::Discretisation(const OGrid& g, bool viscous, std::shared_ptr<const Topology>& shared)
    : m_g(g), m_nodes(g.ni * g.nj), m_unknowns(m_nodes + 2), m_farStart(g.ni * (g.nj - 1)),
      m_kuttaPanel(g.lower_te == g.ni || viscous ? kKuttaPanel : kKuttaPanelBlunt),
      m_topology(shared && shared->fits(g, m_kuttaPanel) ? shared : buildTopology()), m_stencil(m_topology->stencil),
      m_row(m_topology->row), m_jacobian(m_topology->pattern)
{
    // A sharp edge's Kutta panels stand clear of its fan of skewed cells, where the pressures of a
    // cambered section still differ; extrapolated to the edge they meet there. With layers the
    // panels' own speeds are kept: extrapolated, they lost the coupled solution of a laminar
    // bubble or a separation near the edge.
    m_kuttaExtrapolated = g.lower_te == g.ni && !viscous;
    // Near an edge of interior angle tau the difference of the speeds above and below grows from
    // zero as s^((pi + tau) / (2 pi - tau)) (the first term of the corner flow that the Kutta
    // condition leaves), like the square root of the distance at a cusp; a straight line through
    // two panels put the edge's pressures apart and took 0.5 to 1 % of the lift of a cambered
    // section with it.
    if (m_kuttaExtrapolated) {
        const Point te = g.node[static_cast<std::size_t>(g.upper_te)];
        const Point up = g.node[static_cast<std::size_t>(g.upper_te + 2)], down = g.node[static_cast<std::size_t>(g.lower_te - 2)];
        const double tau = std::fabs(std::atan2((up.x - te.x) * (down.y - te.y) - (up.y - te.y) * (down.x - te.x),
                                                (up.x - te.x) * (down.x - te.x) + (up.y - te.y) * (down.y - te.y)));
        m_kuttaPower = (kPi + tau) / (2 * kPi - tau);
    }
    shared = m_topology;
    m_entropy.assign(g.tri.size(), 0.0);
    m_decay.assign(g.tri.size(), 1.0);
    buildTransportNormals();
    for (int i = 1; i < g.ni; ++i)
        if (g.node[static_cast<std::size_t>(i)].x < g.node[static_cast<std::size_t>(m_leadingEdge)].x)
            m_leadingEdge = i;
}

void Discretisation::setCase(double mach, bool prescribedLift, double target)
{
    m_mach = std::min(mach, kMaxMach);
    m_heat = 0.2 * m_mach * m_mach;
    m_prescribedLift = prescribedLift;
    m_target = target;
    restartRelaxation();
}

void Discretisation::assemble(const Eigen::VectorXd& x, Eigen::VectorXd& r, bool jacobian)
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

void Discretisation::toOrder(const Eigen::VectorXd& v, Eigen::VectorXd& ordered) const
{
    ordered.resize(v.size());
    for (Eigen::Index k = 0; k < v.size(); ++k)
        ordered(m_row[static_cast<std::size_t>(k)]) = v(k);
}

void Discretisation::fromOrder(const Eigen::VectorXd& ordered, Eigen::VectorXd& v) const
{
    v.resize(ordered.size());
    for (Eigen::Index k = 0; k < v.size(); ++k)
        v(k) = ordered(m_row[static_cast<std::size_t>(k)]);
}

void Discretisation::restartRelaxation()
{
    m_lastStep.clear();
    m_relaxation = kEntropyRelaxation;
}

std::shared_ptr<const Topology> Discretisation::buildTopology() const
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

void Discretisation::buildStencils(Topology& topology) const
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

void Discretisation::buildPattern(Topology& topology) const
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
    for (int offset = 0; offset < 2; ++offset)
        for (const auto& [from, to, sign] : kuttaPanels(offset)) {
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

int Discretisation::position(const SparseMatrix& m, const std::vector<int>& order, int row, int col)
{
    row = order[static_cast<std::size_t>(row)];
    col = order[static_cast<std::size_t>(col)];
    const int* inner = m.innerIndexPtr();
    const int* begin = inner + m.outerIndexPtr()[col];
    const int* end = inner + m.outerIndexPtr()[col + 1];
    const int* found = std::lower_bound(begin, end, row);
    return static_cast<int>(found - inner);
}

void Discretisation::scatter(const Dual& f, const std::array<int, Dual::kSlots>& pos)
{
    double* values = m_jacobian.valuePtr();
    for (int k = 0; k < Dual::kSlots; ++k)
        if (pos[static_cast<std::size_t>(k)] >= 0 && f.d[static_cast<std::size_t>(k)] != 0)
            values[pos[static_cast<std::size_t>(k)]] += f.d[static_cast<std::size_t>(k)];
}

} // namespace camber::smesh::fp
