// SPDX-License-Identifier: MIT
#pragma once

#include "FpConstants.h"
#include "FpDual.h"
#include "Grid.h"

#include <Eigen/Dense>
#include <Eigen/SparseCore>

#include <array>
#include <memory>
#include <tuple>
#include <vector>

namespace camber::smesh::fp {

using SparseMatrix = Eigen::SparseMatrix<double>;
/// Dense matrices worked on by whole rows (many right-hand sides at once).
using RowMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

/// What the shocks leave behind them, lagged in the iterations: s / R and the rotational
/// velocity (the entropy's speed deficit along the flow) per triangle (empty: none).
struct Wake {
    std::vector<double> entropy;
    std::vector<std::array<double, 2>> rotation;
};


/// Nested-dissection order of the nodes of an ni x nj ring grid: each block is split across its
/// longer side by a separator two nodes thick (a node's equation reaches two nodes away through
/// the upwind density), the halves first and the separator last. The sparse LU of the Jacobian
/// then fills in far less than in a banded or minimum-degree order.
std::vector<int> dissectionOrder(int ni, int nj);

/// The element stencils, the elimination order and the Jacobian's sparsity of one grid: they
/// depend on its topology alone (ring and layer counts, trailing-edge shape, Kutta panels), so
/// every contour at one level shares them and a warm re-solve need not build them again.
struct Topology {
    struct Stencil {
        std::array<int, 6> node{};        // global node of each slot
        int count = 0;
        std::array<std::array<int, 3>, 4> slot{}; // slot of each node of the element and its neighbours
        std::array<std::array<int, Dual::kSlots>, 3> position{}; // Jacobian entry of row k, slot
    };
    int ni = 0, nj = 0, upperTe = 0, lowerTe = 0, kuttaPanel = 0;
    std::vector<Stencil> stencil;
    std::vector<int> row; // place of each unknown (and its equation) in the elimination order
    SparseMatrix pattern; // the Jacobian's non-zeros, in that order, all zero

    bool fits(const OGrid& g, int panel) const
    {
        return ni == g.ni && nj == g.nj && upperTe == g.upper_te && lowerTe == g.lower_te && kuttaPanel == panel;
    }
};


/// One flow case on one grid: residuals of the discrete equations and their Jacobian.
/// Unknowns: the potential at every node, then the circulation G (potential above the wake cut
/// minus below it; the lift is 2 G per unit chord and speed), then the angle of attack (radians).
class Discretisation {
public:
    /// shared: the topology of an earlier grid, used when it fits this one, else replaced by
    /// this grid's.
    Discretisation(const OGrid& g, bool viscous, std::shared_ptr<const Topology>& shared);

    int unknowns() const { return m_unknowns; }
    int circulation() const { return m_nodes; }
    int angle() const { return m_nodes + 1; }

    void setCase(double mach, bool prescribedLift, double target);
    double mach() const { return m_mach; }

    /// Residuals into r and, when jacobian is set, the Jacobian into m_jacobian.
    void assemble(const Eigen::VectorXd& x, Eigen::VectorXd& r, bool jacobian);

    /// The mass fluxes of elements() without derivatives: each element's speed, density and
    /// switching are computed once and the upwind blending reads its neighbours' from there, a
    /// quarter of the work of evaluating every neighbour again for each element.
    void residualElements(const Eigen::VectorXd& x, Eigen::VectorXd& r);

    /// Mass fluxes of the elements into the residuals of their nodes and their derivatives into
    /// the Jacobian. Each element's density and switching are differentiated once with respect
    /// to its own nodes and the circulation; an element reads its neighbours' from there,
    /// mapped onto its stencil.
    void jacobianElements(const Eigen::VectorXd& x, Eigen::VectorXd& r);

    /// A quantity differentiated with respect to an element's own three nodes (slots 0 to 2)
    /// and the circulation, with the node derivatives moved to the slots of a stencil.
    static Dual onStencil(const Dual& local, const std::array<int, 3>& slots);

    /// Mass flux out of the domain at each grid node: ring points on the wall and points on the
    /// wake cut (empty: a solid wall and no wake).
    void setWallFlux(const std::vector<double>& flux) { m_wallFlux = flux; }
    const std::vector<double>& wallFlux() const { return m_wallFlux; }

    /// The outer flow the layers see, as a matrix that gives it from the unknowns: rows 0 to ni
    /// the wall speeds at the ring points (means of the tangential speeds on the panels beside
    /// each point; the trailing-edge point of a sharp section twice, once for each side, and the
    /// trailing-edge points from their surface's panel alone), positive counter-clockwise; then
    /// the speeds along the wake cut at its first cutPoints points (means of the elements on
    /// either side along each segment, then of the two segments beside each point).
    SparseMatrix outerFlowMatrix(int cutPoints) const;

    /// The Jacobian with rows and columns in the elimination order (see toOrder).
    SparseMatrix& jacobian() { return m_jacobian; }
    /// A vector of unknowns or residuals rearranged into the order of the Jacobian, and back.
    void toOrder(const Eigen::VectorXd& v, Eigen::VectorXd& ordered) const;
    void fromOrder(const Eigen::VectorXd& ordered, Eigen::VectorXd& v) const;
    /// The row in that order of unknown k (0-based).
    int orderOf(int k) const { return m_row[static_cast<std::size_t>(k)]; }
    /// The rows in that order of all the unknowns, indexed by unknown (0-based).
    const std::vector<int>& elimination() const { return m_row; }

