// SPDX-License-Identifier: MIT
#pragma once

#include "Contour.h"

#include <Eigen/Dense>

#include <vector>

namespace camber::smesh {

/// The contour in the chord frame and the loads of a surface-speed distribution on a panelling:
/// the pressures by the Karman-Tsien correction, lift and moment integrated from them.
class SectionLoads {
public:
    SectionLoads(const Panelling& p, double mach);

    /// Pressure coefficient at each node for node speeds gamma (incompressible).
    void pressures(const Eigen::VectorXd& gamma, std::vector<double>& cp) const;

    /// Lift and quarter-chord moment coefficients from node pressures; alpha in radians from the
    /// x axis, moment nose up positive.
    void integrate(const std::vector<double>& cp, double alpha, double& cl, double& cm) const;

    /// Lift coefficient of node speeds gamma at angle alpha (radians).
    double lift(const Eigen::VectorXd& gamma, double alpha) const;

    /// The same with its derivatives by the node speeds and the angle.
    double lift(const Eigen::VectorXd& gamma, double alpha, Eigen::VectorXd& dGamma, double& dAlpha) const;

    /// Unit vector of the chord, leading to trailing edge.
    Point chordDirection() const { return {m_cx, m_cy}; }

private:
    const Panelling& m_p;
    double m_mach;
    double m_cx = 1, m_cy = 0;
    Point m_ref;
    mutable std::vector<double> m_cp;
};

} // namespace camber::smesh
