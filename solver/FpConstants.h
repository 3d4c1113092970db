// SPDX-License-Identifier: MIT
#pragma once

namespace camber::smesh::fp {

/// The full-potential method's numerical constants, each with the reason for its value.
inline constexpr double kMaxMach = 0.95;
inline constexpr double kFarField = 15;          // far-field radius, chords
// Artificial density: the switch nu = kUpwind (1 - kCritical^2 / M^2) starts a little below
// sonic speed so that the density is already biased where the flow turns supersonic.
inline constexpr double kUpwind = 1.5;
inline constexpr double kCritical2 = 0.92 * 0.92;
inline constexpr double kMaxSwitch = 1.0;
// Newton steps are shortened until no element exceeds this local Mach number: a full step from
// a poor iterate can otherwise drive elements towards vacuum, where the density vanishes.
inline constexpr double kMachCap = 1.9;
inline constexpr double kMinBase = 0.05;         // a^2 / a_inf^2 below which the density is frozen
inline constexpr double kStepTolerance = 1e-9;   // largest Newton update of a converged solution
// Before a viscous coupling the potential flow need not be converged further: the coupling goes
// on updating it with each new transpiration.
inline constexpr double kCouplingStart = 1e-3;
inline constexpr int kMaxNewton = 30;
// Updates (Newton, chord and coupled ones) one solution may take in all: some three times those
// of the hardest converging cases of the editors' range, so that a case that cannot converge
// still ends within a couple of seconds, the same on every machine.
inline constexpr int kMaxUpdates = 150;
// The layers' wake follows the cut for at least this many chords behind the trailing edge.
inline constexpr double kWakeLength = 1.0;
// The chord method (an old factorisation) is kept while each update, plus the change of the
// entropy behind the shocks, is at most this fraction of the one before: the lagged entropy makes
// the convergence linear.
inline constexpr int kMaxChord = 40;
inline constexpr double kChordContraction = 0.7;
// After a full Newton step its factorisation serves further updates (Shamanskii's method) while
// each is at most this fraction of the one before: a factorisation costs some twenty residuals.
inline constexpr int kMaxNewtonChord = 10;
inline constexpr double kNewtonChordContraction = 0.6;
// A Newton update by GMRES on a nearby factorisation is solved to this relative accuracy (inexact
// Newton: the chord iterations that follow finish the convergence) within this many iterations.
inline constexpr double kKrylovTolerance = 1e-3;
inline constexpr int kKrylovIterations = 30;
inline constexpr int kKrylovRestarts = 2; // GMRES updates of a warm start before it refactorises
// Wall panels between the trailing edge and the Kutta panels on each side. Nearer the edge the
// skewed cells of the trailing-edge fan bias the circulation: on the sharp NACA 0012 in
// incompressible flow the lift came out 4.6 % (first panels) and 2.4 % (second) above the panel
// method. In inviscid flow the third panels' speeds are extrapolated to the edge with the
// fourth's (Discretisation::kutta).
inline constexpr int kKuttaPanel = 2;
// A blunt trailing edge has no such fan: its base closes the wall with cells as regular as the
// rest. On NACA 2412 in incompressible flow the lift came out 1.4 % below the panel method with
// the third panels, 0.5 % with the second and 0.1 % with the first (the corners), which are used
// in inviscid flow. With boundary layers the third panels are kept: nearer the edge the
// transpiration of a layer separating just ahead of it acts on the Kutta condition directly, and
// the coupling cycled (NACA 4415, M 0.3, 12 degrees, Re 2e6, separated at 0.82c).
inline constexpr int kKuttaPanelBlunt = 0;
// Cold starts below this Mach number go straight to the case; above, by continuation.
inline constexpr double kDirectMach = 0.6;
inline constexpr double kLowestStart = 0.2;
inline constexpr double kStrongShocks = 0.7;
// A section counts as a small change of the last when no point moved more than this (chords).
inline constexpr double kWarmDisplacement = 0.02;
inline constexpr double kWarmMach = 0.02;
// A viscous case whose cold solution fails is reached from kContinuationStart of its lift or
// angle in kContinuationSteps warm-started steps, each halved when it fails, kContinuationSolves
// solutions in all. A lift or angle below kLeastContinued has no half to climb from: its path
// runs along the Mach number alone.
inline constexpr double kContinuationStart = 0.5;
inline constexpr int kContinuationSteps = 4, kContinuationSolves = 9;
inline constexpr double kLeastContinued = 1e-3;
// Where the start fails above kDirectMach it is tried this much below the Mach number, each
// step then within a warm start's reach of the last (kWarmMach).
inline constexpr double kContinuationMach = 0.075;
static_assert(kContinuationMach / kContinuationSteps < kWarmMach);
// The path from the lower Mach number, tried also where the one at the case's own failed, may
// take this many solutions: it runs close to the section's maximum lift, where the steps shrink.
inline constexpr int kMachPathSolves = 20;
// When the steps fail while the lift curve's slope has fallen below this share of its slope at
// the start, the lift asked for lies beyond the section's maximum.
inline constexpr double kFoldSlope = 0.25;
// Where the steps in lift fail at the case's Mach number, the angle is prescribed instead (the
// lift prescribed stalls where the lift curve bends over; the angle goes on to where its branch
// ends): steps of at most kMostAngleStep degrees along the lift curve's secant, halved when they
// fail down to kLeastAngleStep, kAngleSolves solutions in all, until the lift is within
// kLiftTolerance of the lift asked for. A lift that falls below the highest reached by more than
// kLiftDrop of it has passed the section's maximum.
inline constexpr double kMostAngleStep = 0.5, kLeastAngleStep = 0.02;
inline constexpr int kAngleSolves = 10;
inline constexpr double kLiftTolerance = 1e-4, kLiftDrop = 0.01;
// The entropy behind the shocks is lagged, not differentiated in the Jacobian: recomputed from
// the iterates once Newton's updates are below kCoupleBelow, and converged by the chord method
// from updates below kCoupledStart until it changes by less than the tolerance on the update,
// and never by more than kEntropyTolerance (s / R) in a finished solution.
inline constexpr double kCoupleBelow = 1e-2;
inline constexpr double kCoupledStart = 1e-3;
inline constexpr double kCoupleChord = 1e-3;
inline constexpr double kEntropyTolerance = 1e-7;
inline constexpr int kEntropyPasses = 4; // refactorisations when the chord method stalls
// Drop of the local Mach number below 1 over which the entropy rise of a shock is phased in.
inline constexpr double kEntropyRamp = 0.1;
// More entropy weakens the shock that produces it, strongly near M 0.8: the lagged entropy is
// under-relaxed (adaptively, Aitken) so that the iteration does not swing between weak and strong
// shocks.
inline constexpr double kEntropyRelaxation = 0.5;
inline constexpr double kMinRelaxation = 0.1;
// Behind the shocks the velocity has a rotational part, derived from the entropy and lagged with
// it. It is at most kRotationShare of the speed: a strong nose shock at a low Mach number (NACA
// 0012 at M 0.34, CL 1.5) costs so much total pressure that the flow behind it would all but stop
// at the trailing edge, a flow that separates in reality; there the lagged correction kept the
// iterations from converging.
inline constexpr double kRotationShare = 0.1;
// Gauss-Seidel sweeps of the entropy's transport with the flow, each in four orders of the cells.
inline constexpr int kTransportSweeps = 1;

} // namespace camber::smesh::fp
