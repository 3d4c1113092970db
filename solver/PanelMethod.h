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
/// Wall transpiration (the displacement effect of the boundary layer) enters as a source value
/// per panel. The free stream has unit speed.
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
    /// False when the influence matrix is singular (a degenerate panelling).
    bool ok() const { return m_ok; }

    /// Surface speeds per unit source value of each panel (positive outwards; panel j runs from
    /// node j to node j + 1): one column per panel. The source density is continuous and linear
    /// along each half panel, the panel's value at its midpoint and the mean of the two panels'
    /// at a node (at the contour's ends its one panel's), so that no speed is singular.
    Eigen::MatrixXd gammaOfPanelSources() const;
    /// Surface speeds per unit source value of each panel of a sheet outside the body through the
    /// points (a wake), spread along the panels as on the contour (gammaOfPanelSources): one
    /// column per panel.
    Eigen::MatrixXd gammaOfSheetSources(const std::vector<Point>& sheet) const;
    /// Velocity at a field point off the contour per unit node vorticity (one column per node) and
    /// per unit source value of each panel (see gammaOfPanelSources; one column per panel): rows x
    /// and y.
    void velocityInfluence(Point q, Eigen::MatrixXd& perVorticity, Eigen::MatrixXd& perSource) const;

    /// A straight panel: its start, unit direction, length and direction angle (radians); its
    /// frame has x along the panel and y to the left of it (the body's interior for the contour).
    struct Frame {
        Point origin;
        double tx = 1, ty = 0, length = 0, direction = 0;
        void local(Point q, double& x, double& y) const
        {
            const double dx = q.x - origin.x, dy = q.y - origin.y;
            x = dx * tx + dy * ty;
            y = -dx * ty + dy * tx;
        }
        Point global(double u, double v) const { return {u * tx - v * ty, u * ty + v * tx}; }
    };

private:
    Eigen::MatrixXd m_matrix;        // psi at the collocation points per unit node vorticity, and psi0
    Eigen::MatrixXd m_source;        // psi at the collocation points per unit panel source
    Eigen::PartialPivLU<Eigen::MatrixXd> m_lu;
    Eigen::VectorXd m_gamma0, m_gamma90;
    std::vector<Point> m_node;       // the nodes, a sharp trailing edge closed at its midpoint
    std::vector<Frame> m_panel;
    std::vector<Frame> m_half;       // each panel's two halves, for the sources
    Frame m_base;                    // the base of a blunt trailing edge
    double m_baseVortex = 0, m_baseSource = 0; // base strengths per unit trailing-edge speed
    bool m_blunt = false;
    bool m_ok = true;
};

/// Velocity at q (rows x and y) per unit source value of each panel of a sheet through the
/// points (see gammaOfSheetSources); q may be one of the points (the sheet's own speed there).
Eigen::MatrixXd sheet_source_velocity(const std::vector<Point>& sheet, Point q);

} // namespace camber::smesh
