// SPDX-License-Identifier: MIT
// The judgement of the coupled updates left at the end of the ordinary budget: when the layers
// are held and when the hold is lifted.

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

// Observes updates from the first one a judgement reads, ending at update `last`.
void observe(LayerHold& hold, const std::vector<Update>& updates, int last = kJudgeFrom)
{
    Eigen::VectorXd v(3);
    v << 1, -2, 0.5;
    int it = last - static_cast<int>(updates.size()) + 1;
    for (const Update& u : updates)
        hold.observe(it++, kJudgeFrom, u.size, u.size * u.direction * v, u.taken);
}

TEST(LayerHold, HoldsLayersWhoseUpdatesCircleAndLiftsTheHoldOnceTheyShrinkOneWay)
{
    // Taken whole, each update turning the last one back, none smaller: a cycle.
    std::vector<Update> circling;
    for (int k = 0; k < LayerHold::kWindow + 1; ++k)
        circling.push_back({1e-3, k % 2 == 0 ? 1 : -1, 1.0});
    LayerHold hold;
    observe(hold, circling);
    ASSERT_TRUE(hold.active());
    EXPECT_EQ(hold.hold(), LayerHold::kHold);

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
    std::vector<Update> cut;
    for (int k = 0; k < LayerHold::kWindow + 1; ++k)
        cut.push_back({1e-3, k % 2 == 0 ? 1 : -1, 0.2});
    LayerHold hold;
    observe(hold, cut);
    EXPECT_FALSE(hold.active());
    EXPECT_EQ(hold.hold(), 0.0);
}

} // namespace
