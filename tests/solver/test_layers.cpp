// SPDX-License-Identifier: MIT
// The integral boundary layers: closures against the Falkner-Skan family, flat plates against
// Blasius, the e^N envelope and turbulent friction, the Newton Jacobian against finite
// differences, the mass the layers displace, the panel method's wall sources, and whole viscous
// sections against XFOIL.
#include "FullPotentialSupport.h"

#include "solver/Gas.h"
#include "solver/LayerClosures.h"
#include "solver/LayerSystem.h"
#include "solver/PanelLayers.h"
#include "solver/PanelMethod.h"
#include "solver/SectionLayers.h"
#include "solver/Solver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

using namespace camber::smesh;
using camber::test::naca_points;

namespace {

// ---- Closures -----------------------------------------------------------------------------------

/// A similar laminar profile, from the Falkner-Skan equation: shape factor, H*, wall shear
/// tau_w theta / (mu ue) = Cf Re_theta / 2 and dissipation 2 CD Re_theta / H*.
struct SimilarProfile {
    const char* name;
    double h, hs, halfCfRet, dissipationRet;
};

TEST(LayerClosures, LaminarFitsFollowTheFalknerSkanFamily)
{
    const SimilarProfile profiles[] = {
        {"stagnation point (Hiemenz, beta 1)", 2.2162, 1.6257, 0.3603, 0.2564},
        // Constant H* on a flat plate ties the dissipation to the friction: d(theta*)/dx = 2 CD
        // and d(theta)/dx = Cf / 2 give 2 CD / H* = Cf / 2.
        {"flat plate (Blasius, beta 0)", 2.5911, 1.5726, 0.2205, 0.2205},
        {"separation (beta -0.1988)", 4.0293, 1.5151, 0.0, 0.2064},
    };
    for (const SimilarProfile& p : profiles) {
        SCOPED_TRACE(p.name);
        EXPECT_NEAR(closure::laminarHs(p.h), p.hs, 0.01 * p.hs);
        // At Re_theta 1: friction and dissipation scale exactly as 1 / Re_theta. The friction
        // fit trades accuracy at single profiles for the whole family: within 0.015, 7 % of
        // the Blasius value.
        EXPECT_NEAR(0.5 * closure::laminarCf(p.h, 1.0), p.halfCfRet, 0.015);
        EXPECT_NEAR(closure::laminarCf(p.h, 1000.0) * 1000, closure::laminarCf(p.h, 1.0), 1e-12);
        EXPECT_NEAR(closure::laminarDissipation(p.h, 1.0), p.dissipationRet, 0.01 * p.dissipationRet);
    }
}

TEST(LayerClosures, CompressibleShapeFactorsReduceToIncompressibleOnes)
{
    for (const double h : {1.3, 1.6, 2.6, 4.0}) {
        EXPECT_DOUBLE_EQ(closure::kinematicShape(h, 0.0), h);
        EXPECT_DOUBLE_EQ(closure::densityShape(h, 0.0), 0.0);
        // The hot, thin gas next to the wall of a fast layer displaces more than its velocity
        // profile alone would: its H exceeds the kinematic one.
        EXPECT_LT(closure::kinematicShape(h, 0.64), h);
    }
}

// ---- Flat plates ----------------------------------------------------------------------------------

/// Both sides of a flat plate from its leading edge to length at unit edge speed, with a short
/// wake. The stagnation point sits on a panel a ten-thousandth of the chord long; the stations
/// crowd towards the leading edge, where the layer grows fastest.
LayerSystem flatPlate(const LayerSettings& settings, double length = 1.0, int stations = 121)
{
    LayerStations st;
    st.stagnationPanel = 1e-4;
    for (std::size_t side = 0; side < 2; ++side)
        for (int k = 0; k < stations; ++k) {
            const double t = static_cast<double>(k) / (stations - 1);
            st.distance[side].push_back(length * t * t);
            st.xc[side].push_back(length * t * t);
        }
    st.wake = {0, 0.05, 0.15, 0.3};
    LayerSystem layers(st, settings);
    for (StationState& s : layers.state())
        s.q = 1;
    return layers;
}

LayerSettings plateSettings(double reynolds, double forced)
{
    LayerSettings s;
    s.flow.reynolds = reynolds;
    s.forced = {forced, forced};
    return s;
}

TEST(FlatPlate, FirstStationCarriesTheStagnationPointLayer)
{
    LayerSystem layers = flatPlate(plateSettings(1e6, 2));
    ASSERT_TRUE(layers.march());
    const StationFlow<double> f = layers.flow(layers.first(0));
    // Hiemenz flow: H = 2.216 and theta = 0.2923 sqrt(nu / a) for the edge speed a xi.
    EXPECT_GT(f.h, 2.2);
    EXPECT_LT(f.h, 2.3);
    EXPECT_NEAR(f.theta * std::sqrt(1e6 * f.ue / layers.xi(0, 0)), 0.2923, 0.03 * 0.2923);
}

TEST(FlatPlate, LaminarLayerIsBlasius)
{
    // Transition forced beyond the plate's end: laminar all along.
    LayerSystem layers = flatPlate(plateSettings(1e6, 2), 1.2);
    ASSERT_TRUE(layers.march());
    int checked = 0;
    for (int k = 1; k < layers.count(0); ++k) {
        const double x = layers.xi(0, k);
        if (x < 0.05 || x > 1)
            continue;
        const StationFlow<double> f = layers.flow(k);
        EXPECT_NEAR(f.h, 2.591, 0.02 * 2.591) << "x " << x;
        EXPECT_NEAR(f.cf * std::sqrt(1e6 * x), 0.664, 0.02 * 0.664) << "x " << x;
        ++checked;
    }
    EXPECT_GT(checked, 50);
}

TEST(FlatPlate, NaturalTransitionWhereTheEnvelopeReachesNcrit)
{
    // Drela & Giles' envelope (AIAA J. 25, 1987), in the form XFOIL uses, on the flat-plate
    // layer of the laminar closures, whose friction and dissipation balance at Hk = 2.568 (the
    // exact Blasius profile has 2.591): amplification starts at Re_theta = 349 and grows, per
    // unit Re_theta along the plate, at 0.00951 (dN/dRe_theta) x 0.213 (the growth factor) x
    // 2 / 0.664^2 = 0.00919, so that N = 9 at Re_theta = 1328, Re_x = (1328 / 0.664)^2 = 4.0e6.
    // (On the exact Blasius shape the same envelope gives 2.8e6 to 3.1e6: the closures' shape,
    // which the method shares with XFOIL, puts a flat plate's transition a third later.)
    constexpr double kReference = 4.0e6;
    for (const double reynolds : {5e6, 1e7}) {
        LayerSystem layers = flatPlate(plateSettings(reynolds, 2));
        layers.march();
        EXPECT_NEAR(reynolds * layers.transition_xc(0), kReference, 0.05 * kReference) << "Re " << reynolds;
    }
}

TEST(FlatPlate, MarchGetsThroughATripInADeceleration)
{
    // Decelerated from the leading edge, the laminar layer's shape factor climbs past 2.5 before
    // the trip, and the turbulent layer starts from it and falls: the march must get through
    // the trip and follow that fall. Tripped just ahead of a station, the turbulent part of the
    // interval is short and that station's shape factor exceeds the laminar one before it.
    for (const double near : {0.04, 0.07, 0.1}) {
        const double t = std::ceil(std::sqrt(near) * 120) / 120, before = (t * 120 - 1) / 120;
        const double trip = t * t - 0.01 * (t * t - before * before);
        LayerSystem layers = flatPlate(plateSettings(6e6, trip));
        for (int side = 0; side < 2; ++side)
            for (int k = 0; k < layers.count(side); ++k)
                layers.state()[static_cast<std::size_t>(layers.first(side) + k)].q = 1 / (1 + 1.5 * layers.xi(side, k));
        ASSERT_TRUE(layers.march()) << "trip " << trip;
        int k = 1;
        while (layers.xi(0, k) < trip)
            ++k;
        EXPECT_GT(layers.flow(k - 1).hk, 2.5) << "trip " << trip;
        for (; layers.flow(k).hk > 2 && layers.xi(0, k) < trip + 0.1; ++k)
            EXPECT_LE(layers.flow(k + 1).hk, layers.flow(k).hk + 1e-9) << "trip " << trip << " station " << k;
        EXPECT_LT(layers.flow(k).hk, 2) << "trip " << trip;
    }
}

/// Local skin friction of a turbulent flat plate from Schoenherr's mean-friction line
/// 0.242 / sqrt(CF) = log10(Re_x CF) (Karman-Schoenherr), differentiated along the plate:
/// cf = 0.242 CF / (0.242 + 2 sqrt(CF) / ln 10).
double schoenherrFriction(double rex)
{
    double mean = 0.003;
    for (int it = 0; it < 50; ++it)
        mean = std::pow(0.242 / std::log10(rex * mean), 2);
    return 0.242 * mean / (0.242 + 2 * std::sqrt(mean) / std::log(10.0));
}

TEST(FlatPlate, TrippedTurbulentFrictionFollowsSchoenherr)
{
    constexpr double kReynolds = 1e7;
    LayerSystem layers = flatPlate(plateSettings(kReynolds, 0.05));
    ASSERT_TRUE(layers.march());
    EXPECT_NEAR(layers.transition_xc(0), 0.05, 1e-9);
    // From a fifth of the plate on the layer has forgotten the trip.
    for (int k = 1; k < layers.count(0); ++k) {
        const double x = layers.xi(0, k);
        if (x >= 0.2) {
            EXPECT_NEAR(layers.flow(k).cf / schoenherrFriction(kReynolds * x), 1, 0.05) << "x " << x;
        }
    }
}

// ---- The Newton Jacobian ----------------------------------------------------------------------

TEST(LayerJacobian, AgreesWithFiniteDifferencesOfTheResiduals)
{
    // A plate in pressure gradients, decelerating above and accelerating below, whose upper
    // layer turns turbulent freely and the lower one at a trip: every kind of interval.
    LayerSettings settings = plateSettings(5e6, 2);
    settings.forced = {1, 0.5};
    // Near the leading edge the speed grows from the stagnation point in proportion to xi, as
    // about a rounded nose, so that the first intervals start at the stagnation-point flow.
    LayerSystem layers = flatPlate(settings, 1.0, 31);
    for (int side = 0; side < 2; ++side)
        for (int k = 0; k < layers.count(side); ++k) {
            const double xi = layers.xi(side, k);
            layers.state()[static_cast<std::size_t>(layers.first(side) + k)].q =
                side == 0 ? (1.05 - 0.15 * xi) * std::tanh(xi / 0.01) : (0.95 + 0.05 * xi) * std::tanh(xi / 0.02);
        }
    // Behind the plate the wake recovers speed.
    for (int k = 0; k < layers.count(2); ++k) {
        const double s = layers.stations().wake[static_cast<std::size_t>(k)];
        layers.state()[static_cast<std::size_t>(layers.first(2) + k)].q = 0.92 + 0.1 * s;
    }
    ASSERT_TRUE(layers.march());
    ASSERT_LT(layers.transition_station(0), layers.count(0) - 1);
    ASSERT_LT(layers.transition_station(1), layers.count(1) - 1);
    layers.assemble();

    const std::array<double, 2> slopes = layers.stagnation_slopes();
    ASSERT_NE(slopes[0], 0);
    const int n = layers.size();
    double StationState::* const unknown[] = {&StationState::c, &StationState::theta, &StationState::m,
                                              &StationState::q};
    double worst = 0;
    std::string where;
    for (int j = 0; j < n; ++j)
        for (int u = 0; u < 4; ++u) {
            // Derivatives by relative changes of the unknown (by absolute ones of an
            // amplification factor at zero), which are all of order one.
            const double value = layers.state()[static_cast<std::size_t>(j)].*unknown[u];
            const double scale = value != 0 ? std::fabs(value) : 1.0;
            const double h = 1e-6 * scale;
            std::array<LayerSystem, 2> probe{layers, layers};
            probe[0].state()[static_cast<std::size_t>(j)].*unknown[u] += h;
            probe[1].state()[static_cast<std::size_t>(j)].*unknown[u] -= h;
            probe[0].assemble();
            probe[1].assemble();
            for (int i = 0; i < n; ++i) {
                const LayerSystem::Row& row = layers.row(i);
                Eigen::Vector3d exact = Eigen::Vector3d::Zero();
                if (i == j)
                    exact += row.self.col(u);
                for (int k = 0; k < 2; ++k)
                    if (row.upstream[static_cast<std::size_t>(k)] == j)
                        exact += row.up[static_cast<std::size_t>(k)].col(u);
                // The first stations' speeds move the stagnation point, and with it every
                // surface station's distance from it.
                if (u == 3 && (j == layers.first(0) || j == layers.first(1)))
                    exact += slopes[j == layers.first(0) ? 0 : 1] * row.stagnation;
                const Eigen::Vector3d difference = (probe[0].row(i).r - probe[1].row(i).r) / (2 * h);
                // Relative to the derivative, or to 0.01 where it is smaller: the residuals are
                // logarithms and balances of order one.
                for (int e = 0; e < 3; ++e) {
                    const double error =
                        std::fabs(difference(e) - exact(e)) * scale / std::max(std::fabs(exact(e)) * scale, 1e-2);
                    if (error > worst) {
                        worst = error;
                        where = "row " + std::to_string(i) + " equation " + std::to_string(e) + " by unknown " +
                                std::to_string(u) + " of station " + std::to_string(j);
                    }
                }
            }
        }
    EXPECT_LT(worst, 1e-4) << where;
}

// ---- A section's layers and the panel method --------------------------------------------------

TEST(SectionLayers, MassFluxesCarryAllTheDisplacedMassIntoTheWake)
{
    const double alpha = 4 * kDeg, mach = 0.5;
    const Panelling p = repanel(naca_points(12, 65, false), nodes_for_level(2), NodeSpacing::Layers);
    PanelMethod pm;
    pm.build(p);
    FlowCase flow;
    flow.reynolds = 3e6;
    SectionLayers layers(p, pm, trace_wake(p, pm, alpha), layer_settings(flow, mach));
    OuterSpeeds outer;
    outer.nodes = std::cos(alpha) * pm.gamma0() + std::sin(alpha) * pm.gamma90();
    outer.wake = layers.wakeSpeeds(outer.nodes, alpha);
    layers.start(outer);

    // Defects growing along the chord from ahead of the nose, and from 30 % chord with none
    // ahead of it; along the wake they keep growing.
    const auto nodes = static_cast<Eigen::Index>(p.node.size());
    for (const double from : {-0.1, 0.3}) {
        SCOPED_TRACE(testing::Message() << "defects from x/c " << from);
        Eigen::VectorXd nodeDefect(nodes), wakeDefect(outer.wake.size());
        for (Eigen::Index i = 0; i < nodes; ++i)
            nodeDefect(i) = std::max(p.xc(static_cast<std::size_t>(i)) - from, 0.0) * 4e-3;
        for (Eigen::Index k = 0; k < wakeDefect.size(); ++k)
            wakeDefect(k) = 6e-3 + 1e-3 * static_cast<double>(k);
        Eigen::VectorXd nodeFlux, wakeFlux;
        layers.massFluxes(nodeDefect, wakeDefect, mach, nodeFlux, wakeFlux);

        const double ue = layers.result(alpha, mach).layers.wake.back().ue;
        const double carried = gas::density(gas::temperature(ue, mach)) * wakeDefect(wakeDefect.size() - 1);
        EXPECT_NEAR(nodeFlux.sum() + wakeFlux.sum(), carried, 1e-12);
        for (Eigen::Index i = 1; i + 1 < nodes; ++i)
            if (nodeDefect(i - 1) == 0 && nodeDefect(i) == 0 && nodeDefect(i + 1) == 0) {
                EXPECT_EQ(nodeFlux(i), 0) << "node " << i;
            }
    }

    // A defect alternating from node to node on the laminar front of the lower surface must give
    // the outer flow a flux at every node, or nothing holds a laminar bubble's displacement
    // against such a sawtooth.
    Eigen::VectorXd sawtooth = Eigen::VectorXd::Zero(nodes), wakeDefect = Eigen::VectorXd::Zero(outer.wake.size());
    for (Eigen::Index i = 0; i < nodes; ++i)
        if (p.node[static_cast<std::size_t>(i)].y < 0 && p.xc(static_cast<std::size_t>(i)) < 0.3)
            sawtooth(i) = i % 2 == 0 ? 2e-4 : 1e-4;
    Eigen::VectorXd nodeFlux, wakeFlux;
    layers.massFluxes(sawtooth, wakeDefect, mach, nodeFlux, wakeFlux);
    int checked = 0;
    for (Eigen::Index i = 0; i < nodes; ++i) {
        const double x = p.xc(static_cast<std::size_t>(i));
        if (p.node[static_cast<std::size_t>(i)].y < 0 && x > 0.02 && x < 0.25) {
            EXPECT_GT(std::fabs(nodeFlux(i)), 1e-5) << "node " << i << " at x/c " << x;
            ++checked;
        }
    }
    EXPECT_GT(checked, 10);
}

TEST(PanelMethod, WallSourcesBlowThroughTheWallFromAFluidAtRestInside)
{
    const Panelling p = repanel(naca_points(2412, 65, false), nodes_for_level(2));
    PanelMethod pm;
    pm.build(p);
    const auto panels = static_cast<Eigen::Index>(p.node.size()) - 1;
    // A smooth transpiration, out of the wall round the nose and into it towards the trailing
    // edge, and the vorticity that keeps the contour a streamline with it.
    constexpr double kStrength = 0.05;
    Eigen::VectorXd sigma(panels);
    for (Eigen::Index j = 0; j < panels; ++j) {
        const double s = 0.5 * (p.s[static_cast<std::size_t>(j)] + p.s[static_cast<std::size_t>(j) + 1]);
        sigma(j) = kStrength * std::cos(2 * kPi * (s - p.s_le) / p.s.back());
    }
    const Eigen::VectorXd gamma = pm.gammaOfPanelSources() * sigma;
    const auto velocity = [&](Point at) -> Eigen::Vector2d {
        Eigen::MatrixXd perVorticity, perSource;
        pm.velocityInfluence(at, perVorticity, perSource);
        return perVorticity * gamma + perSource * sigma;
    };
    // Mid-panel points aft on the upper surface, either side of the nose and on the lower one.
    for (const Eigen::Index j : {Eigen::Index(20), panels / 2 - 3, panels / 2 + 5, panels - 30}) {
        const Point a = p.node[static_cast<std::size_t>(j)], b = p.node[static_cast<std::size_t>(j) + 1];
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        const Eigen::Vector2d t((b.x - a.x) / length, (b.y - a.y) / length), outward(t.y(), -t.x());
        // The sheets' own jumps are reached as the offset vanishes; the rest of the contour adds
        // an error in proportion to it, largest over the nose's short, sharply turning panels.
        const double offset = 0.002 * length;
        const Point mid{0.5 * (a.x + b.x), 0.5 * (a.y + b.y)};
        const Eigen::Vector2d inside = velocity({mid.x - offset * outward.x(), mid.y - offset * outward.y()});
        const Eigen::Vector2d outside = velocity({mid.x + offset * outward.x(), mid.y + offset * outward.y()});
        SCOPED_TRACE(testing::Message() << "panel " << j << " at x " << mid.x);
        // The stream function is held at the nodes only: between them the inside stirs a little.
        EXPECT_LT(inside.norm(), 0.05 * kStrength);
        EXPECT_NEAR((outside - inside).dot(outward), sigma(j), 0.02 * kStrength);
        // The vortex sheet: the jump along the wall is the surface speed.
        EXPECT_NEAR((outside - inside).dot(t), 0.5 * (gamma(j) + gamma(j + 1)), 0.02 * kStrength);
    }
}

// ---- Whole viscous sections against XFOIL ---------------------------------------------------------

/// XFOIL 6.99 on the same coordinates (65 points per surface, written to a file, loaded and
/// repanelled with PANE at its default 160 nodes), VISC at the Reynolds number, M 0, Ncrit 9.
struct XfoilCase {
    int digits;
    double reynolds, alpha, cl, cd, upper, lower;
};

TEST(ViscousSection, AgreesWithXfoil)
{
    const XfoilCase cases[] = {
        {12, 3e6, 0, 0.0000, 0.00509, 0.5132, 0.5132}, {12, 3e6, 4, 0.4424, 0.00618, 0.1476, 0.8704},
        {12, 3e6, 8, 0.8966, 0.00924, 0.0283, 0.9953}, {2412, 1e6, 2, 0.4529, 0.00578, 0.5257, 0.9661},
        {2412, 1e6, 6, 0.9020, 0.00932, 0.1861, 0.9999},
    };
    for (const XfoilCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "NACA " << c.digits << " Re " << c.reynolds << " alpha " << c.alpha);
        FlowCase flow;
        flow.prescribed_lift = false;
        flow.target = c.alpha;
        flow.mach = 0;
        flow.reynolds = c.reynolds;
        flow.ncrit = 9;
        const FlowResult r = solve_flow(naca_points(c.digits, 65, false), flow);
        EXPECT_EQ(r.status, kConverged);
        EXPECT_NEAR(r.cl, c.cl, std::max(0.02 * c.cl, 0.005));
        EXPECT_NEAR(r.cd, c.cd, 0.05 * c.cd);
        EXPECT_NEAR(r.transition_upper, c.upper, 0.03);
        EXPECT_NEAR(r.transition_lower, c.lower, 0.03);
    }
}

} // namespace
