// SPDX-License-Identifier: MIT
#pragma once

// Closure relations of the two-equation integral boundary layer: what the momentum and the
// kinetic-energy shape-parameter equations need besides the thicknesses, as functions of the
// kinematic shape parameter Hk, the momentum-thickness Reynolds number Re_theta and the edge
// Mach number. Written for plain and dual numbers alike, so that the interval residuals get their
// Jacobians exactly.
//
// The relations are those of Drela's viscous-inviscid codes in their recalibrated form:
// - [DG87] M. Drela and M. B. Giles, "Viscous-inviscid analysis of transonic and low Reynolds
//   number airfoils", AIAA J. 25(10), 1987, pp. 1347-1355: the laminar closures as fits of the
//   Falkner-Skan profile family, the turbulent H* and skin friction (after Swafford's profiles),
//   the density-flux shape parameter and the e^N envelope method;
// - [D89] M. Drela, "XFOIL: an analysis and design system for low Reynolds number airfoils",
//   Lecture Notes in Engineering 54, Springer, 1989: the lag-dissipation closure (shear-stress
//   lag equation, equilibrium shear stress, slip velocity, dissipation of wall and outer layer)
//   and the shear stress where transition starts;
// - [D93] M. Drela, "Newton solution of coupled viscous/inviscid multielement airfoil flows",
//   AIAA 90-1470, and the MSES user's guide (MIT, 1993 onward): the later fits used by XFOIL 6.9
//   and MSES for the laminar H*, Cf and dissipation, the turbulent H*, the equilibrium shear
//   stress at low Re_theta, the dissipation's low-Reynolds-number terms, the wake's lag constant
//   and the envelope's critical Re_theta and growth rate;
// - J. E. Green, D. J. Weeks and J. W. F. Brooman, ARC R&M 3791, 1973: the layer thickness delta;
// - D. L. Whitfield, AEDC-TR-77-79, 1978: the kinematic shape parameter of a compressible layer.

#include "Dual.h"

#include <cmath>

