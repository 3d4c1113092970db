// SPDX-License-Identifier: MIT
#pragma once

#include "Dual.h"

#include <algorithm>
#include <cmath>

namespace camber::smesh {

/// Air as a perfect gas with gamma = 1.4. Speeds are over the free-stream speed, temperatures,
/// densities and viscosities over their free-stream values.
namespace gas {

inline constexpr double kGamma = 1.4;
inline constexpr double kHalfGammaMinusOne = 0.5 * (kGamma - 1); ///< (gamma - 1) / 2 = 0.2
/// Sutherland's constant 110.4 K over a free-stream temperature of 288.15 K.
inline constexpr double kSutherland = 110.4 / 288.15;

/// Static temperature where the speed is q in a flow of free-stream Mach number m (constant total
/// enthalpy): T = 1 + (gamma - 1)/2 m^2 (1 - q^2).
template <typename T>
T temperature(const T& q, double m)
{
    return 1 + kHalfGammaMinusOne * m * m * (1 - q * q);
}

/// Local Mach number squared at speed q: q^2 m^2 / T.
template <typename T>
T machSquared(const T& q, double m)
{
    return q * q * (m * m) / temperature(q, m);
}

/// Isentropic density at temperature t: t^(1 / (gamma - 1)) = t^2.5.
template <typename T>
T density(const T& t)
{
    using std::sqrt;
    return t * t * sqrt(t);
}

/// Viscosity at temperature t by Sutherland's law.
template <typename T>
T viscosity(const T& t)
{
    using std::sqrt;
    return t * sqrt(t) * (1 + kSutherland) / (t + kSutherland);
}

/// Karman-Tsien correction of an incompressible surface speed q0 to free-stream Mach number m,
/// consistent with the pressure correction: q = q0 (1 - lambda) / (1 - lambda q0^2) with
/// lambda = m^2 / (1 + beta)^2, beta = sqrt(1 - m^2). Past the point where the denominator
/// vanishes the correction means nothing; it is held at a tenth of its free-stream value.
template <typename T>
T karmanTsienSpeed(const T& q0, double m)
{
    const double beta = std::sqrt(std::max(1 - m * m, 0.0));
    const double lambda = m * m / ((1 + beta) * (1 + beta));
    T denominator = 1 - lambda * q0 * q0;
    if (value(denominator) < 0.1 * (1 - lambda))
        denominator = 0.1 * (1 - lambda);
    return q0 * (1 - lambda) / denominator;
}

} // namespace gas

} // namespace camber::smesh
