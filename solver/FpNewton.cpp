// SPDX-License-Identifier: MIT
#include "FpNewton.h"

#include <unsupported/Eigen/IterativeSolvers>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <future>
#include <system_error>
#include <type_traits>

namespace camber::smesh::fp {

namespace {

// Right-hand sides from which solveMany substitutes two halves of them at once, on two threads.
constexpr Eigen::Index kParallelColumns = 16;

/// The substitutions of solveMany on x, which holds right-hand sides in the factorisation's row
/// order, nonzero in the rows marked in reached (a copy: the forward substitution marks the rows
/// it reaches).
void substitute(const LinearSolver& lu, std::vector<char> reached, RowMatrix& x)
{
    using Block = Eigen::Map<const Eigen::MatrixXd, 0, Eigen::OuterStride<>>;
    // SparseLU shows its supernodal factors through the members of matrixU()'s view.
    const auto factor = lu.matrixU();
    const auto& l = factor.m_mapL; // supernodes: columns of L with the diagonal blocks of U
    const auto& u = factor.m_mapU; // the rest of U, by columns
    // Supernode k: its first column, its column count and its values, column-major with the
    // diagonal block on top of the rows of L below it.
    struct Supernode {
        Eigen::Index first, columns, rows;
        const double* value;
    };
    const auto supernode = [&l](Eigen::Index k) {
        const Eigen::Index first = l.supToCol()[k], start = l.colIndexPtr()[first];
        return Supernode{first, l.supToCol()[k + 1] - first, l.colIndexPtr()[first + 1] - start, l.valuePtr() + start};
    };
    // Forward substitution with the unit lower triangle, from the supernodes that rows reach.
    RowMatrix below;
    for (Eigen::Index k = 0; k <= l.nsuper(); ++k) {
        const Supernode n = supernode(k);
        const auto first = reached.begin() + n.first;
        if (std::none_of(first, first + n.columns, [](char c) { return c != 0; }))
            continue;
        auto block = x.middleRows(n.first, n.columns);
        Block(n.value, n.columns, n.columns, Eigen::OuterStride<>(n.rows)).triangularView<Eigen::UnitLower>().solveInPlace(block);
        const Eigen::Index rest = n.rows - n.columns, rowStart = l.rowIndexPtr()[n.first] + n.columns;
        below.noalias() = Block(n.value + n.columns, rest, n.columns, Eigen::OuterStride<>(n.rows)) * block;
        for (Eigen::Index i = 0; i < rest; ++i) {
            const Eigen::Index row = l.rowIndex()[rowStart + i];
            x.row(row) -= below.row(i);
            reached[static_cast<std::size_t>(row)] = 1;
        }
    }
    // Back substitution with the upper triangle.
    for (Eigen::Index k = l.nsuper(); k >= 0; --k) {
        const Supernode n = supernode(k);
        auto block = x.middleRows(n.first, n.columns);
        Block(n.value, n.columns, n.columns, Eigen::OuterStride<>(n.rows)).triangularView<Eigen::Upper>().solveInPlace(block);
        for (Eigen::Index column = n.first; column < n.first + n.columns; ++column)
            for (std::decay_t<decltype(u)>::InnerIterator it(u, column); it; ++it)
                x.row(it.index()) -= it.value() * x.row(column);
    }
}

} // namespace

RowMatrix solveMany(const LinearSolver& lu, const std::vector<Eigen::Index>& rows, const Eigen::MatrixXd& values,
                    const std::vector<int>& order)
{
    assert(static_cast<Eigen::Index>(rows.size()) == values.rows());
    assert(static_cast<Eigen::Index>(order.size()) == lu.rows());
    const auto& permutation = lu.rowsPermutation().indices();
    const Eigen::Index n = permutation.size(), columns = values.cols();
    // The rows that hold the right-hand sides, in the factorisation's order; the others are zero.
    std::vector<Eigen::Index> at(rows.size());
    std::vector<char> reached(static_cast<std::size_t>(n), 0);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        at[k] = permutation(rows[k]);
        reached[static_cast<std::size_t>(at[k])] = 1;
    }
    // The right-hand sides of columns [from, from + count).
    const auto place = [&](Eigen::Index from, Eigen::Index count) {
        RowMatrix x = RowMatrix::Zero(n, count);
        for (std::size_t k = 0; k < rows.size(); ++k)
            x.row(at[k]) += values.row(static_cast<Eigen::Index>(k)).segment(from, count);
        return x;
    };
    // The split follows from the number of columns alone, and without a second thread the same
    // halves are substituted one after the other: the answers do not depend on the threads. It
    // falls on a multiple of eight, so that the first half is whole panels of the products' four
    // (on wider vector units eight) columns. Eigen blocks its products by their widths, so a
    // column's last bits do depend on where the split falls.
    const Eigen::Index half = columns >= kParallelColumns ? columns / 16 * 8 : columns;
    RowMatrix left = place(0, half), right = place(half, columns - half);
    std::future<void> other;
    if (right.cols() > 0) {
        try {
            other = std::async(std::launch::async, [&] { substitute(lu, reached, right); });
        } catch (const std::system_error&) {
            substitute(lu, reached, right); // no thread to be had: one after the other
        }
    }
    substitute(lu, reached, left);
    if (other.valid())
        other.get();
    // One gather undoes the factorisation's column permutation (none with the natural ordering,
    // for which Eigen drops its postorder) and applies order.
    const auto& column = lu.colsPermutation().indices();
    RowMatrix x(n, columns);
    for (Eigen::Index k = 0; k < n; ++k) {
        const Eigen::Index from = column(order[static_cast<std::size_t>(k)]);
        x.row(k).head(half) = left.row(from);
        x.row(k).tail(columns - half) = right.row(from);
    }
    return x;
}

