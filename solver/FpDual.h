// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cmath>
#include <type_traits>

namespace camber::smesh::fp {

/// Forward-mode derivative with respect to the up to eight unknowns an element touches: six
/// nodes (its own and the far nodes of its three neighbours), the circulation and the angle.
struct Dual {
    static constexpr int kSlots = 8;
    static constexpr int kCirculation = 6;
    static constexpr int kAngle = 7;
    double v = 0;
    std::array<double, kSlots> d{};
};

inline Dual operator+(Dual a, const Dual& b)
{
    a.v += b.v;
    for (int k = 0; k < Dual::kSlots; ++k)
        a.d[k] += b.d[k];
    return a;
}
inline Dual operator-(Dual a, const Dual& b)
{
    a.v -= b.v;
    for (int k = 0; k < Dual::kSlots; ++k)
        a.d[k] -= b.d[k];
    return a;
}
inline Dual operator*(Dual a, double s)
{
    a.v *= s;
    for (auto& x : a.d)
        x *= s;
    return a;
}
inline Dual operator*(double s, Dual a) { return a * s; }
inline Dual operator+(Dual a, double s)
{
    a.v += s;
    return a;
}
inline Dual operator*(const Dual& a, const Dual& b)
{
    Dual r;
    r.v = a.v * b.v;
    for (int k = 0; k < Dual::kSlots; ++k)
        r.d[k] = a.d[k] * b.v + a.v * b.d[k];
    return r;
}
inline Dual operator/(const Dual& a, const Dual& b)
{
    Dual r;
    r.v = a.v / b.v;
    for (int k = 0; k < Dual::kSlots; ++k)
        r.d[k] = (a.d[k] - r.v * b.d[k]) / b.v;
    return r;
}
/// a^p for a > 0. The density and pressure take the powers 2.5 and 3.5 of the temperature
/// ratio (gamma 1.4) for every element and residual: by square roots, several times cheaper than
/// the general power.
inline double power(double a, double p)
{
    if (p == 2.5)
        return a * a * std::sqrt(a);
    if (p == 3.5)
        return a * a * a * std::sqrt(a);
    return std::pow(a, p);
}
inline Dual power(const Dual& a, double p)
{
    Dual r;
    r.v = power(a.v, p);
    const double f = p * r.v / a.v;
    for (int k = 0; k < Dual::kSlots; ++k)
        r.d[k] = f * a.d[k];
    return r;
}
inline Dual larger(const Dual& a, const Dual& b) { return a.v >= b.v ? a : b; }
inline Dual positive(const Dual& a) { return a.v > 0 ? a : Dual{}; }
inline Dual constant(double v)
{
    Dual r;
    r.v = v;
    return r;
}

// The same element formulas evaluate residuals alone in plain doubles (several times cheaper)
// and residuals with derivatives in Duals.
inline double real(double a) { return a; }
inline double real(const Dual& a) { return a.v; }
inline double larger(double a, double b) { return std::max(a, b); }
inline double positive(double a) { return a > 0 ? a : 0.0; }
template <typename T>
T make(double v)
{
    if constexpr (std::is_same_v<T, Dual>)
        return constant(v);
    else
        return v;
}

/// Entropy rise (s2 - s1) / R across a normal shock with upstream Mach number m (gamma 1.4): minus
/// the logarithm of the ratio of the stagnation pressures from the Rankine-Hugoniot relations.
inline double shockEntropy(double m)
{
    if (m <= 1)
        return 0;
    const double m2 = m * m;
    return -(3.5 * std::log(6 * m2 / (m2 + 5)) + 2.5 * std::log(6 / (7 * m2 - 1)));
}

} // namespace camber::smesh::fp
