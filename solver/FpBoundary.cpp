// SPDX-License-Identifier: MIT
#include "FpDiscretisation.h"

#include <algorithm>
#include <cmath>

namespace camber::smesh::fp {

SparseMatrix Discretisation::outerFlowMatrix(int cutPoints) const
{
    // Each speed is a linear combination of the potential: the gradients of the elements it
    // averages, along the panel or cut segment.
    const int ni = m_g.ni;
    const int points = std::min(cutPoints, m_g.nj - 1);
    using Row = std::vector<std::pair<int, double>>;
    const auto node = [&](int i, int j) { return m_g.node[static_cast<std::size_t>(m_g.index(i, j))]; };
    const auto along = [&](int t, Point a, Point b, double weight, Row& row) {
        const auto& tr = m_g.tri[static_cast<std::size_t>(t)];
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        if (!(len > 0))
            return;
        for (std::size_t k = 0; k < 3; ++k) {
            const double c = weight * (tr.gx[k] * (b.x - a.x) + tr.gy[k] * (b.y - a.y)) / len;
            row.push_back({tr.nodes[k], c});
            if (tr.shifted[k])
                row.push_back({circulation(), -c});
        }
    };
    std::vector<Row> panel(static_cast<std::size_t>(ni));
    for (int i = 0; i < ni; ++i)
        along(m_g.lowTriangle(i, 0), node(i, 0), node((i + 1) % ni, 0), 1, panel[static_cast<std::size_t>(i)]);
    std::vector<Row> segment(static_cast<std::size_t>(std::max(points - 1, 0)));
    for (int j = 0; j + 1 < points; ++j)
        for (const int i : {0, ni - 1})
            for (const int t : {m_g.lowTriangle(i, j), m_g.lowTriangle(i, j) + 1})
                along(t, node(0, j), node(0, j + 1), 0.25, segment[static_cast<std::size_t>(j)]);
    std::vector<Eigen::Triplet<double>> entries;
    const auto add = [&](int row, const Row& from, double weight) {
        for (const auto& [col, c] : from)
            entries.emplace_back(row, col, weight * c);
    };
    // The trailing-edge points take the speed of their surface's panel alone (not of the base
    // of a blunt edge).
    for (int i = 0; i <= ni; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (i == m_g.upper_te) {
            add(i, panel[k], 1);
        } else if (i == m_g.lower_te) {
            add(i, panel[k - 1], 1);
        } else {
            add(i, panel[(k + static_cast<std::size_t>(ni) - 1) % static_cast<std::size_t>(ni)], 0.5);
            add(i, panel[k % static_cast<std::size_t>(ni)], 0.5);
        }
    }
    for (int j = 0; j < points; ++j) {
        const auto k = static_cast<std::size_t>(j);
        if (j > 0)
            add(ni + 1 + j, segment[k - 1], j + 1 == points ? 1.0 : 0.5);
        if (j + 1 < points)
            add(ni + 1 + j, segment[k], j == 0 ? 1.0 : 0.5);
    }
    SparseMatrix s(ni + 1 + points, m_unknowns);
    s.setFromTriplets(entries.begin(), entries.end());
    return s;
}

void Discretisation::loads(const Eigen::VectorXd& x, double& cl, double& cd, double& cm) const
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

void Discretisation::freeStream(Eigen::VectorXd& x, double a, double g) const
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

Dual Discretisation::farPotential(Point p, double a, double g, double reference) const
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

std::vector<double> Discretisation::ringAngles(int j, double a) const
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

double Discretisation::angleOf(Point p, double a, double reference) const
{
    const double beta = std::sqrt(std::max(1 - m_mach * m_mach, 0.01));
    const double dx = p.x - m_g.centre.x, dy = p.y - m_g.centre.y;
    const double xs = dx * std::cos(a) + dy * std::sin(a), ys = -dx * std::sin(a) + dy * std::cos(a);
    double th = std::atan2(beta * ys, xs);
    return th + 2 * kPi * std::round((reference - th) / (2 * kPi));
}

void Discretisation::farField(const Eigen::VectorXd& x, Eigen::VectorXd& r, bool jacobian)
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

Dual Discretisation::wallSpeed2(const Eigen::VectorXd& x, int t, std::array<int, 3>& cols) const
{
    const auto& tr = m_g.tri[static_cast<std::size_t>(t)];
    Stencil s;
    s.slot[0] = {0, 1, 2};
    Dual qx, qy;
    velocity(x, t, s, 0, qx, qy);
    cols = tr.nodes;
    return qx * qx + qy * qy;
}

void Discretisation::kutta(const Eigen::VectorXd& x, Eigen::VectorXd& r, bool jacobian)
{
    const int row = circulation();
    // Per side, the tangential speed along the Kutta panel and, where it is extrapolated to the
    // edge, the next panel away from it: each a difference of two wall values over the length.
    struct Term {
        WallValue from, to;
        double weight;
    };
    std::array<std::array<Term, 2>, 2> terms{};
    std::array<double, 2> speed{};
    for (int side = 0; side < 2; ++side) {
        // Arc lengths from the edge to the two panels' midpoints.
        const int edge = side == 0 ? m_g.upper_te : m_g.lower_te, step = side == 0 ? 1 : -1;
        const auto ring = [&](int i) { return m_g.node[static_cast<std::size_t>((i % m_g.ni + m_g.ni) % m_g.ni)]; };
        std::array<double, 2> middle{};
        double along = 0;
        for (int p = 0; p < m_kuttaPanel + 2; ++p) {
            const Point a = ring(edge + step * p), b = ring(edge + step * (p + 1));
            const double length = std::hypot(b.x - a.x, b.y - a.y);
            if (p >= m_kuttaPanel)
                middle[static_cast<std::size_t>(p - m_kuttaPanel)] = along + 0.5 * length;
            along += length;
        }
        const double near = std::pow(middle[0], m_kuttaPower), far = std::pow(middle[1], m_kuttaPower);
        const double e = m_kuttaExtrapolated ? near / (far - near) : 0.0;
        const std::array<double, 2> share{1 + e, -e};
        for (int offset = 0; offset < 2; ++offset) {
            const auto panel = kuttaPanels(offset)[static_cast<std::size_t>(side)];
            Term& t = terms[static_cast<std::size_t>(side)][static_cast<std::size_t>(offset)];
            t.from = wall(std::get<0>(panel));
            t.to = wall(std::get<1>(panel));
            const Point pa = m_g.node[static_cast<std::size_t>(t.from.node)], pb = m_g.node[static_cast<std::size_t>(t.to.node)];
            t.weight = share[static_cast<std::size_t>(offset)] / std::hypot(pb.x - pa.x, pb.y - pa.y);
            double& v = speed[static_cast<std::size_t>(side)];
            v += t.weight * (value(x, t.to) - value(x, t.from));
            if (!m_rotation.empty()) {
                const auto& q = m_rotation[static_cast<std::size_t>(kuttaTriangle(side, offset))];
                v += t.weight * (q[0] * (pb.x - pa.x) + q[1] * (pb.y - pa.y));
            }
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
    const std::array<double, 2> sideWeight{1.0, -slope};
    for (std::size_t side = 0; side < 2; ++side)
        for (const Term& t : terms[side]) {
            const double weight = sideWeight[side] * t.weight;
            values[position(row, t.to.node)] += weight;
            values[position(row, t.from.node)] -= weight;
            values[position(row, row)] += weight * ((t.from.shifted ? 1.0 : 0.0) - (t.to.shifted ? 1.0 : 0.0));
        }
}

int Discretisation::kuttaTriangle(int side, int offset) const
{
    const int u = m_g.upper_te + m_kuttaPanel + offset, l = m_g.lower_te - m_kuttaPanel - offset;
    return m_g.lowTriangle(side == 0 ? u : (l - 1) % m_g.ni, 0);
}

std::array<std::tuple<int, int, double>, 2> Discretisation::kuttaPanels(int offset) const
{
    const int u = m_g.upper_te + m_kuttaPanel + offset, l = m_g.lower_te - m_kuttaPanel - offset;
    return {std::make_tuple(u + 1, u, 1.0), std::make_tuple(l - 1, l, -1.0)};
}

void Discretisation::liftRow(const Eigen::VectorXd& x, Eigen::VectorXd& r, bool jacobian)
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

} // namespace camber::smesh::fp
