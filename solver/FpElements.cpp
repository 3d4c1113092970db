// SPDX-License-Identifier: MIT
#include "FpDiscretisation.h"

#include <algorithm>
#include <cmath>

namespace camber::smesh::fp {

void Discretisation::residualElements(const Eigen::VectorXd& x, Eigen::VectorXd& r)
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

void Discretisation::jacobianElements(const Eigen::VectorXd& x, Eigen::VectorXd& r)
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

Dual Discretisation::onStencil(const Dual& local, const std::array<int, 3>& slots)
{
    Dual d;
    d.v = local.v;
    for (std::size_t k = 0; k < 3; ++k)
        d.d[static_cast<std::size_t>(slots[k])] += local.d[k];
    d.d[Dual::kCirculation] += local.d[Dual::kCirculation];
    return d;
}

void Discretisation::extremes(const Eigen::VectorXd& x, double& maxMach, double& minBase) const
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

double Discretisation::speed2(const Eigen::VectorXd& x, int t) const
{
    double qx = 0, qy = 0;
    velocityOf(x, t, qx, qy);
    return qx * qx + qy * qy;
}

void Discretisation::velocityOf(const Eigen::VectorXd& x, int t, double& qx, double& qy) const
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

void Discretisation::velocity(const Eigen::VectorXd& x, int t, const Stencil& s, int which, Dual& qx, Dual& qy) const
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

void Discretisation::velocity(const Eigen::VectorXd& x, int t, const Stencil&, int, double& qx, double& qy) const
{
    velocityOf(x, t, qx, qy);
}

Dual Discretisation::pressure(const Dual& q2, double decay) const
{
    if (m_mach < 1e-3)
        return constant(1) - q2;
    Dual base = constant(1) + m_heat * (constant(1) - q2);
    if (base.v < kMinBase)
        base = constant(kMinBase);
    return (power(base, 3.5) * decay + (-1.0)) * (1 / (0.7 * m_mach * m_mach));
}

} // namespace camber::smesh::fp
