// SPDX-License-Identifier: MIT
#pragma once

#include "LayerEquations.h"

#include <Eigen/Dense>

#include <array>
#include <vector>

namespace camber::smesh {

/// Where the stations of the two boundary layers and the wake lie. The stagnation point lies on
/// the panel between the first stations of the two surfaces, at the fraction of its length
/// q_upper / (q_upper + q_lower) from the upper one, where the speed interpolates to zero; it
/// moves with the speeds, and the stations' distances xi from it with it.
struct LayerStations {
    /// Per surface (0 upper, 1 lower): distance of each station along the surface from the
    /// surface's first station, chords, increasing from 0.
    std::array<std::vector<double>, 2> distance;
    double stagnationPanel = 0; ///< length of the panel between the first stations, chords
    /// Per surface: chordwise position x/c of each station (for forced transition and reports).
    std::array<std::vector<double>, 2> xc;
    /// Distance of each wake station from the trailing edge along the wake, chords; the first is 0.
    std::vector<double> wake;
    double gap = 0; ///< base thickness of a blunt trailing edge, chords
};

/// The flow case of the layers.
struct LayerSettings {
    LayerCase flow;
    double ncrit = 9;                 ///< amplification factor at which the layers turn turbulent
    std::array<double, 2> forced{1, 1}; ///< forced transition x/c per surface; 1 or more: free
};

/// The boundary layers of both surfaces and the wake as one system of discrete equations: three
/// unknowns per station (StationState: c, theta, m, with the coupling speed q given from outside)
/// and three residuals per station, each row block depending on the station and its upstream
/// neighbours only. Stations are numbered upper surface first (stagnation point to trailing
/// edge), then the lower surface, then the wake, so that every station comes after those it
/// depends on.
///
/// Transition: each surface turns turbulent within one interval, where the e^N amplification
/// reaches Ncrit or the forced position lies, and at the trailing edge at the latest; the point
/// lies between the stations and moves smoothly with the flow. Which interval it is is settled
/// between Newton iterations (settle_transition).
class LayerSystem {
public:
    LayerSystem() = default;
    LayerSystem(LayerStations stations, const LayerSettings& settings);

    /// Number of stations in all.
    int size() const { return static_cast<int>(m_state.size()); }
    /// First station of part p (0 upper, 1 lower, 2 wake) and its number of stations.
    int first(int p) const { return m_first[static_cast<std::size_t>(p)]; }
    int count(int p) const { return m_first[static_cast<std::size_t>(p) + 1] - m_first[static_cast<std::size_t>(p)]; }

    std::vector<StationState>& state() { return m_state; }
    const std::vector<StationState>& state() const { return m_state; }
    Regime regime(int station) const;
    const LayerStations& stations() const { return m_stations; }
    const LayerSettings& settings() const { return m_settings; }
    /// Forced transition x/c per surface (1 or more: free).
    void setForced(const std::array<double, 2>& forced) { m_settings.forced = forced; }

    /// A first state from the coupling speeds q (one per station): each layer marched downstream
    /// on q alone; where it would separate it is marched at a limited shape factor instead, its
    /// speed then following from the layer (the q of those stations change). False when a
    /// station could not be solved either way (the state is still finite).
    bool march();

    /// One row block of the system: residuals of station i and their derivatives by the
    /// unknowns (c, theta, m, q) of the station itself and of up to two upstream stations.
    struct Row {
        std::array<int, 2> upstream{-1, -1};
        Eigen::Vector3d r = Eigen::Vector3d::Zero();
        Eigen::Matrix<double, 3, 4> self = Eigen::Matrix<double, 3, 4>::Zero();
        std::array<Eigen::Matrix<double, 3, 4>, 2> up{Eigen::Matrix<double, 3, 4>::Zero(), Eigen::Matrix<double, 3, 4>::Zero()};
        Eigen::Vector3d stagnation = Eigen::Vector3d::Zero();
    };
    /// Residuals and derivatives of every station at the present state. stagnation holds the
    /// residuals' derivatives by the stagnation point's fraction of its panel.
    void assemble();
    const Row& row(int i) const { return m_rows[static_cast<std::size_t>(i)]; }

    /// Index (within surface side) of the first turbulent station: its interval holds the
    /// transition point; set it for a state carried over from another set of stations.
    int transition_station(int side) const { return m_turbulent[static_cast<std::size_t>(side)]; }
    void set_transition_station(int side, int k) { m_turbulent[static_cast<std::size_t>(side)] = k; }

    /// Moves each surface's transition interval to where the present state puts it, setting the
    /// unknown c of the stations that change regime.
    /// may: per surface, whether its transition may move. Returns per surface the direction it
    /// moved (-1 upstream, 1 downstream, 0 not).
    std::array<int, 2> settle_transition(const std::array<bool, 2>& may = {true, true});

    /// The stagnation point's fraction of its panel (from the upper surface's first station) at
    /// the present state, and its derivatives by the speeds of the first stations of the upper
    /// and the lower surface.
    double stagnation_fraction() const;
    std::array<double, 2> stagnation_slopes() const;

    /// Distance of station k of surface side from the stagnation point at the present state.
    double xi(int side, int k) const;

    /// x/c of the transition point of surface side at the present state.
    double transition_xc(int side) const;
    /// Edge flow and closures of station i at the present state.
    StationFlow<double> flow(int i) const;

private:
    Dual9 xiDual(int side, int k) const;
    StationFlow<Dual9> intervalStart(int side, int k, const StationState& a, Regime regime, Dual9& xa) const;
    double forcedFraction(int side, int k) const;
    Residuals<Dual9> intervalResiduals(int side, int k, const std::vector<StationState>& s) const;
    bool marchStation(int part, int k);
    void marchWakeStart();

    LayerStations m_stations;
    LayerSettings m_settings;
    std::array<int, 4> m_first{};
    std::array<int, 2> m_turbulent{}; // per surface: index (within it) of the first turbulent station
    std::vector<StationState> m_state;
    std::vector<Row> m_rows;
};

} // namespace camber::smesh
