// SPDX-License-Identifier: MIT
#include "PanelMethod.h"

#include <cmath>
#include <utility>

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

/// Stream function at a field point (panel frame, as for panelPsi) of a source on the panel whose
/// density falls linearly from 1 at the start to 0 at the end, and of one rising from 0 to 1.
struct SourcePsi {
    double start = 0, end = 0;
};

SourcePsi linearSourcePsi(double x, double y, double L, const NodeView& start, const NodeView& end, double beta)
{
    // As in panelPsi, with phi = atan2(y, a) - pi/2 and int a phi da = r^2 phi / 2 + y a / 2 (plus
    // a constant) for the density xi / L = (x - a) / L.
    const double a1 = x, a2 = x - L;
    const double ph1 = wrap(wrap(start.direction - beta) - kPi / 2), ph2 = wrap(wrap(end.direction - beta) - kPi / 2);
    const double F1 = a1 * ph1 + y * start.lnr, F2 = a2 * ph2 + y * end.lnr;
    const double E1 = x * F1 - 0.5 * start.r2 * ph1 - 0.5 * y * a1;
    const double E2 = x * F2 - 0.5 * end.r2 * ph2 - 0.5 * y * a2;
    SourcePsi p;
    p.end = (E1 - E2) / (2 * kPi * L);
    p.start = (F1 - F2) / (2 * kPi) - p.end;
    return p;
}

/// Velocities (u along the panel, v across it towards +y) that a panel's unit strengths induce
/// at a field point off the panel, in the panel's frame as for panelPsi.
struct PanelVelocity {
    double ustart = 0, vstart = 0, uend = 0, vend = 0; ///< linear vorticity, as in PanelPsi
    double usource = 0, vsource = 0;
};

PanelVelocity panelVelocity(double x, double y, double L, const NodeView& start, const NodeView& end, double beta)
{
    // Velocity of vortex density g: (u, v) = (1/2pi) int g (-y, x - xi) / r^2 dxi; of a source
    // (1/2pi) int (x - xi, y) / r^2 dxi. With the angles th = atan2(y, x - xi) of the field point
    // seen from the ends, int y / r^2 dxi = th2 - th1 and int (x - xi) / r^2 dxi = ln r1 - ln r2.
    const double dth = wrap(wrap(end.direction - beta) - wrap(start.direction - beta));
    const double dln = start.lnr - end.lnr;
    PanelVelocity p;
    const double uu = -dth / (2 * kPi), vu = dln / (2 * kPi);
    p.uend = -(x * dth - y * dln) / (2 * kPi * L);
    p.vend = (x * dln - L + y * dth) / (2 * kPi * L);
    p.ustart = uu - p.uend;
    p.vstart = vu - p.vend;
    p.usource = dln / (2 * kPi);
    p.vsource = dth / (2 * kPi);
    return p;
}

/// Stream functions at a field point (panel frame) of a source on a panel of length L whose
/// branch cut runs downstream along the panel's line, on the branch that suits a sheet behind
/// the body: a source of density 1 at the start falling linearly to 0 at the end, and one rising
/// from 0 to 1. With b = xi - x and Y = -y, psi = (1/2pi) int sigma(xi) atan2(Y, b) db, and
/// int atan2(Y, b) db = b atan2(Y, b) + Y ln r, int b atan2(Y, b) db = (r^2 atan2(Y, b) + Y b) / 2.
struct SheetPsi {
    double start = 0, end = 0;
};

SheetPsi sheetSourcePsi(double x, double y, double L, const NodeView& start, const NodeView& end)
{
    const double Y = -y;
    const auto angle = [&](double b) { return (b == 0 && Y == 0) ? 0.0 : std::atan2(Y, b); };
    const auto f = [&](double b, double lnr) { return b * angle(b) + Y * lnr; };
    const auto g = [&](double b) { return 0.5 * ((b * b + Y * Y) * angle(b) + Y * b); };
    const double b1 = -x, b2 = L - x;
    const double uniform = (f(b2, end.lnr) - f(b1, start.lnr)) / (2 * kPi);
    SheetPsi p;
    p.end = (g(b2) - g(b1) + x * (f(b2, end.lnr) - f(b1, start.lnr))) / (2 * kPi * L);
    p.start = uniform - p.end;
    return p;
}

/// Velocity (panel frame) at a field point of the two linear source densities of SheetPsi. On
/// the panel's line at one of its ends the logarithm of the zero distance is taken as 0 (NodeView):
/// the neighbouring panel's density at that point carries the same term with the opposite sign.
struct SheetVelocity {
    double ustart = 0, vstart = 0, uend = 0, vend = 0;
};

