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

/// Puts the layers' friction drag, transition and separation points and stations into r, the
/// stations moved from the normalised section (chord 1, leading edge at the origin) to the
/// caller's coordinates (leading edge at origin, chord scale). The drag stays the caller's.
void report_layers(const SectionLayersResult& v, Point origin, double scale, FlowResult& r);

/// The boundary layers of both surfaces and the wake of one section, standing on the nodes of a
/// panelling and on points along a wake from the trailing edge, coupled to an outer flow. With the
/// panel method as that flow (solve), the speeds it gives (OuterSpeeds) change with the layers'
/// mass defects as its sources say; another outer flow gives its own linearised answer at each
/// update (coupledStep). Layers, outer speeds and, with the lift prescribed, the angle are solved
/// together by Newton's method (layer_newton_update).
///
/// The stations follow the stagnation point: the surfaces part at the panel where the coupled
/// speed changes sign, and when it moves past a node that node's layer changes sides.
class SectionLayers {
public:
    /// Layers coupled to the panel method pm of panelling p.
    SectionLayers(const Panelling& p, const PanelMethod& pm, std::vector<Point> wake, const LayerSettings& settings);
    /// Layers coupled to another outer flow, which answers them through coupledStep only.
    SectionLayers(const Panelling& p, std::vector<Point> wake, const LayerSettings& settings);

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


    /// Forced transition x/c per surface (1 or more: free), in place of the settings'.
    void setForcedTransition(const std::array<double, 2>& forced) { m_layers.setForced(forced); }

    /// The node after which the stagnation point lies (0-based).
    int stagnation() const { return m_stagnation; }

    /// The panel method's speeds along the wake, at its points, of node vorticity gamma in a
    /// free stream at angle alpha (radians), without the sources.
    Eigen::VectorXd wakeSpeeds(const Eigen::VectorXd& gamma, double alpha) const;

    /// The mass fluxes of massFluxes per station (rows) per unit mass defect at each station
    /// (columns), at the present edge speeds; stations as stationNode() says.
    Eigen::MatrixXd fluxMatrix(double mach) const;

    /// The stations: the surfaces' first (upper from the stagnation point to the trailing edge,
    /// then lower), each on the node stationNode()[k] with its speed stationSign()[k] times the
    /// node's; then one per wake point.
    int surfaceStations() const { return m_upper + m_lower; }
    int stations() const { return m_layers.size(); }
    const std::vector<int>& stationNode() const { return m_node; }
    const std::vector<double>& stationSign() const { return m_sign; }
    /// The mass defect of each station at the present state.
    Eigen::VectorXd stationDefects() const;

    /// What one coupled Newton update did.
    struct Step {
        bool ok = false;        ///< false: the linear system was singular or the update not finite
        bool remapped = false;  ///< the stagnation point moved past a node: the stations changed
        bool converged = false; ///< the update was below the tolerance
        double relaxation = 0;  ///< the fraction of the update taken
        Eigen::VectorXd dm;     ///< the change of each station's mass defect (before a remap)
    };
    /// Starts a series of coupled updates (their limits on transition moves).
    void beginUpdates();
    /// One Newton update of the layers whose station speeds follow the outer flow's linearised
    /// answer q = q0 + d (m - m_now), m_now the present defects (per station); it index of the
    /// update in the series; converged when no thickness, shear stress or speed changes by more
    /// than the fraction tolerance (an amplification factor by more than a thousand times it);
    /// hold: LayerCoupling::hold (0: Newton's update). Convergence is judged on Newton's update.
    Step coupledStep(const Eigen::VectorXd& q0, const Eigen::MatrixXd& d, int it, double tolerance, double hold);

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
    Eigen::MatrixXd panelAnswer() const;
    void remap();
    Eigen::VectorXd atStations(const Eigen::VectorXd& nodes, const Eigen::VectorXd& wake, bool speeds = true) const;

    const Panelling& m_p;
    std::vector<Point> m_wake;
    LayerSettings m_settings;
    Eigen::MatrixXd m_nodePerSource, m_wakePerSource; // speeds per unit source at nodes and wake points
    Eigen::MatrixXd m_wakeTangent, m_wakePerVorticity; // wake direction and speeds along it per unit node vorticity
    std::vector<double> m_wakeArc;                    // distance of each wake point from the trailing edge
    std::vector<int> m_node;     // node of each surface station
    std::vector<double> m_sign;  // station speed = sign * node speed
    int m_stagnation = 0, m_upper = 0, m_lower = 0;
    Eigen::MatrixXd m_d;         // dq / dm of the stations through the panel method (solve only)
    int m_moves = 0;                 // transition moves in the present series of updates
    std::array<int, 2> m_lastMove{0, 0}, m_reversals{0, 0}; // per surface: of its transition point
    Step advance(LayerCoupling& coupling, double& alpha, int it, double tolerance);
    LayerSystem m_layers;
    int m_iterations = 0;
};

} // namespace camber::smesh
