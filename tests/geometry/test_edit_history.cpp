// SPDX-License-Identifier: MIT
#include "geometry/EditHistory.h"

#include <gtest/gtest.h>

#include <memory>

using namespace camber;

namespace {

class History : public ::testing::Test {
protected:
    void SetUp() override { s = std::make_unique<SectionState>(); }
    // One step that sets a value, as a drag or a flow change does.
    template <typename Change>
    void step(Change change)
    {
        history.begin(*s);
        change(*s);
        history.commit(*s);
    }
    std::unique_ptr<SectionState> s;
    EditHistory history;
};

} // namespace

TEST_F(History, AStepThatChangesNothingIsNotKept)
{
    step([](SectionState&) {});
    EXPECT_EQ(history.undoSteps(), 0u);
    EXPECT_FALSE(history.undo(*s));
}

TEST_F(History, UndoAndRedoWalkTheStepsBackAndForthExactly)
{
    std::vector<EditSnapshot> seen{capture(*s)};
    step([](SectionState& t) { t.y_up(1, 7) = 0.0123f; t.d_cp2(1, 4) = 0.01f; t.box2_y2(4) = 0.09f; });
    seen.push_back(capture(*s));
    step([](SectionState& t) { t.x_tcp2(1, 3) = 0.3f; t.tbox2_x1(3) = 0.1f; t.camb(1, 2) = -1e-7f; });
    seen.push_back(capture(*s));
    step([](SectionState& t) { t.flow.reynolds = 6.5e6; });
    seen.push_back(capture(*s));

    for (int k = 2; k >= 0; --k) {
        ASSERT_TRUE(history.undo(*s));
        EXPECT_EQ(capture(*s), seen[static_cast<std::size_t>(k)]) << "after undoing step " << k + 1;
    }
    EXPECT_FALSE(history.undo(*s));
    for (int k = 1; k <= 3; ++k) {
        ASSERT_TRUE(history.redo(*s));
        EXPECT_EQ(capture(*s), seen[static_cast<std::size_t>(k)]) << "after redoing step " << k;
    }
    EXPECT_FALSE(history.redo(*s));

    // A new step after an undo forgets what could be redone.
    history.undo(*s);
    step([](SectionState& t) { t.flow.ncrit = 5; });
    EXPECT_EQ(history.redoSteps(), 0u);
    EXPECT_FALSE(history.redo(*s));
    EXPECT_EQ(s->flow.ncrit, 5);
}

TEST_F(History, UndoClosesAStepStillOpen)
{
    history.begin(*s);
    s->d_lo(1, 3) = 0.02f;
    EXPECT_TRUE(history.open());
    ASSERT_TRUE(history.undo(*s)) << "a drag whose button is still down is one step";
    EXPECT_EQ(s->d_lo(1, 3), 0.0f);
    ASSERT_TRUE(history.redo(*s));
    EXPECT_EQ(s->d_lo(1, 3), 0.02f);
}

TEST_F(History, KeepsTheLatestStepsUpToItsDepth)
{
    const int steps = static_cast<int>(EditHistory::kDepth) + 100;
    for (int i = 1; i <= steps; ++i)
        step([i](SectionState& t) { t.y_lo(1, 2) = static_cast<Single>(i); });
    EXPECT_EQ(history.undoSteps(), EditHistory::kDepth);
    while (history.undo(*s)) {
    }
    EXPECT_EQ(s->y_lo(1, 2), 100.0f) << "the oldest steps are forgotten first";
    EXPECT_EQ(history.redoSteps(), EditHistory::kDepth);
    history.clear();
    EXPECT_FALSE(history.redo(*s));
}