SheetVelocity sheetSourceVelocity(double x, double y, double L, const NodeView& start, const NodeView& end, double beta)
{
    // (u, v) = (1/2pi) int sigma (x - xi, y) / r^2 dxi; for sigma = xi / L, int xi (x - xi) / r^2 dxi
    // = x dln - L + y dth and int xi y / r^2 dxi = x dth - y dln (see panelVelocity).
    const double dth = y == 0 ? (x > 0 && x < L ? kPi : 0.0) : wrap(wrap(end.direction - beta) - wrap(start.direction - beta));
    const double dln = start.lnr - end.lnr;
    SheetVelocity v;
    v.uend = (x * dln - L + y * dth) / (2 * kPi * L);
    v.vend = (x * dth - y * dln) / (2 * kPi * L);
    v.ustart = dln / (2 * kPi) - v.uend;
    v.vstart = dth / (2 * kPi) - v.vend;
    return v;
}

using Frame = PanelMethod::Frame;

/// Spreads what a field point gets from the source on panel j of np (its density linear on each
/// half of the panel, through a at the start node, b at the midpoint and c at the end node) onto
/// the panels' source values: the midpoint carries the panel's own value, a node the mean of its
/// two panels' (at either end of the contour or a sheet its one panel's).
template <typename Add>
void spreadPanelSource(int j, int np, double a, double b, double c, Add add)
{
    add(j, b);
    if (j == 0) {
        add(j, a);
    } else {
        add(j - 1, 0.5 * a);
        add(j, 0.5 * a);
    }
    if (j == np - 1) {
        add(j, c);
    } else {
        add(j, 0.5 * c);
        add(j + 1, 0.5 * c);
    }
}

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

