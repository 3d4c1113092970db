// SPDX-License-Identifier: MIT
#include "PanelMethod.h"

#include <cmath>

namespace camber::smesh {

namespace {


/// Stream function at a field point of a straight panel of length L with unit strength, in the
/// panel's frame: the point is (x, y), the panel runs from (0, 0) to (L, 0) and +y is the side
/// of the body's interior.
struct PanelPsi {
    double vortexStart = 0; ///< linear vorticity, 1 at the start node and 0 at the end
    double vortexEnd = 0;   ///< linear vorticity, 0 at the start node and 1 at the end
    double vortexUniform = 0;
    double source = 0;      ///< uniform source
};

/// What the panels need of one field point seen from one node: log distance, squared distance
/// and direction (radians, global frame). Adjacent panels share their common node's values.
struct NodeView {
    double lnr = 0;
    double r2 = 0;
    double direction = 0;
};

NodeView view(Point from, Point to)
{
    NodeView v;
    const double dx = to.x - from.x, dy = to.y - from.y;
    v.r2 = dx * dx + dy * dy;
    v.lnr = v.r2 > 1e-300 ? 0.5 * std::log(v.r2) : 0.0;
    v.direction = std::atan2(dy, dx);
    return v;
}

double wrap(double angle)
{
    if (angle > kPi)
        return angle - 2 * kPi;
    if (angle <= -kPi)
        return angle + 2 * kPi;
    return angle;
}

/// x, y: the field point in the panel's frame; start, end: the field point seen from the
/// panel's nodes; beta: the panel's direction.
PanelPsi panelPsi(double x, double y, double L, const NodeView& start, const NodeView& end, double beta)
{
    // Vortex of density g(xi) at xi on the panel: psi = -(1/2pi) int g ln r dxi, with
    // antiderivatives in a = x - xi: int ln r da = a ln r - a - y atan2(y, a) and
    // int a ln r da = r^2 ln r / 2 - r^2 / 4.
    // Source of density 1: psi = (1/2pi) int phi dxi with the angle phi = atan2(-a, y) =
    // atan2(y, a) - pi/2, whose branch cut leaves each source point outwards, away from every
    // other node of the body, and int phi da = a phi + y ln r.
    const double a1 = x, a2 = x - L;
    const double ln1 = start.lnr, ln2 = end.lnr, r1 = start.r2, r2 = end.r2;
    const double th1 = wrap(start.direction - beta), th2 = wrap(end.direction - beta);
    const double F1 = a1 * ln1 - a1 - y * th1, F2 = a2 * ln2 - a2 - y * th2;
    const double I0 = F1 - F2;
    const double H1 = 0.5 * r1 * ln1 - 0.25 * r1, H2 = 0.5 * r2 * ln2 - 0.25 * r2;
    const double I1 = x * I0 - (H1 - H2);
    const double ph1 = wrap(th1 - kPi / 2), ph2 = wrap(th2 - kPi / 2);
    const double S = (a1 * ph1 + y * ln1) - (a2 * ph2 + y * ln2);
    PanelPsi p;
    p.vortexStart = -(I0 - I1 / L) / (2 * kPi);
    p.vortexEnd = -(I1 / L) / (2 * kPi);
    p.vortexUniform = -I0 / (2 * kPi);
    p.source = S / (2 * kPi);
    return p;
}

struct Frame {
    Point origin;
    double tx = 1, ty = 0, length = 0, direction = 0;
    void local(Point q, double& x, double& y) const
    {
        const double dx = q.x - origin.x, dy = q.y - origin.y;
        x = dx * tx + dy * ty;
        y = -dx * ty + dy * tx;
    }
};

Frame frame(Point a, Point b)
{
    Frame f;
    f.origin = a;
    f.length = std::hypot(b.x - a.x, b.y - a.y);
    f.tx = (b.x - a.x) / f.length;
    f.ty = (b.y - a.y) / f.length;
    f.direction = std::atan2(f.ty, f.tx);
    return f;
}

} // namespace

void PanelMethod::build(const Panelling& p)
{
    m_ok = true;
    std::vector<Point> node = p.node;
    const int n = static_cast<int>(node.size());
    const int np = n - 1;
    // A trailing-edge gap much shorter than the end panels is closed at its midpoint: a base
    // panel that short would make the two edge equations alike, and an open gap without one
    // would let the flow through.
    const double gap = std::hypot(node.front().x - node.back().x, node.front().y - node.back().y);
    const double endPanels = std::min(std::hypot(node[1].x - node[0].x, node[1].y - node[0].y),
                                      std::hypot(node[node.size() - 2].x - node.back().x,
                                                 node[node.size() - 2].y - node.back().y));
    const bool blunt = gap > 0.2 * endPanels;
    if (!blunt) {
        const Point mid{0.5 * (node.front().x + node.back().x), 0.5 * (node.front().y + node.back().y)};
        node.front() = node.back() = mid;
    }
    std::vector<Frame> panel(static_cast<std::size_t>(np));
    double shortest = 1e300;
    for (int j = 0; j < np; ++j) {
        panel[static_cast<std::size_t>(j)] = frame(node[static_cast<std::size_t>(j)], node[static_cast<std::size_t>(j + 1)]);
        shortest = std::min(shortest, panel[static_cast<std::size_t>(j)].length);
    }
    if (!(shortest > 0)) {
        m_ok = false;
        m_gamma0 = m_gamma90 = Eigen::VectorXd::Zero(n);
        m_source.setZero(n + 1, np);
        return;
    }

    // Trailing edge: the gap from the lower to the upper edge point, and the direction in which
    // the flow leaves (the bisector of the two end panels, pointing downstream).
    const Frame& first = panel.front();
    const Frame& last = panel.back();
    double bx = last.tx - first.tx, by = last.ty - first.ty;
    const double bn = std::hypot(bx, by);
    if (bn > 0) {
        bx /= bn;
        by /= bn;
    } else {
        bx = 1;
        by = 0;
    }
    Frame base;
    double kVortex = 0, kSource = 0;
    if (blunt) {
        base = frame(node.back(), node.front());
        // The base carries the trailing-edge speed V = (gamma_N - gamma_1) / 2: as a source its
        // component across the gap, as a vortex its component along it.
        kSource = 0.5 * std::fabs(bx * base.ty - by * base.tx);
        kVortex = 0.5 * (bx * base.tx + by * base.ty);
    }

    Eigen::MatrixXd& a = m_matrix;
    a.setZero(n + 1, n + 1);
    m_source.setZero(n + 1, np);
    Eigen::VectorXd rhs0(n + 1), rhs90(n + 1);
    // At a sharp trailing edge the two end nodes coincide and give the same equation; the last
    // one is replaced below.
    const int rows = blunt ? n : n - 1;
    std::vector<NodeView> seen(static_cast<std::size_t>(n));
    for (int i = 0; i < rows; ++i) {
        const Point q = node[static_cast<std::size_t>(i)];
        for (int j = 0; j < n; ++j)
            seen[static_cast<std::size_t>(j)] = view(node[static_cast<std::size_t>(j)], q);
        for (int j = 0; j < np; ++j) {
            double x = 0, y = 0;
            const Frame& f = panel[static_cast<std::size_t>(j)];
            f.local(q, x, y);
            const PanelPsi psi = panelPsi(x, y, f.length, seen[static_cast<std::size_t>(j)],
                                          seen[static_cast<std::size_t>(j + 1)], f.direction);
            a(i, j) += psi.vortexStart;
            a(i, j + 1) += psi.vortexEnd;
            m_source(i, j) = psi.source;
        }
        if (blunt) {
            double x = 0, y = 0;
            base.local(q, x, y);
            const PanelPsi psi = panelPsi(x, y, base.length, seen[static_cast<std::size_t>(n - 1)], seen[0],
                                          base.direction);
            const double c = kVortex * psi.vortexUniform + kSource * psi.source;
            a(i, n - 1) += c;
            a(i, 0) -= c;
        }
        a(i, n) = -1; // psi0
        rhs0(i) = -q.y;
        rhs90(i) = q.x;
    }
    if (!blunt) {
        // The speed at a sharp edge, (gamma_N - gamma_1) / 2, is the mean of its linear
        // extrapolations from the last two nodes of each side.
        a(n - 1, 0) = 1;
        a(n - 1, 1) = -2;
        a(n - 1, 2) = 1;
        a(n - 1, n - 1) = -1;
        a(n - 1, n - 2) = 2;
        a(n - 1, n - 3) = -1;
        rhs0(n - 1) = rhs90(n - 1) = 0;
    }
    a(n, 0) = 1;
    a(n, n - 1) = 1;
    rhs0(n) = rhs90(n) = 0;

    m_lu.compute(a);
    const Eigen::VectorXd s0 = m_lu.solve(rhs0), s90 = m_lu.solve(rhs90);
    m_gamma0 = s0.head(n);
    m_gamma90 = s90.head(n);
    m_ok = m_gamma0.allFinite() && m_gamma90.allFinite() && m_lu.rcond() > 1e-13;
}

Eigen::VectorXd PanelMethod::gammaOfSources(const Eigen::VectorXd& sigma) const
{
    const int n = static_cast<int>(m_gamma0.size());
    if (!m_ok)
        return Eigen::VectorXd::Zero(n);
    const Eigen::VectorXd rhs = -(m_source * sigma);
    return m_lu.solve(rhs).head(n);
}

} // namespace camber::smesh
