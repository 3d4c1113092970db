// SPDX-License-Identifier: MIT
// The judgement of the coupled updates left at the end of the ordinary budget: when the layers
// are held, when the hold is lifted, and when a shrinking series is given more updates.

#include "solver/LayerHold.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using camber::smesh::fp::LayerHold;

// The judgement starts at update 59, as in the solver; the window before it is observed first.
constexpr int kJudgeFrom = 59;

struct Update {
    double size;
    int direction; // the potential's change: +1 or -1 times one fixed vector
    double taken;
};

// Observes updates from the first one a judgement reads, the last at the first judgement.
void observe(LayerHold& hold, const std::vector<Update>& updates)
{
    Eigen::VectorXd v(3);
    v << 1, -2, 0.5;
    int it = kJudgeFrom - static_cast<int>(updates.size()) + 1;
    for (const Update& u : updates)
        hold.observe(it++, kJudgeFrom, u.size, u.size * u.direction * v, u.taken);
}

std::vector<Update> sizes(const std::vector<double>& s)
{
    std::vector<Update> u;
    for (const double v : s)
        u.push_back({v, 1, 1.0});
    return u;
}

// A window of updates of one size, each turning the last one back, of which the layers took the
// share taken.
std::vector<Update> circling(double taken)
{
    std::vector<Update> u;
    for (int k = 0; k < LayerHold::kWindow + 1; ++k)
        u.push_back({1e-3, k % 2 == 0 ? 1 : -1, taken});
    return u;
}

struct SettleCase {
    const char* what;
    std::vector<double> sizes; // the window's updates, the last at the judgement
    int more;
    bool settles;
};

TEST(LayerHold, GivesMoreUpdatesOnlyToASeriesThatShrinksToTheToleranceWithinThem)
{
    const std::vector<SettleCase> cases{
        // The lagged entropy and the layers taking turns: not smaller one by one, sevenfold in all.
        {"zig-zag, sevenfold over the window", {2.45e-7, 4.15e-7, 1.65e-7, 1.41e-7, 3.45e-8}, 30, true},
        // 0.88 per update from 1.9e-7 reaches 1e-8 in 23 updates.
        {"steady, 23 updates to go", {3.2e-7, 2.8e-7, 2.45e-7, 2.15e-7, 1.9e-7}, 30, true},
        {"steady, 23 updates to go, 20 given", {3.2e-7, 2.8e-7, 2.45e-7, 2.15e-7, 1.9e-7}, 20, false},
        {"creeping, 0.98 per update", {1.08e-4, 1.06e-4, 1.04e-4, 1.02e-4, 1e-4}, 30, false},
        {"last not the smallest", {1e-6, 5e-7, 1e-7, 2e-7, 1.5e-7}, 30, false},
        {"growing", {1e-7, 2e-7, 4e-7, 8e-7, 1.6e-6}, 30, false},
        {"already below the tolerance", {4e-8, 3e-8, 2e-8, 1.5e-8, 5e-9}, 30, true},
    };
    for (const SettleCase& c : cases) {
        LayerHold hold;
        observe(hold, sizes(c.sizes));
        EXPECT_EQ(hold.settles(1e-8, c.more), c.settles) << c.what;
        EXPECT_FALSE(hold.active()) << c.what;
    }
}

TEST(LayerHold, HoldsLayersWhoseUpdatesCircleAndLiftsTheHoldOnceTheyShrinkOneWay)
{
    // Taken whole, each update turning the last one back, none smaller: a cycle.
    LayerHold hold;
    observe(hold, circling(1.0));
    ASSERT_TRUE(hold.active());
    EXPECT_EQ(hold.hold(), LayerHold::kHold);
    EXPECT_FALSE(hold.settles(1e-8, 30));

    // Still circling a window later: the next level, which is the last.
    int it = kJudgeFrom;
    for (int window = 0; window < 2; ++window)
        for (int k = 0; k < LayerHold::kWindow; ++k, ++it)
            hold.observe(it + 1, kJudgeFrom, 1e-3, (k % 2 == 0 ? -1.0 : 1.0) * Eigen::Vector3d(1, -2, 0.5), 1.0);
    EXPECT_EQ(hold.hold(), 3 * LayerHold::kHold);

    // Shrinking steadily in one direction: lifted a level per window.
    for (int k = 0; k < LayerHold::kWindow; ++k, ++it)
        hold.observe(it + 1, kJudgeFrom, 1e-4 / (k + 1), Eigen::Vector3d(1, -2, 0.5) / (k + 1), 1.0);
    EXPECT_EQ(hold.hold(), LayerHold::kHold);
}

TEST(LayerHold, LeavesAloneUpdatesThatTheLayersBoundCutsShort)
{
    // Circling, but most of each update is cut by the bound on the layers' changes: holding
    // them would only cut it further.
    LayerHold hold;
    observe(hold, circling(0.2));
    EXPECT_FALSE(hold.active());
    EXPECT_EQ(hold.hold(), 0.0);
}

} // namespace