/// A kernel of a linearly varying source sheet applied to the two halves of panel j as seen
/// from q (the strength runs from the start node through the midpoint to the end node); seen
/// holds the nodes as seen from q.
template <typename Kernel>
auto halfPanelSources(const std::vector<Frame>& half, int j, Point q, const std::vector<NodeView>& seen, Kernel kernel)
{
    const Frame& first = half[2 * static_cast<std::size_t>(j)];
    const Frame& second = half[2 * static_cast<std::size_t>(j) + 1];
    const NodeView mid = view(second.origin, q);
    double x = 0, y = 0;
    first.local(q, x, y);
    const auto h1 = kernel(x, y, first.length, seen[static_cast<std::size_t>(j)], mid, first.direction);
    second.local(q, x, y);
    const auto h2 = kernel(x, y, second.length, mid, seen[static_cast<std::size_t>(j + 1)], second.direction);
    return std::make_pair(h1, h2);
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
    m_node = node;
    m_panel = panel;
    m_half.resize(2 * static_cast<std::size_t>(np));
    for (int j = 0; j < np; ++j) {
        const Point a = node[static_cast<std::size_t>(j)], b = node[static_cast<std::size_t>(j + 1)];
        const Point mid{0.5 * (a.x + b.x), 0.5 * (a.y + b.y)};
        m_half[2 * static_cast<std::size_t>(j)] = frame(a, mid);
        m_half[2 * static_cast<std::size_t>(j) + 1] = frame(mid, b);
    }
    m_blunt = blunt;
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
    m_base = base;
    m_baseVortex = kVortex;
    m_baseSource = kSource;

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
            const auto [h1, h2] = halfPanelSources(m_half, j, q, seen, linearSourcePsi);
            spreadPanelSource(j, np, h1.start, h1.end + h2.start, h2.end, [&](int k, double w) { m_source(i, k) += w; });
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

Eigen::MatrixXd PanelMethod::gammaOfPanelSources() const
{
    const int n = static_cast<int>(m_gamma0.size());
    if (!m_ok)
        return Eigen::MatrixXd::Zero(n, m_source.cols());
    return -m_lu.solve(m_source).topRows(n);
}

Eigen::MatrixXd PanelMethod::gammaOfSheetSources(const std::vector<Point>& sheet) const
{
    const int n = static_cast<int>(m_gamma0.size());
    const int panels = static_cast<int>(sheet.size()) - 1;
    Eigen::MatrixXd psi = Eigen::MatrixXd::Zero(n + 1, panels);
    if (!m_ok)
        return Eigen::MatrixXd::Zero(n, panels);
    // The rows of the stream-function condition: every node but, at a sharp edge, the last, whose
    // row sets the trailing-edge speed.
    const int rows = m_blunt ? n : n - 1;
    for (int j = 0; j < panels; ++j) {
        const Point a = sheet[static_cast<std::size_t>(j)], b = sheet[static_cast<std::size_t>(j + 1)];
        const Point mid{0.5 * (a.x + b.x), 0.5 * (a.y + b.y)};
        const Frame first = frame(a, mid), second = frame(mid, b);
        for (int i = 0; i < rows; ++i) {
            const Point q = m_node[static_cast<std::size_t>(i)];
            double x = 0, y = 0;
            first.local(q, x, y);
            const NodeView vm = view(mid, q);
            const SheetPsi h1 = sheetSourcePsi(x, y, first.length, view(a, q), vm);
            second.local(q, x, y);
            const SheetPsi h2 = sheetSourcePsi(x, y, second.length, vm, view(b, q));
            spreadPanelSource(j, panels, h1.start, h1.end + h2.start, h2.end, [&](int k, double w) { psi(i, k) += w; });
        }
    }
    return -m_lu.solve(psi).topRows(n);
}

void PanelMethod::velocityInfluence(Point q, Eigen::MatrixXd& perVorticity, Eigen::MatrixXd& perSource) const
{
    const int n = static_cast<int>(m_node.size());
    const int np = static_cast<int>(m_panel.size());
    perVorticity.setZero(2, n);
    perSource.setZero(2, np);
    if (!m_ok)
        return;
    std::vector<NodeView> seen(static_cast<std::size_t>(n));
    for (int j = 0; j < n; ++j)
        seen[static_cast<std::size_t>(j)] = view(m_node[static_cast<std::size_t>(j)], q);
    for (int j = 0; j < np; ++j) {
        const Frame& f = m_panel[static_cast<std::size_t>(j)];
        double x = 0, y = 0;
        f.local(q, x, y);
        const PanelVelocity v = panelVelocity(x, y, f.length, seen[static_cast<std::size_t>(j)],
                                              seen[static_cast<std::size_t>(j + 1)], f.direction);
        const Point start = f.global(v.ustart, v.vstart), end = f.global(v.uend, v.vend);
        perVorticity(0, j) += start.x;
        perVorticity(1, j) += start.y;
        perVorticity(0, j + 1) += end.x;
        perVorticity(1, j + 1) += end.y;
        const Frame& first = m_half[2 * static_cast<std::size_t>(j)];
        const Frame& second = m_half[2 * static_cast<std::size_t>(j) + 1];
        const auto [h1, h2] = halfPanelSources(m_half, j, q, seen, sheetSourceVelocity);
        const Point a = first.global(h1.ustart, h1.vstart), c = second.global(h2.uend, h2.vend);
        const Point b1 = first.global(h1.uend, h1.vend), b2 = second.global(h2.ustart, h2.vstart);
        spreadPanelSource(j, np, a.x, b1.x + b2.x, c.x, [&](int k, double w) { perSource(0, k) += w; });
        spreadPanelSource(j, np, a.y, b1.y + b2.y, c.y, [&](int k, double w) { perSource(1, k) += w; });
    }
    if (m_blunt) {
        const Frame& f = m_base;
        double x = 0, y = 0;
        f.local(q, x, y);
        const PanelVelocity v = panelVelocity(x, y, f.length, seen[static_cast<std::size_t>(n - 1)], seen[0], f.direction);
        // The base carries the trailing-edge speed (gamma_N - gamma_1) / 2 (see build).
        const Point c = f.global(m_baseVortex * (v.ustart + v.uend) + m_baseSource * v.usource,
                                 m_baseVortex * (v.vstart + v.vend) + m_baseSource * v.vsource);
        perVorticity(0, n - 1) += c.x;
        perVorticity(1, n - 1) += c.y;
        perVorticity(0, 0) -= c.x;
        perVorticity(1, 0) -= c.y;
    }
}

Eigen::MatrixXd sheet_source_velocity(const std::vector<Point>& sheet, Point q)
{
    const int panels = static_cast<int>(sheet.size()) - 1;
    Eigen::MatrixXd v = Eigen::MatrixXd::Zero(2, panels);
    for (int j = 0; j < panels; ++j) {
        const Point a = sheet[static_cast<std::size_t>(j)], b = sheet[static_cast<std::size_t>(j + 1)];
        const Point mid{0.5 * (a.x + b.x), 0.5 * (a.y + b.y)};
        const Frame first = frame(a, mid), second = frame(mid, b);
        double x = 0, y = 0;
        first.local(q, x, y);
        const NodeView vm = view(mid, q);
        const SheetVelocity h1 = sheetSourceVelocity(x, y, first.length, view(a, q), vm, first.direction);
        second.local(q, x, y);
        const SheetVelocity h2 = sheetSourceVelocity(x, y, second.length, vm, view(b, q), second.direction);
        const Point s0 = first.global(h1.ustart, h1.vstart), s2 = second.global(h2.uend, h2.vend);
        const Point b1 = first.global(h1.uend, h1.vend), b2 = second.global(h2.ustart, h2.vstart);
        spreadPanelSource(j, panels, s0.x, b1.x + b2.x, s2.x, [&](int k, double w) { v(0, k) += w; });
        spreadPanelSource(j, panels, s0.y, b1.y + b2.y, s2.y, [&](int k, double w) { v(1, k) += w; });
    }
    return v;
}

} // namespace camber::smesh