bool newton(Discretisation& d, LinearSolver& lu, Eigen::VectorXd& x, double tolerance, int maxIterations,
            const Budget& budget, int& iterations, bool entropy)
{
    Eigen::VectorXd r, trial, trialResidual, ordered, solved, dx;
    double last = 1;
    for (int it = 0; it < maxIterations; ++it) {
        if (budget.spent(iterations))
            return false;
        // While the shocks still form the entropy would follow their transient strength; it is
        // taken along only once the updates are small.
        if (entropy && last < kCoupleBelow)
            d.updateEntropy(x);
        d.assemble(x, r, true);
        lu.factorize(d.jacobian());
        if (lu.info() != Eigen::Success)
            return false;
        d.toOrder(r, ordered);
        solved = lu.solve(ordered);
        d.fromOrder(solved, dx);
        if (!dx.allFinite())
            return false;
        ++iterations;
        const double r0 = r.norm();
        double step = 1, bestNorm = 0, bestStep = 0;
        bool accepted = false;
        for (int k = 0; k < 8 && !accepted; ++k, step *= 0.5) {
            trial = x - step * dx;
            double maxMach = 0, minBase = 0;
            d.extremes(trial, maxMach, minBase);
            if (!(maxMach < kMachCap && minBase > kMinBase))
                continue;
            d.assemble(trial, trialResidual, false);
            const double norm = trialResidual.norm();
            if (!std::isfinite(norm))
                continue;
            accepted = norm < (1 - 1e-4 * step) * r0;
            if (bestStep == 0 || norm < bestNorm) {
                bestNorm = norm;
                bestStep = step;
            }
        }
        // Without a decrease the least bad admissible step is taken: the residual of an iterate
        // far from the solution is a poor guide when the shock still moves.
        if (!accepted)
            step = bestStep;
        else
            step *= 2;
        if (step == 0)
            return false;
        x -= step * dx;
        last = step * dx.lpNorm<Eigen::Infinity>();
        // With shocks the rest is left to the entropy's settling (the chord method).
        const auto finished = [&] { return last < tolerance || (entropy && last < kCoupledStart && d.shocked()); };
        if (finished())
            return true;
        for (int c = 0; c < kMaxNewtonChord && step == 1; ++c) {
            d.assemble(x, r, false);
            d.toOrder(r, ordered);
            solved = lu.solve(ordered);
            d.fromOrder(solved, dx);
            const double size = dx.lpNorm<Eigen::Infinity>();
            if (!(size < kNewtonChordContraction * last))
                break;
            double maxMach = 0, minBase = 0;
            d.extremes(x - dx, maxMach, minBase);
            if (!(maxMach < kMachCap && minBase > kMinBase))
                break;
            x -= dx;
            ++iterations;
            last = size;
            if (finished())
                return true;
        }
    }
    return false;
}

