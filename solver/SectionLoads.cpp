// SPDX-License-Identifier: MIT
#include "SectionLoads.h"

#include "Solver.h"

#include <cmath>

namespace camber::smesh {

namespace {

/// d karman_tsien(cp0, m) / d cp0, by a central difference: the correction is smooth and its
/// continuation past the vacuum limit flat.
double karmanTsienSlope(double cp0, double m)
{
    const double h = 1e-6 * std::max(1.0, std::fabs(cp0));
    return (karman_tsien(cp0 + h, m) - karman_tsien(cp0 - h, m)) / (2 * h);
}

} // namespace

SectionLoads::SectionLoads(const Panelling& p, double mach) : m_p(p), m_mach(mach)
{
    m_cx = (p.trailing_edge.x - p.leading_edge.x) / p.chord;
    m_cy = (p.trailing_edge.y - p.leading_edge.y) / p.chord;
    m_ref = {p.leading_edge.x + 0.25 * (p.trailing_edge.x - p.leading_edge.x),
             p.leading_edge.y + 0.25 * (p.trailing_edge.y - p.leading_edge.y)};
}

void SectionLoads::pressures(const Eigen::VectorXd& gamma, std::vector<double>& cp) const
{
    cp.resize(static_cast<std::size_t>(gamma.size()));
    for (Eigen::Index i = 0; i < gamma.size(); ++i)
        cp[static_cast<std::size_t>(i)] = karman_tsien(1 - gamma(i) * gamma(i), m_mach);
}

void SectionLoads::integrate(const std::vector<double>& cp, double alpha, double& cl, double& cm) const
{
    double fx = 0, fy = 0, mz = 0;
    const auto& node = m_p.node;
    for (std::size_t j = 0; j + 1 < node.size(); ++j) {
        const double dx = node[j + 1].x - node[j].x, dy = node[j + 1].y - node[j].y;
        const double c = 0.5 * (cp[j] + cp[j + 1]);
        // Force -cp n ds with the outward normal (dy, -dx) / ds of a counter-clockwise contour.
        const double px = -c * dy, py = c * dx;
        fx += px;
        fy += py;
        const double rx = 0.5 * (node[j].x + node[j + 1].x) - m_ref.x;
        const double ry = 0.5 * (node[j].y + node[j + 1].y) - m_ref.y;
        mz += rx * py - ry * px;
    }
    const double c = m_p.chord;
    cl = (fy * std::cos(alpha) - fx * std::sin(alpha)) / c;
    cm = -mz / (c * c); // nose up positive is clockwise
}

double SectionLoads::lift(const Eigen::VectorXd& gamma, double alpha) const
{
    pressures(gamma, m_cp);
    double cl = 0, cm = 0;
    integrate(m_cp, alpha, cl, cm);
    return cl;
}

double SectionLoads::lift(const Eigen::VectorXd& gamma, double alpha, Eigen::VectorXd& dGamma, double& dAlpha) const
{
    // CL = sum over panels of the mean node pressure times (dx cos alpha + dy sin alpha) / c.
    const auto& node = m_p.node;
    const std::size_t n = node.size();
    const double ca = std::cos(alpha), sa = std::sin(alpha), c = m_p.chord;
    std::vector<double> weight(n, 0.0);
    double cl = 0;
    dAlpha = 0;
    pressures(gamma, m_cp);
    for (std::size_t j = 0; j + 1 < n; ++j) {
        const double dx = node[j + 1].x - node[j].x, dy = node[j + 1].y - node[j].y;
        const double along = (dx * ca + dy * sa) / c, across = (-dx * sa + dy * ca) / c;
        const double mean = 0.5 * (m_cp[j] + m_cp[j + 1]);
        cl += mean * along;
        dAlpha += mean * across;
        weight[j] += 0.5 * along;
        weight[j + 1] += 0.5 * along;
    }
    dGamma.resize(static_cast<Eigen::Index>(n));
    for (std::size_t i = 0; i < n; ++i) {
        const double g = gamma(static_cast<Eigen::Index>(i));
        dGamma(static_cast<Eigen::Index>(i)) = weight[i] * karmanTsienSlope(1 - g * g, m_mach) * (-2 * g);
    }
    return cl;
}

} // namespace camber::smesh
