// SPDX-License-Identifier: MIT
#include "Contour.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace camber::smesh {

namespace {

// Share of cosine spacing in the node distribution: the end panels of a surface come out about
// thirty times shorter than the mid-chord ones, which resolves the suction peak at the leading
// edge and the Kutta condition at the trailing edge.
constexpr double kCosineShare = 0.95;

double cross(Point a, Point b, Point c) { return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x); }

// Two segments cross when each one's ends lie strictly on opposite sides of the other.
bool segmentsCross(Point a, Point b, Point c, Point d)
{
    const double d1 = cross(a, b, c), d2 = cross(a, b, d), d3 = cross(c, d, a), d4 = cross(c, d, b);
    return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

double distance(Point a, Point b) { return std::hypot(b.x - a.x, b.y - a.y); }

/// Cubic spline with zero second derivative at both ends, through (t_i, f_i).
class CubicSpline {
public:
    CubicSpline(const std::vector<double>& t, const std::vector<double>& f) : m_t(t), m_f(f), m_m(t.size(), 0.0)
    {
        const std::size_t n = t.size();
        if (n < 3)
            return;
        // Tridiagonal system for the second derivatives at the inner points (Thomas algorithm).
        std::vector<double> c(n, 0.0), r(n, 0.0);
        for (std::size_t i = 1; i + 1 < n; ++i) {
            const double h0 = t[i] - t[i - 1], h1 = t[i + 1] - t[i];
            const double a = h0 / 6, b = (h0 + h1) / 3, cc = h1 / 6;
            const double rhs = (f[i + 1] - f[i]) / h1 - (f[i] - f[i - 1]) / h0;
            const double denom = b - a * c[i - 1];
            c[i] = cc / denom;
            r[i] = (rhs - a * r[i - 1]) / denom;
        }
        for (std::size_t i = n - 2; i >= 1; --i)
            m_m[i] = r[i] - c[i] * m_m[i + 1];
    }

    double operator()(double t) const
    {
        const std::size_t n = m_t.size();
        std::size_t i = static_cast<std::size_t>(std::upper_bound(m_t.begin(), m_t.end(), t) - m_t.begin());
        i = std::clamp<std::size_t>(i, 1, n - 1);
        const double h = m_t[i] - m_t[i - 1];
        const double a = (m_t[i] - t) / h, b = (t - m_t[i - 1]) / h;
        return a * m_f[i - 1] + b * m_f[i] + ((a * a * a - a) * m_m[i - 1] + (b * b * b - b) * m_m[i]) * h * h / 6;
    }

private:
    std::vector<double> m_t, m_f, m_m;
};

double spacing(double t) { return kCosineShare * 0.5 * (1 - std::cos(kPi * t)) + (1 - kCosineShare) * t; }

// Node density along a surface for the boundary layers, as a fraction f of the surface's arc
// length from the leading edge: 1 + A exp(-f / a) + B exp(-(1 - f) / b). The layers need short
// panels over the first few per cent of the chord, where a laminar separation bubble and
// transition lie at high lift, more than at the nose itself; at the trailing edge, where the
// pressure recovers steeply, moderately short ones.
constexpr double kNoseDensity = 20, kNoseLength = 0.03, kTailDensity = 3, kTailLength = 0.02;

/// Cumulative node density up to fraction f of a surface's arc length.
double cumulativeDensity(double f)
{
    return f + kNoseDensity * kNoseLength * (1 - std::exp(-f / kNoseLength)) +
           kTailDensity * kTailLength * (std::exp(-(1 - f) / kTailLength) - std::exp(-1 / kTailLength));
}

/// Fraction of the surface's arc length at which fraction t of its nodes lie.
double layerSpacing(double t)
{
    const double target = t * cumulativeDensity(1);
    double lo = 0, hi = 1;
    for (int it = 0; it < 60; ++it) {
        const double mid = 0.5 * (lo + hi);
        (cumulativeDensity(mid) < target ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

} // namespace

ContourProblem check_contour(const std::vector<Point>& p)
{
    const std::size_t n = p.size();
    if (n < 3)
        return ContourProblem::TooFewPoints;
    if (n > 129)
        return ContourProblem::TooManyPoints;
    for (const auto& q : p)
        if (!std::isfinite(q.x) || !std::isfinite(q.y) || std::fabs(q.x) > 1e15 || std::fabs(q.y) > 1e15)
            return ContourProblem::NonFinite;
    const Point te{0.5 * (p.front().x + p.back().x), 0.5 * (p.front().y + p.back().y)};
    double chord = 0;
    for (const auto& q : p)
        chord = std::max(chord, distance(q, te));
    if (!(chord > 0) || distance(p.front(), p.back()) >= chord)
        return ContourProblem::ZeroChord;
    // Sides i = (p_i, p_i+1) for i < n - 1 and the closing side (p_n-1, p_0) across the trailing edge.
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 2; j < n; ++j) {
            if (i == 0 && j == n - 1)
                continue; // neighbours through the closing side
            if (segmentsCross(p[i], p[(i + 1) % n], p[j], p[(j + 1) % n]))
                return ContourProblem::SelfCrossing;
        }
    }
    double area = 0;
    for (std::size_t i = 0; i < n; ++i)
        area += p[i].x * p[(i + 1) % n].y - p[(i + 1) % n].x * p[i].y;
    area *= 0.5;
    // A section thinner than 0.1 % of the chord on average cannot be panelled: the two
    // surfaces would share nodes.
    if (!(area > 1e-3 * chord * chord))
        return ContourProblem::NoArea;
    return ContourProblem::Usable;
}

Panelling repanel(const std::vector<Point>& given, int n_nodes, NodeSpacing distribution)
{
    assert(given.size() >= 3 && n_nodes >= 8);
    // Repeated points would give zero spline intervals.
    double extent = 0;
    for (const auto& q : given)
        extent = std::max(extent, distance(q, given.front()));
    std::vector<Point> pts;
    for (const auto& q : given)
        if (pts.empty() || distance(pts.back(), q) > 1e-9 * extent)
            pts.push_back(q);
    std::vector<double> t(pts.size(), 0.0), xs(pts.size()), ys(pts.size());
    for (std::size_t i = 0; i < pts.size(); ++i) {
        if (i > 0)
            t[i] = t[i - 1] + distance(pts[i - 1], pts[i]);
        xs[i] = pts[i].x;
        ys[i] = pts[i].y;
    }
    const CubicSpline sx(t, xs), sy(t, ys);
    const auto at = [&](double u) { return Point{sx(u), sy(u)}; };

    Panelling p;
    p.trailing_edge = {0.5 * (pts.front().x + pts.back().x), 0.5 * (pts.front().y + pts.back().y)};
    // Leading edge: farthest point from the trailing-edge midpoint, found among the given points
    // and refined on the spline by golden-section search in the neighbouring intervals.
    std::size_t k = 0;
    for (std::size_t i = 1; i < pts.size(); ++i)
        if (distance(pts[i], p.trailing_edge) > distance(pts[k], p.trailing_edge))
            k = i;
    double lo = t[k > 0 ? k - 1 : 0], hi = t[std::min(k + 1, pts.size() - 1)];
    const double g = 0.5 * (std::sqrt(5.0) - 1);
    for (int it = 0; it < 40; ++it) {
        const double a = hi - g * (hi - lo), b = lo + g * (hi - lo);
        if (distance(at(a), p.trailing_edge) > distance(at(b), p.trailing_edge))
            hi = b;
        else
            lo = a;
    }
    const double sLe = std::clamp(0.5 * (lo + hi), t.front() + 1e-6 * t.back(), t.back() * (1 - 1e-6));
    p.leading_edge = at(sLe);
    p.chord = distance(p.leading_edge, p.trailing_edge);

    // Nodes on each surface in proportion to its arc length.
    const double total = t.back();
    int nUp = static_cast<int>(std::lround((n_nodes - 1) * sLe / total));
    nUp = std::clamp(nUp, 3, n_nodes - 4);
    const int nLo = n_nodes - 1 - nUp;
    p.s.resize(static_cast<std::size_t>(n_nodes));
    if (distribution == NodeSpacing::Layers) {
        // The leading edge in the middle of a panel: a section at zero lift has its stagnation
        // point there, away from the nodes, where the layers start on either side of it.
        const double up = nUp + 0.5, lo = n_nodes - nUp - 1.5;
        for (int i = 0; i <= nUp; ++i)
            p.s[static_cast<std::size_t>(i)] = sLe * (1 - layerSpacing((up - i) / up));
        for (int j = 1; j < n_nodes - nUp; ++j)
            p.s[static_cast<std::size_t>(nUp + j)] = sLe + (total - sLe) * layerSpacing((j - 0.5) / lo);
    } else {
        for (int i = 0; i <= nUp; ++i)
            p.s[static_cast<std::size_t>(i)] = sLe * (1 - spacing(1 - static_cast<double>(i) / nUp));
        for (int i = 1; i <= nLo; ++i)
            p.s[static_cast<std::size_t>(nUp + i)] = sLe + (total - sLe) * spacing(static_cast<double>(i) / nLo);
    }
    p.le = nUp;
    p.node.resize(p.s.size());
    for (std::size_t i = 0; i < p.s.size(); ++i)
        p.node[i] = at(p.s[i]);
    // The ends are the given trailing-edge points themselves.
    p.node.front() = pts.front();
    p.node.back() = pts.back();
    // Arc length measured along the panels, as the boundary layer sees it.
    const double leFraction = (sLe - p.s[static_cast<std::size_t>(nUp)]) /
                              (p.s[static_cast<std::size_t>(nUp + 1)] - p.s[static_cast<std::size_t>(nUp)]);
    p.s[0] = 0;
    for (std::size_t i = 1; i < p.s.size(); ++i)
        p.s[i] = p.s[i - 1] + distance(p.node[i - 1], p.node[i]);
    p.s_le = p.s[static_cast<std::size_t>(nUp)] +
             std::max(leFraction, 0.0) * (p.s[static_cast<std::size_t>(nUp + 1)] - p.s[static_cast<std::size_t>(nUp)]);
    return p;
}

std::vector<double> output_stations(const Panelling& p, int n)
{
    const double sLe = p.s_le, total = p.s.back();
    std::vector<double> s(static_cast<std::size_t>(2 * n - 1));
    for (int i = 0; i < n; ++i)
        s[static_cast<std::size_t>(i)] = sLe * (1 - spacing(1 - static_cast<double>(i) / (n - 1)));
    for (int i = 1; i < n; ++i)
        s[static_cast<std::size_t>(n - 1 + i)] = sLe + (total - sLe) * spacing(static_cast<double>(i) / (n - 1));
    return s;
}

double interpolate(const Panelling& p, const std::vector<double>& f, double s)
{
    const auto& ss = p.s;
    const std::size_t n = ss.size();
    if (s <= ss.front())
        return f.front();
    if (s >= ss.back())
        return f.back();
    // Cubic through the two nodes either side (fewer at the ends): the pressure changes fast
    // round the leading edge, where a straight line between nodes would cut its peak.
    const std::size_t i = static_cast<std::size_t>(std::upper_bound(ss.begin(), ss.end(), s) - ss.begin());
    const std::size_t lo = i >= 2 ? i - 2 : 0, hi = std::min(i + 1, n - 1);
    double sum = 0;
    for (std::size_t a = lo; a <= hi; ++a) {
        double w = 1;
        for (std::size_t b = lo; b <= hi; ++b)
            if (b != a)
                w *= (s - ss[b]) / (ss[a] - ss[b]);
        sum += w * f[a];
    }
    return sum;
}

} // namespace camber::smesh