namespace camber::smesh::closure {

using std::exp;
using std::log;
using std::pow;
using std::sqrt;
using std::tanh;

/// Constants of the lag-dissipation closure [D89]: the lag constant, the equilibrium locus
/// G = 6.7 sqrt(1 + 0.75 beta), the wake's outer-layer factor [D93].
inline constexpr double kLag = 5.6;
inline constexpr double kLocusA = 6.7, kLocusB = 0.75;
inline constexpr double kWakeLag = 0.9;

/// Whitfield's relation of the shape factor H to the kinematic one: H = Hk (1 + a Me^2) + b Me^2.
inline constexpr double kWhitfieldA = 0.113, kWhitfieldB = 0.29;

/// Kinematic shape parameter of a compressible layer of shape factor h at edge Mach^2 me2
/// (Whitfield): the shape factor of the same velocity profile at constant density.
template <typename T>
T kinematicShape(const T& h, const T& me2)
{
    return (h - kWhitfieldB * me2) / (1 + kWhitfieldA * me2);
}

/// The shape factor of a compressible layer whose kinematic shape parameter is hk at edge Mach^2
/// me2: the inverse of kinematicShape.
inline double shapeOfKinematic(double hk, double me2) { return hk * (1 + kWhitfieldA * me2) + kWhitfieldB * me2; }

/// Density-flux shape parameter H** = delta** / theta [DG87].
template <typename T>
T densityShape(const T& hk, const T& me2)
{
    return me2 * (0.064 / (hk - 0.8) + 0.251);
}

// ---- Laminar layers: the Falkner-Skan family [D93] --------------------------------------------

/// Kinetic-energy shape parameter H* = theta* / theta.
template <typename T>
T laminarHs(const T& hk)
{
    if (value(hk) < 4.35) {
        const T d = hk - 4.35;
        const T dh = d * hk;
        return 0.0111 * d * d / (hk + 1) - 0.0278 * d * d * d / (hk + 1) + 1.528 - 0.0002 * dh * dh;
    }
    const T d = hk - 4.35;
    return 0.015 * d * d / hk + 1.528;
}

/// Skin friction over the edge dynamic pressure.
template <typename T>
T laminarCf(const T& hk, const T& ret)
{
    if (value(hk) < 5.5) {
        const T d = 5.5 - hk;
        return (0.0727 * d * d * d / (hk + 1) - 0.07) / ret;
    }
    const T d = 1 - 1 / (hk - 4.5);
    return (0.015 * d * d - 0.07) / ret;
}

/// Dissipation 2 CD / H*.
template <typename T>
T laminarDissipation(const T& hk, const T& ret)
{
    if (value(hk) < 4)
        return (0.00205 * pow(4 - hk, 5.5) + 0.207) / ret;
    const T d2 = (hk - 4) * (hk - 4);
    return (-0.0016 * d2 / (1 + 0.02 * d2) + 0.207) / ret;
}

/// Growth rate dN/dxi of the e^N envelope of Tollmien-Schlichting waves [DG87, D93]: zero below
/// the critical Re_theta of the profile, switched on over a band of +-0.08 in log10 Re_theta about
/// it, so that the amplification is a smooth function of the layer's state.
template <typename T>
T amplificationRate(const T& hk, const T& theta, const T& ret)
{
    constexpr double kBand = 0.08;
    const T b = 1 / (hk - 1);
    const T logCritical = 2.492 * pow(b, 0.43) + 0.7 * (tanh(14 * b - 9.24) + 1);
    const T normal = (log(ret) / std::log(10.0) - (logCritical - kBand)) / (2 * kBand);
    if (value(normal) <= 0)
        return T(0);
    const T arg = 3.87 * b - 2.52;
    const T dndRe = 0.028 * (hk - 1) - 0.0345 * exp(-arg * arg);
    const T growth = -0.05 + 2.7 * b - 5.5 * b * b + 3 * b * b * b;
    T rate = growth * dndRe / theta;
    if (value(normal) < 1)
        rate = rate * normal * normal * (3 - 2 * normal);
    return rate;
}

// ---- Turbulent layers and wakes ----------------------------------------------------------------

/// Kinetic-energy shape parameter H* of a turbulent layer [D93], with its compressibility
/// correction [DG87].
template <typename T>
T turbulentHs(const T& hk, const T& ret, const T& me2)
{
    const T h0 = value(ret) > 400 ? 3 + 400 / ret : T(4);
    const T rt = value(ret) > 200 ? ret : T(200);
    T hs;
    if (value(hk) < value(h0)) {
        const T hr = (h0 - hk) / (h0 - 1);
        hs = (0.5 - 4 / rt) * hr * hr * 1.5 / (hk + 0.5) + 1.5 + 4 / rt;
    } else {
        const T lr = log(rt);
        const T d = hk - h0;
        const T e = d + 4 / lr;
        hs = d * d * (0.007 * lr / (e * e) + 0.015 / hk) + 1.5 + 4 / rt;
    }
    return (hs + 0.028 * me2) / (1 + 0.014 * me2);
}

/// Skin friction of a turbulent layer over the edge dynamic pressure [DG87] (Swafford's profiles).
template <typename T>
T turbulentCf(const T& hk, const T& ret, const T& me2)
{
    const T fc = sqrt(1 + 0.2 * me2);
    T lr = log(ret / fc);
    if (value(lr) < 3)
        lr = T(3); // Re_theta below 20: the fit's logarithm would vanish
    const T arg = value(hk) < 20 / 1.33 ? -1.33 * hk : T(-20);
    const T cf0 = 0.3 * exp(arg + (-1.74 - 0.31 * hk) * log(lr / std::log(10.0)));
    return (cf0 + 1.1e-4 * (tanh(4 - hk / 0.875) - 1)) / fc;
}

/// Normalised slip velocity at the edge of the wall layer, Us = (H*/2)(1 - (Hk - 1)/(0.75 H))
/// [D89], held at or below limit (the equilibrium shear stress grows without bound as Us
/// reaches 1).
template <typename T>
T slipVelocity(const T& hs, const T& hk, const T& h, double limit)
{
    // Held below the limit smoothly, over the last kSlipWidth: a corner there would send Newton's
    // method round in a cycle in a separated wake, which sits at it.
    using std::exp;
    constexpr double kSlipWidth = 0.02;
    const T us = 0.5 * hs * (1 - (hk - 1) / (kLocusB * h));
    const double knee = limit - kSlipWidth;
    return value(us) <= knee ? us : limit - kSlipWidth * exp(-(us - knee) / kSlipWidth);
}

/// Square root of the shear-stress coefficient of the equilibrium layer with the same shape
/// [D89]: C_tau,EQ = H* (Hk - 1) (Hk - 1 - 18/Re_theta)^2 / (2 A^2 B (1 - Us) H Hk^2) with the
/// locus constants A, B; the low-Reynolds-number term [D93] does not apply to a wake.
template <typename T>
T equilibriumShear(const T& hs, const T& hk, const T& h, const T& us, const T& ret, bool wake)
{
    T hkc = wake ? hk - 1 : hk - 1 - 18 / ret;
    if (value(hkc) < 0.01)
        hkc = T(0.01);
    const double c = 0.5 / (kLocusA * kLocusA * kLocusB);
    return sqrt(c * hs * (hk - 1) * hkc * hkc / ((1 - us) * h * hk * hk));
}

/// Thickness of the layer (Green, Weeks and Brooman), at most twelve momentum thicknesses.
template <typename T>
T layerThickness(const T& theta, const T& dstar, const T& hk)
{
    T delta = theta * (3.15 + 1.72 / (hk - 1)) + dstar;
    return value(delta) > 12 * value(theta) ? 12 * theta : delta;
}

/// Dissipation 2 CD / H* of a turbulent layer (wake: false) or a wake (true) [D89, D93]: the
/// wall layer's friction times the slip velocity (faded out as Hk approaches its smallest
/// value for the Reynolds number), the outer layer's shear stress times the velocity defect,
/// and the laminar stresses of the outer layer; a wake has two outer layers and no wall.
template <typename T>
T turbulentDissipation(const T& s, const T& cf, const T& hs, const T& hk, const T& us, const T& ret, bool wake)
{
    const T outer = (s * s * (0.995 - us) + 0.15 * (0.995 - us) * (0.995 - us) / ret) * 2 / hs;
    if (wake)
        return 2 * outer;
    const T hmin = 1 + 2.1 / log(ret);
    const T fade = 0.5 + 0.5 * tanh((hk - 1) / (hmin - 1));
    return 0.5 * cf * us * 2 / hs * fade + outer;
}

/// Square root of the shear-stress coefficient where a layer turns turbulent [D89]: a fraction
/// 1.8 exp(-3.3 / (Hk - 1)) of the equilibrium value.
template <typename T>
T transitionShear(const T& hk, const T& equilibrium)
{
    return 1.8 * exp(-3.3 / (hk - 1)) * equilibrium;
}

} // namespace camber::smesh::closure