    /// Largest local Mach number and smallest a^2 / a_inf^2 over the elements.
    void extremes(const Eigen::VectorXd& x, double& maxMach, double& minBase) const;

    /// Square of the speed in triangle t (over the free-stream speed).
    double speed2(const Eigen::VectorXd& x, int t) const;

    /// Velocity in triangle t (over the free-stream speed).
    void velocityOf(const Eigen::VectorXd& x, int t, double& qx, double& qy) const;

    /// Pressure coefficient for a squared speed in triangle t (behind a shock the stagnation
    /// pressure is lower).
    double pressure(double q2, int t) const { return pressure(constant(q2), m_decay[static_cast<std::size_t>(t)]).v; }

    /// True when some shock has raised the entropy.
    bool shocked() const { return m_entropyFlux > 0; }

    /// The lagged flow behind the shocks: their entropy and the rotational velocity it carries.
    Wake wake() const { return {m_entropy, m_rotation}; }
    void setWake(const Wake& w);
    void clearEntropy();
    /// Starts the relaxation of the entropy updates afresh (a new flow case).
    void restartRelaxation();
    /// Wave drag coefficient of the entropy field (Oswatitsch): the entropy flux through the
    /// shocks, D = rho_inf U_inf T_inf * integral of ds over the wake, so
    /// CD = 2 / (gamma M^2) * sum over the shocks of (s / R) times the mass flux through them.
    double waveDrag() const { return m_mach > 1e-3 ? m_entropyFlux / (0.7 * m_mach * m_mach) : 0.0; }

    /// Recomputes the entropy from the potential x and returns its largest change. Along each
    /// ring grid line, in the direction of the flow on each surface (leading edge to trailing
    /// edge), a shock is where the flow turns from supersonic to subsonic; its entropy rise is
    /// the normal-shock value for the largest Mach number across the grid line (the normal
    /// component, the shock standing across the ring lines) in the supersonic run before it, and
    /// the entropy is carried along the line downstream to the wake cut.
    double updateEntropy(const Eigen::VectorXd& x);

    /// Sets the entropy (s / R per triangle) and the stagnation-pressure factors that follow from it.
    void setEntropy(const std::vector<double>& s);

    /// Carries the entropy s (per triangle, from the shocks along the rings) with the flow, whose
    /// mass flux rho q per quad is massFlux, as well: each quad takes the larger of its ring's value and the mean of its upwind
    /// neighbours' weighted by the mass flux from them. The rings follow the flow along the
    /// section, but behind the trailing edge they turn across the wake; there the ring values
    /// let the entropy fall along a streamline, which acts on the potential like a line of sinks
    /// along the wake and moved the lift of NACA 0012 at M 0.8 by a quarter.
    void carryWithFlow(const std::vector<Point>& massFlux, std::vector<double>& s) const;

    /// Recomputes the rotational part of the velocity behind the shocks from the entropy and the
    /// flow x. Where a curved shock leaves more entropy on one streamline than on the next, the
    /// total pressures differ and so, at one static pressure, do the speeds (Crocco: the flow
    /// carries the vorticity T grad(s) = -q x omega); a potential cannot carry that, and without
    /// it the upper shock of NACA 0012 at M 0.8 stood 0.09c too far aft with 45 % too much lift.
    /// At one static pressure and total enthalpy, the entropy s (over R) slows the flow by
    /// s T / (gamma M^2 q) (speeds over the free stream's, T over its temperature); the velocity is
    /// grad(phi) less that deficit along the flow, whose curl is Crocco's vorticity to first order
    /// in s.
    void updateRotation(const Eigen::VectorXd& x);

    /// Lift, drag and quarter-chord moment from the wall pressures; alpha in radians.
    void loads(const Eigen::VectorXd& x, double& cl, double& cd, double& cm) const;

    /// The free stream at angle a with the far-field vortex of circulation g everywhere:
    /// the initial iterate of a cold start.
    void freeStream(Eigen::VectorXd& x, double a, double g) const;

private:
    using Stencil = Topology::Stencil;

    std::shared_ptr<const Topology> buildTopology() const;

    void buildStencils(Topology& topology) const;

    void buildPattern(Topology& topology) const;

    /// The normals of each quad's edges that carryWithFlow takes the mass fluxes through; they
    /// depend on the grid alone.
    void buildTransportNormals();

    int position(int row, int col) const { return position(m_jacobian, m_row, row, col); }

    /// Index in the values of a matrix with the Jacobian's pattern (in the elimination order) of
    /// the derivative of equation row by unknown col.
    static int position(const SparseMatrix& m, const std::vector<int>& order, int row, int col);

    void scatter(const Dual& f, const std::array<int, Dual::kSlots>& pos);

