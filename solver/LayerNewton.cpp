// SPDX-License-Identifier: MIT
#include "LayerNewton.h"

#include <array>
#include <cassert>
#include <vector>

namespace camber::smesh {

namespace {

/// Solves the layers' part of the Jacobian (the derivatives by c, theta and m), which is block
/// lower-triangular: each station's three equations involve the station and its upstream
/// neighbours only, so a sweep downstream solves it. With a hold, each station's block is
/// inverted in the Levenberg-Marquardt sense (see LayerCoupling::hold).
class DownstreamSweep {
public:
    DownstreamSweep(const LayerSystem& layers, double hold) : m_layers(layers), m_inverse(static_cast<std::size_t>(layers.size()))
    {
        for (int i = 0; i < layers.size(); ++i) {
            const Eigen::Matrix3d a = layers.row(i).self.leftCols<3>();
            const Eigen::FullPivLU<Eigen::Matrix3d> lu(a);
            if (!lu.isInvertible()) {
                m_ok = false;
                return;
            }
            if (hold > 0) {
                Eigen::Matrix3d normal = a.transpose() * a;
                normal.diagonal() *= 1 + hold;
                m_inverse[static_cast<std::size_t>(i)] = normal.inverse() * a.transpose();
            } else {
                m_inverse[static_cast<std::size_t>(i)] = lu.inverse();
            }
        }
    }
    bool ok() const { return m_ok; }

