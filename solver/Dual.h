// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cmath>
#include <cstddef>

namespace camber::smesh {

/// A number with its derivatives with respect to N unknowns (forward-mode automatic
/// differentiation): the residuals of a boundary-layer interval are written once and give their
/// Jacobian rows exactly, without hand-derived derivatives that could drift from the formulas.
template <std::size_t N>
struct Dual {
    double v = 0;              ///< value
    std::array<double, N> d{}; ///< derivative with respect to unknown k

    Dual() = default;
    Dual(double value) : v(value) {} // a constant converts implicitly

    /// Unknown number slot with the given value.
    static Dual variable(double value, std::size_t slot)
    {
        Dual r(value);
        r.d[slot] = 1;
        return r;
    }

    Dual& operator+=(const Dual& b)
    {
        v += b.v;
        for (std::size_t k = 0; k < N; ++k)
            d[k] += b.d[k];
        return *this;
    }
    Dual& operator-=(const Dual& b)
    {
        v -= b.v;
        for (std::size_t k = 0; k < N; ++k)
            d[k] -= b.d[k];
        return *this;
    }
    Dual& operator*=(double s)
    {
        v *= s;
        for (auto& x : d)
            x *= s;
        return *this;
    }
};

/// The derivatives of a moved into slots offset .. offset + N - 1 of a wider number.
template <std::size_t M, std::size_t N>
Dual<M> widen(const Dual<N>& a, std::size_t offset)
{
    static_assert(M >= N);
    Dual<M> r(a.v);
    for (std::size_t k = 0; k < N; ++k)
        r.d[offset + k] = a.d[k];
    return r;
}

template <std::size_t N>
Dual<N> operator-(Dual<N> a)
{
    a *= -1;
    return a;
}
template <std::size_t N>
Dual<N> operator+(Dual<N> a, const Dual<N>& b)
{
    return a += b;
}
template <std::size_t N>
Dual<N> operator-(Dual<N> a, const Dual<N>& b)
{
    return a -= b;
}
template <std::size_t N>
Dual<N> operator+(Dual<N> a, double s)
{
    a.v += s;
    return a;
}
template <std::size_t N>
Dual<N> operator+(double s, Dual<N> a)
{
    a.v += s;
    return a;
}
template <std::size_t N>
Dual<N> operator-(Dual<N> a, double s)
{
    a.v -= s;
    return a;
}
template <std::size_t N>
Dual<N> operator-(double s, const Dual<N>& a)
{
    return -a + s;
}
template <std::size_t N>
Dual<N> operator*(Dual<N> a, double s)
{
    return a *= s;
}
template <std::size_t N>
Dual<N> operator*(double s, Dual<N> a)
{
    return a *= s;
}
template <std::size_t N>
Dual<N> operator*(const Dual<N>& a, const Dual<N>& b)
{
    Dual<N> r(a.v * b.v);
    for (std::size_t k = 0; k < N; ++k)
        r.d[k] = a.d[k] * b.v + a.v * b.d[k];
    return r;
}
template <std::size_t N>
Dual<N> operator/(const Dual<N>& a, const Dual<N>& b)
{
    Dual<N> r(a.v / b.v);
    for (std::size_t k = 0; k < N; ++k)
        r.d[k] = (a.d[k] - r.v * b.d[k]) / b.v;
    return r;
}
template <std::size_t N>
Dual<N> operator/(Dual<N> a, double s)
{
    return a *= 1 / s;
}
template <std::size_t N>
Dual<N> operator/(double s, const Dual<N>& b)
{
    return Dual<N>(s) / b;
}

/// f(a) with f'(a) = slope, for the elementary functions below.
template <std::size_t N>
Dual<N> chain(const Dual<N>& a, double value, double slope)
{
    Dual<N> r(value);
    for (std::size_t k = 0; k < N; ++k)
        r.d[k] = slope * a.d[k];
    return r;
}

template <std::size_t N>
Dual<N> sqrt(const Dual<N>& a)
{
    const double s = std::sqrt(a.v);
    return chain(a, s, 0.5 / s);
}
template <std::size_t N>
Dual<N> log(const Dual<N>& a)
{
    return chain(a, std::log(a.v), 1 / a.v);
}
template <std::size_t N>
Dual<N> exp(const Dual<N>& a)
{
    const double e = std::exp(a.v);
    return chain(a, e, e);
}
template <std::size_t N>
Dual<N> tanh(const Dual<N>& a)
{
    const double t = std::tanh(a.v);
    return chain(a, t, 1 - t * t);
}
/// a^p for a > 0.
template <std::size_t N>
Dual<N> pow(const Dual<N>& a, double p)
{
    const double r = std::pow(a.v, p);
    return chain(a, r, p * r / a.v);
}

/// The larger of a and b, with the derivatives of the one taken.
template <std::size_t N>
Dual<N> max(const Dual<N>& a, const Dual<N>& b)
{
    return a.v >= b.v ? a : b;
}
template <std::size_t N>
Dual<N> min(const Dual<N>& a, const Dual<N>& b)
{
    return a.v <= b.v ? a : b;
}

/// The value of a number, whether plain or dual, so that formulas serve both.
inline double value(double a) { return a; }
template <std::size_t N>
double value(const Dual<N>& a)
{
    return a.v;
}

} // namespace camber::smesh
