// SPDX-License-Identifier: MIT
#pragma once

#include "Contour.h"

#include <Eigen/Dense>

#include <vector>

namespace camber::smesh {

/// Linear-vorticity panel method in the stream-function form: the vorticity varies linearly
/// along each panel between node values gamma_i, the contour is a streamline (psi = psi0 at every
/// node) and the Kutta condition gamma_1 + gamma_N = 0 closes the system. Nodes run
/// counter-clockwise, so gamma_i is the surface speed in the direction of increasing node index.
/// A blunt trailing edge is closed by a panel carrying a uniform source and vortex tied to the
/// trailing-edge speed, so the flow leaves both edges as from the base of a semi-infinite body.
/// Wall transpiration (the displacement effect of the boundary layer) enters as a uniform
/// source strength per panel. The free stream has unit speed.
class PanelMethod {
public:
    /// An empty method whose storage build() reuses from one panelling to the next.
    PanelMethod() = default;
    /// Builds and factorises the influence matrix of the nodes of p, replacing the last one.
    void build(const Panelling& p);

    /// Surface speed gamma at the nodes for unit free stream at angle alpha (radians) without
    /// transpiration: cos(alpha) gamma0() + sin(alpha) gamma90().
    const Eigen::VectorXd& gamma0() const { return m_gamma0; }
    const Eigen::VectorXd& gamma90() const { return m_gamma90; }
    /// Surface speed induced by transpiration sigma (one value per panel, positive outwards).
    Eigen::VectorXd gammaOfSources(const Eigen::VectorXd& sigma) const;
    /// False when the influence matrix is singular (a degenerate panelling).
    bool ok() const { return m_ok; }

private:
    Eigen::MatrixXd m_matrix;        // psi at the collocation points per unit node vorticity, and psi0
    Eigen::MatrixXd m_source;        // psi at the collocation points per unit panel source
    Eigen::PartialPivLU<Eigen::MatrixXd> m_lu;
    Eigen::VectorXd m_gamma0, m_gamma90;
    bool m_ok = true;
};

} // namespace camber::smesh
