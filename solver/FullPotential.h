// SPDX-License-Identifier: MIT
#pragma once

#include "Contour.h"
#include "Solver.h"

#include <memory>
#include <vector>

namespace camber::smesh {

/// Conservative full-potential solver for transonic flow about one section.
///
/// The full-potential equation div(rho grad phi) = 0 is discretised by linear finite elements on
/// a body-fitted O-grid; the circulation is the jump of the potential across the wake cut and is
/// set by equal pressures on wall panels above and below the trailing edge (the Kutta
/// condition); the far field is the free stream plus the compressible (Prandtl-Glauert
/// stretched) vortex. Shocks are captured by upwind-biased artificial density: where the flow is
/// supersonic each element's density is blended with the flux-weighted density of the elements
/// upstream. Behind each captured shock the density and pressure carry the shock's entropy rise
/// (Rankine-Hugoniot), which also gives the wave drag. The whole system, including the angle of attack when the
/// lift is prescribed, is solved by Newton's method with an exact Jacobian; a cold start climbs
/// to the Mach number by continuation.
///
/// With the viscous option the boundary layers of both surfaces and the wake (SectionLayers) run
/// on the speeds along the wall and the wake cut and act back by transpiration: the growth of
/// their mass defect leaves the wall and the cut as a mass flux. Potential, layers and their
/// coupling are solved together by Newton's method (solve_coupled).
///
/// The solver keeps its last converged solution, the layers' displacement included, and starts
/// from it (warm start) when the next section is a small change of the last one at the same or
/// a near flow case.
class FullPotential {
public:
    FullPotential();
    ~FullPotential();
    FullPotential(const FullPotential&) = delete;
    FullPotential& operator=(const FullPotential&) = delete;

    /// Solves one flow case about the contour (upper trailing edge round the leading edge to
    /// the lower trailing edge). The drag is the wave drag (cd_wave, from the entropy behind the
    /// shocks, exactly 0 without them) plus, viscous, the layers' Squire-Young drag. Never throws
    /// for bad input; every number is finite.
    FlowResult solve(const std::vector<Point>& contour, const FlowCase& flow);

    /// Forgets the last solution, so that the next solve starts cold.
    void reset();

    /// True when the last solve started from the previous solution.
    bool lastWarm() const { return m_lastWarm; }

    /// Number of updates (residual evaluations with a linear solve) after which a solve gives
    /// up with status -2; 150 unless set. A count rather than a time, so that a
    /// result never depends on the machine or its load.
    void setUpdateBudget(int updates) { m_updates = updates; }

private:
    /// One solution. As a step of a continuation (step true) it only starts warm, also from a
    /// solution of the other prescription (lift or angle), and a failure leaves the kept
    /// solution as it was.
    FlowResult solveOnce(const std::vector<Point>& contour, const FlowCase& flow, bool step);
    /// Reaches a viscous case whose cold solution failed (failed) from half its lift or angle,
    /// and above M 0.6 also from a lower Mach number; failed again (or the state of highest
    /// lift with status kBeyondMaximumLift) when neither works.
    FlowResult continuation(const std::vector<Point>& contour, const FlowCase& flow, const FlowResult& failed);
    /// Where a straight path of warm-started steps ended: its last solution, whether that is the
    /// case's own, and the lift curve's secants (per degree) at its first step that raised the
    /// lift with the angle (else its last) and at its last step.
    struct PathEnd {
        FlowResult last;
        bool reached = false;
        double firstSlope = 0, lastSlope = 0;
    };
    /// Steps from the solution from of flow case start straight to flow, in the lift or angle
    /// and the Mach number together, at most solves solutions in all (from counted).
    PathEnd straightPath(const std::vector<Point>& contour, const FlowCase& flow, const FlowCase& start,
                         const FlowResult& from, int solves);
    /// The path from half the lift or angle (start, solved as from) at the case's Mach number,
    /// followed where it fails by steps in the angle (anglePath); the case's solution, the state
    /// of highest lift with status kBeyondMaximumLift, or failed.
    FlowResult liftPath(const std::vector<Point>& contour, const FlowCase& flow, const FlowCase& start,
                        const FlowResult& from, const FlowResult& failed);
    /// Reaches the lift of flow (prescribed) by steps in the angle from the solution from, the
    /// last the steps in lift reached at the case's Mach number; rising and slope: the lift
    /// curve's slopes (per degree) at the first of those steps that raised the lift and at from.
    /// Returns the solution at that lift, or the state of highest lift with status
    /// kBeyondMaximumLift, or failed.
    FlowResult anglePath(const std::vector<Point>& contour, const FlowCase& flow, const FlowResult& from, double rising,
                         double slope, const FlowResult& failed);

    struct Memory;
    std::unique_ptr<Memory> m_memory;
    bool m_lastWarm = false;
    int m_updates;
};

/// Grid size of the full-potential method for a resolution level: nodes round the section
/// (ring) and layers out to the far field.
struct GridSize {
    int ring = 0;
    int layers = 0;
};
GridSize full_potential_grid(int level);

} // namespace camber::smesh