namespace {

/// Preconditions GMRES with the factorised Jacobian of an earlier, nearby solution.
class EarlierFactorisation {
public:
    void use(const LinearSolver& lu) { m_lu = &lu; }
    template <typename Matrix>
    EarlierFactorisation& analyzePattern(const Matrix&) { return *this; }
    template <typename Matrix>
    EarlierFactorisation& factorize(const Matrix&) { return *this; }
    template <typename Matrix>
    EarlierFactorisation& compute(const Matrix&) { return *this; }
    Eigen::VectorXd solve(const Eigen::VectorXd& b) const { return m_lu->solve(b); }
    Eigen::ComputationInfo info() const { return Eigen::Success; }

private:
    const LinearSolver* m_lu = nullptr;
};

} // namespace

bool krylovStep(Discretisation& d, const LinearSolver& nearby, Eigen::VectorXd& x, int& iterations)
{
    Eigen::VectorXd r, ordered, solved, dx;
    d.assemble(x, r, true);
    d.toOrder(r, ordered);
    Eigen::GMRES<SparseMatrix, EarlierFactorisation> gmres;
    gmres.preconditioner().use(nearby);
    gmres.set_restart(kKrylovIterations);
    gmres.setMaxIterations(kKrylovIterations);
    gmres.setTolerance(kKrylovTolerance);
    gmres.compute(d.jacobian());
    solved = gmres.solve(ordered);
    if (gmres.info() != Eigen::Success)
        return false;
    d.fromOrder(solved, dx);
    if (!dx.allFinite())
        return false;
    for (double step = 1; step > 0.01; step *= 0.5) {
        double maxMach = 0, minBase = 0;
        d.extremes(x - step * dx, maxMach, minBase);
        if (maxMach < kMachCap && minBase > kMinBase) {
            x -= step * dx;
            ++iterations;
            return true;
        }
    }
    return false;
}

bool chordWithEntropy(Discretisation& d, const LinearSolver& lu, Eigen::VectorXd& x, double tolerance,
                      const Budget& budget, int& iterations)
{
    Eigen::VectorXd r, ordered, solved, dx;
    double previousSize = 0, previousChange = 0, size = 0;
    for (int it = 0; it < kMaxChord; ++it) {
        if (budget.spent(iterations))
            return false;
        // The first updates after a drag step move the shock; the entropy waits for them.
        const bool coupled = it == 0 || size < kCoupleChord;
        const double change = coupled ? d.updateEntropy(x) : 0.0;
        d.assemble(x, r, false);
        d.toOrder(r, ordered);
        solved = lu.solve(ordered);
        d.fromOrder(solved, dx);
        size = dx.lpNorm<Eigen::Infinity>();
        // Where the entropy's change dominates (as when it catches up with a moved shock), it is
        // the entropy's own relaxed iteration that converges slowly, which no new factorisation
        // would speed up.
        const bool stalled = size + change > kChordContraction * (previousSize + previousChange) && size > change;
        if (!std::isfinite(size) || (it > 0 && stalled))
            return false;
        double maxMach = 0, minBase = 0;
        d.extremes(x - dx, maxMach, minBase);
        if (!(maxMach < kMachCap && minBase > kMinBase))
            return false;
        ++iterations;
        x -= dx;
        if (size < tolerance && coupled && change < std::max(kEntropyTolerance, tolerance))
            return true;
        previousSize = size;
        previousChange = change;
    }
    return false;
}

bool settleEntropy(Discretisation& d, LinearSolver& lu, const LinearSolver*& chordLu, Eigen::VectorXd& x, double tolerance,
                   const Budget& budget, int& iterations)
{
    for (int pass = 0; pass < kEntropyPasses; ++pass) {
        // A stalled chord method has taken admissible steps only: Newton's method goes on from
        // where it stopped.
        if (chordLu && chordWithEntropy(d, *chordLu, x, tolerance, budget, iterations))
            return true;
        chordLu = &lu;
        if (!newton(d, lu, x, kCoupledStart, kMaxNewton, budget, iterations, true))
            return false;
    }
    return false;
}

} // namespace camber::smesh::fp