    /// Velocity of element t (the own element when which = 0, else its neighbour which - 1 of
    /// the stencil's element) with derivatives in the stencil's slots.
    void velocity(const Eigen::VectorXd& x, int t, const Stencil& s, int which, Dual& qx, Dual& qy) const;

    void velocity(const Eigen::VectorXd& x, int t, const Stencil&, int, double& qx, double& qy) const;

    /// Isentropic state for squared speed q2: base = (a / a_inf)^2, density, local Mach^2.
    template <typename T>
    void state(const T& q2, T& base, T& rho, T& m2) const
    {
        base = q2 * (-m_heat) + (1 + m_heat);
        if (real(base) < kMinBase)
            base = make<T>(kMinBase);
        rho = power(base, 2.5);
        m2 = q2 * (m_mach * m_mach) / base;
    }

    template <typename T>
    T switching(const T& m2) const
    {
        if (real(m2) <= kCritical2)
            return make<T>(0);
        const T nu = (make<T>(1) - make<T>(kCritical2) / m2) * kUpwind;
        return real(nu) > kMaxSwitch ? make<T>(kMaxSwitch) : nu;
    }

    /// Pressure coefficient for squared speed q2 where the stagnation pressure is the free
    /// stream's times decay.
    Dual pressure(const Dual& q2, double decay) const;

    /// Far-field potential at p: free stream at angle a and the compressible vortex of
    /// circulation g (clockwise positive); the vortex angle relative to reference.
    Dual farPotential(Point p, double a, double g, double reference) const;

    /// Vortex angles of the nodes of ring j, unwrapped from the wake cut (principal angle at
    /// i = 0) so that they grow by one turn round the ring and jump on the cut only.
    std::vector<double> ringAngles(int j, double a) const;

    double angleOf(Point p, double a, double reference) const;

    void farField(const Eigen::VectorXd& x, Eigen::VectorXd& r, bool jacobian);

    Dual wallSpeed2(const Eigen::VectorXd& x, int t, std::array<int, 3>& cols) const;

    /// Unknown index and coefficient of the potential at ring point i of the wall seen from the
    /// upper side of the cut (i = ni is the trailing edge seen from below: lowered by G).
    struct WallValue {
        int node = 0;
        bool shifted = false;
    };
    WallValue wall(int i) const { return {i % m_g.ni, i >= m_g.ni}; }
    double value(const Eigen::VectorXd& x, WallValue w) const { return x(w.node) - (w.shifted ? x(circulation()) : 0.0); }

    /// The Kutta condition: the flow leaves the trailing edge with equal pressures above and
    /// below, taken with the tangential speeds along the wall panels m_kuttaPanel from the edge on
    /// each side (both towards the edge), at a sharp edge in inviscid flow extrapolated in arc
    /// length to the edge from that panel and the next, as a power of the distance from the
    /// edge (m_kuttaPower). Without shocks that is equal speeds; when a shock has lowered the
    /// stagnation pressure on one side more than on the other, that side leaves slower.
    void kutta(const Eigen::VectorXd& x, Eigen::VectorXd& r, bool jacobian);

    /// The wall triangle of the upper (0) or lower (1) Kutta panel.
    int kuttaTriangle(int side, int offset = 0) const;

    /// The two Kutta panels as (from, to, sign): speed along the upper panel towards the edge
    /// minus that along the lower one.
    std::array<std::tuple<int, int, double>, 2> kuttaPanels(int offset = 0) const;

    void liftRow(const Eigen::VectorXd& x, Eigen::VectorXd& r, bool jacobian);

    const OGrid& m_g;
    int m_nodes = 0, m_unknowns = 0, m_farStart = 0, m_kuttaPanel = kKuttaPanel;
    bool m_kuttaExtrapolated = false; // the Kutta speeds extrapolated to the edge (see kutta)
    double m_kuttaPower = 1;          // their difference grows as this power of the distance from the edge
    std::shared_ptr<const Topology> m_topology;
    const std::vector<Stencil>& m_stencil;
    const std::vector<int>& m_row;
    SparseMatrix m_jacobian;
    int m_leadingEdge = 0;
    double m_mach = 0, m_heat = 0, m_target = 0, m_entropyFlux = 0;
    std::vector<double> m_entropy, m_decay; // s / R and exp(-s / R) per triangle
    // Per quad (i, j), 2 (i + ni j): the normal of grid line i, pointing from quad i - 1 into
    // it; 2 (i + ni j) + 1: that of ring j + 1, pointing outwards (zero on the outermost quads).
    std::vector<Point> m_transportNormal;
    std::vector<std::array<double, 2>> m_rotation; // the entropy's speed deficit per triangle (empty: none)
    struct ElementState {
        double qx = 0, qy = 0, rho = 0, nu = 0; // velocity, density (with the entropy), switching
    };
    std::vector<ElementState> m_cache; // per triangle, for residualElements
    std::vector<Dual> m_rhoLocal, m_nuLocal; // per triangle, for jacobianElements
    std::vector<double> m_lastStep;         // the last unrelaxed change of the entropy
    double m_relaxation = kEntropyRelaxation;
    bool m_prescribedLift = false;
    std::vector<double> m_wallFlux;
};

} // namespace camber::smesh::fp
