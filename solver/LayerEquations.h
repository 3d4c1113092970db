// SPDX-License-Identifier: MIT
#pragma once

#include "Dual.h"
#include "Gas.h"

#include <array>

namespace camber::smesh {

/// What kind of layer a station carries.
enum class Regime { Laminar, Turbulent, Wake };

/// The flow the layers live in.
struct LayerCase {
    double reynolds = 1e6; ///< based on the chord and the free-stream speed
    double mach = 0;       ///< free stream
    /// True when the coupling speeds q are incompressible (the panel method), which the
    /// Karman-Tsien correction turns into edge speeds; false when they are the edge speeds.
    bool karmanTsien = false;
};

/// The unknowns of one station. c is the amplification factor N of a laminar station and the
/// square root of the shear-stress coefficient of a turbulent or wake station; theta the momentum
/// thickness (chords); m = q delta* the mass defect; q the coupling speed (over the free-stream
/// speed), the edge speed itself or its incompressible counterpart.
struct StationState {
    double c = 0, theta = 0, m = 0, q = 0;
};

/// A station's edge flow, thicknesses and closures. Wake values are those of both halves.
template <typename T>
struct StationFlow {
    T c, theta, dstar, ue, me2, ret;
    T h, hk, hs, hss; ///< shape factor, kinematic shape factor, H*, H**
    T cf;             ///< skin friction over the edge dynamic pressure (0 in the wake)
    T di;             ///< dissipation 2 CD / H*
    T rate;           ///< laminar: amplification rate dN/dxi
    T us, seq, delta; ///< turbulent: slip velocity, sqrt of the equilibrium shear stress, thickness
};

using Dual4 = Dual<4>; ///< derivatives by the unknowns (c, theta, m, q) of one station
/// By those of two stations, the upstream one first (slots 0 to 7), and by the position of the
/// stagnation point (slot 8), from which the stations' distances xi are measured.
using Dual9 = Dual<9>;
inline constexpr std::size_t kStagnationSlot = 8;

/// The unknowns of station s as dual numbers in slots offset .. offset + 3.
template <typename T>
void unknowns(const StationState& s, std::size_t offset, T& c, T& theta, T& m, T& q)
{
    c = T::variable(s.c, offset);
    theta = T::variable(s.theta, offset + 1);
    m = T::variable(s.m, offset + 2);
    q = T::variable(s.q, offset + 3);
}

/// Edge flow and closures of a station of the given regime.
template <typename T>
StationFlow<T> station_flow(const T& c, const T& theta, const T& m, const T& q, Regime regime, const LayerCase& lc);

/// Three residuals with their derivatives.
template <typename T>
using Residuals = std::array<T, 3>;

/// The first station of a surface, next to the stagnation point at distance xi: the self-similar
/// layer of a stagnation flow (edge speed growing linearly with xi), N = 0.
Residuals<Dual9> similarity_station(const StationFlow<Dual9>& s, const Dual9& xi);

/// The interval from station a at xa to station b at xb (distances from the stagnation point, or
/// from the trailing edge in the wake), both of one regime: the amplification (laminar) or the
/// shear-stress lag equation, the momentum and the kinetic-energy equation.
Residuals<Dual9> interval(const StationFlow<Dual9>& a, const StationFlow<Dual9>& b, const Dual9& xa, const Dual9& xb,
                          Regime regime);

/// Fraction of the interval from laminar station a at xa to xb after which the e^N
/// amplification, growing at a's rate, reaches ncrit; 2 or more when it does not in the interval.
template <typename T>
T free_transition_fraction(const StationFlow<T>& a, const T& xa, const T& xb, double ncrit);

/// Where in the interval from laminar station a (unknowns sa, at xa) to xb the layer turns
/// turbulent: the fraction of the interval from its start, free (free_transition_fraction) or
/// forced (at the fraction forced, when that is at most 1), whichever comes first; within 0 to 1
/// when bounded, else the free fraction even beyond 1.
Dual9 transition_fraction(const StationState& sa, const Dual9& xa, const Dual9& xb, double ncrit, double forced,
                          const LayerCase& lc, bool bounded = true);

/// The interval in which the layer turns turbulent, at fraction w of its length from laminar
/// station a (unknowns sa) at xa to turbulent station b (unknowns sb) at xb: the laminar
/// equations up to the transition point and the turbulent ones after it, whose shear stress
/// starts at the transition value.
Residuals<Dual9> transition_interval(const StationState& sa, const StationState& sb, const Dual9& w, const Dual9& xa,
                                     const Dual9& xb, const LayerCase& lc);

/// Derivatives by the unknowns of the two trailing-edge stations (upper first) and the first
/// wake station.
using Dual12 = Dual<12>;

/// The first wake station from the two trailing-edge stations: theta and delta* of both summed,
/// plus the base thickness gap of a blunt trailing edge; the shear stress the momentum-weighted
/// mean of both.
Residuals<Dual12> wake_junction(const StationState& upper, const StationState& lower, const StationState& wake,
                                double gap, const LayerCase& lc);

/// The edge speed of coupling speed q.
template <typename T>
T edge_speed(const T& q, const LayerCase& lc)
{
    return lc.karmanTsien ? gas::karmanTsienSpeed(q, lc.mach) : q;
}

} // namespace camber::smesh