    /// z = S^-1 r in place, from station first on (the stations before it are taken as zero);
    /// with active, only stations whose right-hand side or upstream neighbours are non-zero.
    void solve(std::vector<Eigen::Vector3d>& r, int first = 0, std::vector<char>* active = nullptr) const
    {
        for (int i = first; i < m_layers.size(); ++i) {
            const LayerSystem::Row& row = m_layers.row(i);
            if (active != nullptr) {
                bool any = (*active)[static_cast<std::size_t>(i)] != 0;
                for (int k = 0; k < 2; ++k)
                    any = any || (row.upstream[static_cast<std::size_t>(k)] >= first &&
                                  (*active)[static_cast<std::size_t>(row.upstream[static_cast<std::size_t>(k)])] != 0);
                if (!any)
                    continue;
                (*active)[static_cast<std::size_t>(i)] = 1;
            }
            Eigen::Vector3d v = r[static_cast<std::size_t>(i)];
            for (int k = 0; k < 2; ++k) {
                const int p = row.upstream[static_cast<std::size_t>(k)];
                if (p >= first)
                    v -= row.up[static_cast<std::size_t>(k)].leftCols<3>() * r[static_cast<std::size_t>(p)];
            }
            r[static_cast<std::size_t>(i)] = m_inverse[static_cast<std::size_t>(i)] * v;
        }
    }

private:
    const LayerSystem& m_layers;
    std::vector<Eigen::Matrix3d> m_inverse;
    bool m_ok = true;
};

} // namespace

Eigen::VectorXd coupled_speeds(const LayerSystem& layers, const LayerCoupling& coupling, double alpha)
{
    const int n = layers.size();
    Eigen::VectorXd m(n);
    for (int i = 0; i < n; ++i)
        m(i) = layers.state()[static_cast<std::size_t>(i)].m;
    if (coupling.m0.size() == n)
        m -= coupling.m0;
    Eigen::VectorXd q = coupling.q0 + coupling.d * m;
    if (coupling.qAlpha.size() == n)
        q += coupling.qAlpha * (alpha - coupling.alpha0);
    return q;
}

bool layer_newton_update(const LayerSystem& layers, const LayerCoupling& coupling, double alpha, LayerUpdate& update)
{
    const int n = layers.size();
    const bool lift = coupling.qAlpha.size() == n && static_cast<bool>(coupling.lift);
    const DownstreamSweep sweep(layers, coupling.hold);
    if (!sweep.ok())
        return false;
    const auto& state = layers.state();

    // The layers alone, for the speeds held: dz = a - S^-1 J_q dq, with a = S^-1 (-R).
    std::vector<Eigen::Vector3d> a(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        a[static_cast<std::size_t>(i)] = -layers.row(i).r;
    sweep.solve(a);
    // G = dm / dq of the layers: column j from a unit change of q_j, which enters the equations of
    // station j and of the stations downstream that it is upstream of; the speeds of the first
    // stations of both surfaces also move the stagnation point, and with it every surface station.
    std::vector<std::vector<std::pair<int, int>>> downstream(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < 2; ++k)
            if (layers.row(i).upstream[static_cast<std::size_t>(k)] >= 0)
                downstream[static_cast<std::size_t>(layers.row(i).upstream[static_cast<std::size_t>(k)])].push_back({i, k});
    const std::array<int, 2> firsts{layers.first(0), layers.first(1)};
    const std::array<double, 2> slopes = layers.stagnation_slopes();
    const auto stagnationSlope = [&](int j) { return j == firsts[0] ? slopes[0] : (j == firsts[1] ? slopes[1] : 0.0); };
    Eigen::MatrixXd g = Eigen::MatrixXd::Zero(n, n);
    std::vector<Eigen::Vector3d> z(static_cast<std::size_t>(n), Eigen::Vector3d::Zero());
    std::vector<char> active(static_cast<std::size_t>(n), 0);
    for (int j = 0; j < n; ++j) {
        const double slope = stagnationSlope(j);
        const int from = slope != 0 ? 0 : j;
        std::fill(z.begin() + from, z.end(), Eigen::Vector3d::Zero());
        std::fill(active.begin() + from, active.end(), 0);
        z[static_cast<std::size_t>(j)] = layers.row(j).self.col(3);
        active[static_cast<std::size_t>(j)] = 1;
        for (const auto& [i, k] : downstream[static_cast<std::size_t>(j)]) {
            z[static_cast<std::size_t>(i)] += layers.row(i).up[static_cast<std::size_t>(k)].col(3);
            active[static_cast<std::size_t>(i)] = 1;
        }
        if (slope != 0)
            for (int i = 0; i < layers.first(2); ++i) {
                z[static_cast<std::size_t>(i)] += slope * layers.row(i).stagnation;
                active[static_cast<std::size_t>(i)] = 1;
            }
        sweep.solve(z, from, &active);
        for (int i = from; i < n; ++i)
            if (active[static_cast<std::size_t>(i)] != 0)
                g(i, j) = z[static_cast<std::size_t>(i)](2);
    }

    // The coupling: dq - D dm - q_alpha dalpha = -r_q with dm = a_m - G dq gives
    // (I + D G) dq - q_alpha dalpha = D a_m - r_q; with the lift prescribed also
    // dCL/dq dq + dCL/dalpha dalpha = target - CL.
    Eigen::VectorXd am(n), q(n);
    for (int i = 0; i < n; ++i) {
        am(i) = a[static_cast<std::size_t>(i)](2);
        q(i) = state[static_cast<std::size_t>(i)].q;
    }
    const Eigen::VectorXd rq = q - coupled_speeds(layers, coupling, alpha);
    const int size = lift ? n + 1 : n;
    Eigen::MatrixXd k(size, size);
    Eigen::VectorXd rhs(size);
    // G is lower triangular (a speed moves the layers at its station and downstream of it) but for
    // the columns of the surfaces' first stations, which move the stagnation point and with it
    // the stations of the other surface too: D G as a triangular product, half the work of a
    // full one, and the rest of those two columns.
    assert(([&] {
        Eigen::MatrixXd above = g.triangularView<Eigen::StrictlyUpper>();
        for (const int f : firsts)
            above.col(f).setZero();
        return above.isZero(0);
    })());
    auto dg = k.topLeftCorner(n, n);
    dg.noalias() = coupling.d * g.triangularView<Eigen::Lower>();
    for (const int f : firsts)
        dg.col(f).noalias() += coupling.d.leftCols(f) * g.col(f).head(f);
    dg.diagonal().array() += 1;
    rhs.head(n).noalias() = coupling.d * am;
    rhs.head(n) -= rq;
    if (lift) {
        Eigen::VectorXd dq;
        double dalpha = 0;
        const double cl = coupling.lift(q, alpha, dq, dalpha);
        k.col(n).head(n) = -coupling.qAlpha;
        k.row(n).head(n) = dq.transpose();
        k(n, n) = dalpha;
        rhs(n) = coupling.target - cl;
    }
    const Eigen::PartialPivLU<Eigen::MatrixXd> lu(k);
    const Eigen::VectorXd x = lu.solve(rhs);
    if (!x.allFinite())
        return false;

    // The layers for those speeds: dz = S^-1 (-R - J_q dq).
    const double stagnationMove = slopes[0] * x(firsts[0]) + slopes[1] * x(firsts[1]);
    for (int i = 0; i < n; ++i) {
        const LayerSystem::Row& row = layers.row(i);
        Eigen::Vector3d r = -row.r - row.self.col(3) * x(i) - row.stagnation * stagnationMove;
        for (int kk = 0; kk < 2; ++kk)
            if (row.upstream[static_cast<std::size_t>(kk)] >= 0)
                r -= row.up[static_cast<std::size_t>(kk)].col(3) * x(row.upstream[static_cast<std::size_t>(kk)]);
        z[static_cast<std::size_t>(i)] = r;
    }
    sweep.solve(z);
    update.delta.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const Eigen::Vector3d& d = z[static_cast<std::size_t>(i)];
        update.delta[static_cast<std::size_t>(i)] = {d(0), d(1), d(2), x(i)};
    }
    update.alpha = lift ? x(n) : 0.0;
    return true;
}

} // namespace camber::smesh
