// SPDX-License-Identifier: MIT
#pragma once

#include "LayerSystem.h"

#include <Eigen/Dense>

#include <functional>

namespace camber::smesh {

/// How the outer flow answers the layers: the coupling speed of every station is
/// q = q0 + D (m - m0) + q_alpha (alpha - alpha0), linear in the mass defects m (one per station)
/// and, when the lift is prescribed, in the angle of attack.
struct LayerCoupling {
    Eigen::VectorXd q0;     ///< speeds at the mass defects m0 and angle alpha0
    Eigen::VectorXd m0;     ///< mass defects the speeds q0 already carry (empty: none)
    Eigen::MatrixXd d;      ///< dq_i / dm_j
    Eigen::VectorXd qAlpha; ///< dq / dalpha (per radian); empty when the angle is given
    double alpha0 = 0;      ///< radians
    /// With the lift prescribed: the lift coefficient of speeds q at angle alpha (radians) and its
    /// derivatives by them.
    std::function<double(const Eigen::VectorXd& q, double alpha, Eigen::VectorXd& dq, double& dalpha)> lift;
    double target = 0; ///< the lift coefficient to reach
    /// Levenberg-Marquardt shift of each station's own block A (the derivatives of its three
    /// equations by its c, theta and m): the update solves (A^T A + hold diag(A^T A)) dz = A^T r
    /// in place of A dz = r. It shortens the layers' updates while the potential's are taken
    /// whole; 0 for Newton's update.
    double hold = 0;
};

/// A Newton update of the layers and, with the lift prescribed, the angle.
struct LayerUpdate {
    std::vector<StationState> delta; ///< changes of c, theta, m and q per station
    double alpha = 0;                ///< change of the angle, radians
};

/// One Newton update of the layer system at its present, assembled state, coupled to the outer
/// flow: the layers' block-triangular Jacobian is solved station by station and the coupling,
/// dense in the mass defects, through a system of one equation per station (and the lift).
/// False when the linear system is singular. alpha: the present angle (radians).
bool layer_newton_update(const LayerSystem& layers, const LayerCoupling& coupling, double alpha, LayerUpdate& update);

/// The speeds the coupling gives for the mass defects of the layers' present state at angle
/// alpha (radians).
Eigen::VectorXd coupled_speeds(const LayerSystem& layers, const LayerCoupling& coupling, double alpha);

} // namespace camber::smesh
