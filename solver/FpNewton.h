// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

#include "FpDiscretisation.h"

#include <Eigen/SparseLU>

namespace camber::smesh::fp {

using LinearSolver = Eigen::SparseLU<SparseMatrix, Eigen::NaturalOrdering<int>>;
/// The work one solution may take: a number of updates (each a residual and a triangular solve
/// at least; counted in the iterations the solvers report). A count, never a time, so that the
/// same case gives the same answer on any machine under any load.
struct Budget {
    int updates = 0;
    bool spent(int iterations) const { return iterations >= updates; }
};

/// Solves lu X = B for many right-hand sides at once. B (unknowns x values.cols(), in the
/// factorisation's order) is zero but in rows rows[k], to which values.row(k) is added (0-based;
/// a row may repeat). The substitutions of lu.solve(B), but done on whole rows of X, contiguous
/// in memory, so that each update serves every right-hand side, and skipping the rows that a
/// right-hand side at a few rows (the wall's) leaves zero in the forward substitution: with a
/// column per boundary-layer station this is the costliest solve of a viscous solution.
/// Returns X with its rows gathered by order: row k of the result is row order[k] of X in the
/// factorisation's order (0-based; order has a row for each unknown).
RowMatrix solveMany(const LinearSolver& lu, const std::vector<Eigen::Index>& rows, const Eigen::MatrixXd& values,
                    const std::vector<int>& order);

/// Newton's method from x with steps shortened to keep every element below the Mach cap and to
/// reduce the residual, each full step followed by chord updates on its factorisation while they
/// contract fast. True when the last update fell below tolerance; x is then the solution.
bool newton(Discretisation& d, LinearSolver& lu, Eigen::VectorXd& x, double tolerance, int maxIterations,
            const Budget& budget, int& iterations, bool entropy = false);

/// One Newton update whose linear system is solved by GMRES preconditioned by the factorisation
/// of a nearby Jacobian: where the chord method stalls because the shock or the transpiration
/// moved, this costs one Jacobian and a few triangular solves instead of a factorisation. The
/// step is shortened, as in newton(), until every element stays below the Mach cap. False when
/// GMRES does not converge or no admissible step exists; x is then unchanged.
bool krylovStep(Discretisation& d, const LinearSolver& nearby, Eigen::VectorXd& x, int& iterations);

/// Newton's method with the Jacobian factorised for an earlier, nearby solution (the chord
/// method), the entropy behind the shocks recomputed from every iterate: after a drag step, or
/// while the entropy settles, each update costs a residual and two triangular solves instead of a
/// factorisation. Gives up (false) as soon as the updates stop shrinking fast, leaving the rest to
/// Newton's method; true when both the update and the entropy's change fell below tolerance.
bool chordWithEntropy(Discretisation& d, const LinearSolver& lu, Eigen::VectorXd& x, double tolerance,
                      const Budget& budget, int& iterations);

/// Brings the lagged entropy behind the shocks into agreement with the converged potential x by
/// the chord method on the factorisation chordLu, refactorising (Newton's method on lu, which
/// chordLu then points at) when that stops converging. True when x is the solution.
bool settleEntropy(Discretisation& d, LinearSolver& lu, const LinearSolver*& chordLu, Eigen::VectorXd& x, double tolerance,
                   const Budget& budget, int& iterations);

} // namespace camber::smesh::fp
