// SPDX-License-Identifier: MIT
#pragma once

#include "LayerNewton.h"
#include "LayerSystem.h"
#include "PanelMethod.h"
#include "SectionLoads.h"
#include "Solver.h"

#include <Eigen/Dense>

#include <array>
#include <functional>
#include <vector>

namespace camber::smesh {

/// The speeds an outer flow gives along the section and its wake when the layers carry the mass
/// defects it was solved with: at the nodes of the panelling, signed as the panel method's
/// vorticity (counter-clockwise positive), and along the wake at its points; with the lift
/// prescribed also their derivatives by the angle of attack (per radian).
struct OuterSpeeds {
    Eigen::VectorXd nodes, wake;
    Eigen::VectorXd nodesAlpha, wakeAlpha; ///< empty when the angle is given
};

/// The layers' unknowns as solved, to start the next solution about a slightly changed section
/// from (the stations of the same nodes and wake points).
struct LayerSnapshot {
    std::vector<StationState> state;
    std::array<int, 2> transition{0, 0};
    int stagnation = -1;
};

/// What the layers give back, in the unit-chord frame of the panelling.
struct SectionLayersResult {
    bool converged = false;
    int iterations = 0;
    double alpha = 0;                 ///< radians (the given one unless the lift is prescribed)
    Eigen::VectorXd nodeSpeed;        ///< coupled speed at each node, signed as the outer speeds
    Eigen::VectorXd nodeDefect;       ///< mass defect q delta* at each node (0 where none)
    Eigen::VectorXd wakeDefect;       ///< mass defect at each wake point
    std::vector<double> cf;           ///< per node: skin friction over the free-stream dynamic pressure
    std::vector<double> theta, dstar; ///< per node, chords
    double cd = 0, cd_friction = 0;
    std::array<double, 2> transition{1, 1}, separation{1, 1}; ///< x/c, upper and lower
    Layers layers;
};

/// The boundary layers of both surfaces and the wake of one section, standing on the nodes of a
/// panelling and on points along a wake from the trailing edge, coupled to an outer flow: the
/// speeds the outer flow gives (OuterSpeeds) change with the layers' mass defects as the panel
/// method's do, scaled by influence_scale (1 for the panel method itself; for another outer flow
/// the panel method's answer is its interaction law). Layers, outer speeds and, with the lift
/// prescribed, the angle are solved together by Newton's method (layer_newton_update).
///
/// The stations follow the stagnation point: the surfaces part at the panel where the coupled
/// speed changes sign, and when it moves past a node that node's layer changes sides.
class SectionLayers {
public:
    SectionLayers(const Panelling& p, const PanelMethod& pm, std::vector<Point> wake, const LayerSettings& settings,
                  double influence_scale);

    /// The outer flow's speeds at angle alpha (radians) with the mass defects it was solved with.
    using OuterFunction = std::function<OuterSpeeds(double alpha)>;
    /// The lift coefficient of node speeds at an angle (radians), and its derivatives.
    using LiftFunction = std::function<double(const Eigen::VectorXd& nodeSpeed, double alpha, Eigen::VectorXd& dSpeed,
                                              double& dAlpha)>;

    /// Starts the layers afresh: stations from the signs of the node speeds, each layer marched
    /// on the speeds.
    void start(const OuterSpeeds& outer);

    /// Starts the layers from a snapshot of an earlier solution where its stagnation point
    /// stands on the same panel; else as start().
    void resume(const LayerSnapshot& snapshot, const OuterSpeeds& outer);
    LayerSnapshot snapshot() const { return {m_layers.state(), {m_layers.transition_station(0), m_layers.transition_station(1)}, m_stagnation}; }

    /// Newton iterations (at most max_iterations, from angle alpha, in/out) with the outer flow's
    /// speeds solved with mass defects imposed (per node and wake point; empty: none). With a
    /// lift function the angle is found that gives lift target. True when converged.
    bool solve(const OuterFunction& outer, const Eigen::VectorXd& imposedNodes, const Eigen::VectorXd& imposedWake,
               double& alpha, int max_iterations, const LiftFunction& lift = {}, double target = 0);

    /// Whether solve may move a transition point to another interval (within its interval it
    /// always moves with the flow).
    void setTransitionsMove(bool move) { m_transitionsMove = move; }

    /// Carries the layers over to another outer flow: the interaction law scaled by
    /// influence_scale, the speeds those of the panel method corrected by Karman-Tsien or the
    /// edge speeds themselves.
    void setOuterFlow(double influence_scale, bool karmanTsien);

    /// Forced transition x/c per surface (1 or more: free), in place of the settings'.
    void setForcedTransition(const std::array<double, 2>& forced) { m_layers.setForced(forced); }

    /// The node after which the stagnation point lies (0-based).
    int stagnation() const { return m_stagnation; }

    /// Weights of the interaction law at each node (1: the panel method's answer, 0: none, the
    /// speed there then taken as the outer flow gives it); empty: 1 everywhere.
    void setLawWeights(const Eigen::VectorXd& nodeWeight);

    /// The panel method's speeds along the wake, at its points, of node vorticity gamma in a
    /// free stream at angle alpha (radians), without the sources.
    Eigen::VectorXd wakeSpeeds(const Eigen::VectorXd& gamma, double alpha) const;

    /// Mass fluxes out of the wall at each node and out of the wake's line at each of its points
    /// that carry mass defects (q delta*, chords; per node and wake point) at free-stream Mach
    /// number mach: rho_e m grows along each panel, and its growth leaves half at either end (as
    /// the linear finite elements of an outer flow gather a wall flux). The densities are those
    /// of the present edge speeds; over rho_inf U_inf.
    void massFluxes(const Eigen::VectorXd& nodeDefect, const Eigen::VectorXd& wakeDefect, double mach,
                    Eigen::VectorXd& nodeFlux, Eigen::VectorXd& wakeFlux) const;

    /// The present state's layers, drag and loads at angle alpha (radians) and free-stream Mach
    /// number mach.
    SectionLayersResult result(double alpha, double mach) const;

    int iterations() const { return m_iterations; }

private:
    struct StationMap;
    void mapStations(const Eigen::VectorXd& nodeSpeed);
    void remap();
    Eigen::VectorXd atStations(const Eigen::VectorXd& nodes, const Eigen::VectorXd& wake, bool speeds = true) const;

    const Panelling& m_p;
    const PanelMethod& m_pm;
    std::vector<Point> m_wake;
    LayerSettings m_settings;
    double m_scale = 1;
    Eigen::MatrixXd m_nodePerSource, m_wakePerSource; // speeds per unit source at nodes and wake points
    Eigen::MatrixXd m_wakeTangent, m_wakePerVorticity; // wake direction and speeds along it per unit node vorticity
    std::vector<double> m_wakeArc;                    // distance of each wake point from the trailing edge
    std::vector<int> m_node;     // node of each surface station
    std::vector<double> m_sign;  // station speed = sign * node speed
    int m_stagnation = 0, m_upper = 0, m_lower = 0;
    Eigen::MatrixXd m_d;         // dq / dm of the stations
    Eigen::VectorXd m_lawWeight; // per node, see setLawWeights
    bool m_transitionsMove = true;
    LayerSystem m_layers;
    int m_iterations = 0;
};

} // namespace camber::smesh
