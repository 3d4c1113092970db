// SPDX-License-Identifier: MIT
// Undo and redo in both editors, through the keys and mouse events a user sends.
#include "edit_tc/FormEditTC.h"
#include "edit_ul/FormEditUL.h"
#include "geometry/EditHistory.h"
#include "geometry/GwoWriter.h"
#include "support/EditorFixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <memory>

using namespace camber;
using camber::test::FakeSolver;

namespace {

// The .gwo file Save would write now.
std::vector<std::string> savedGwo()
{
    auto copy = std::make_unique<SectionState>(state());
    return gwo_lines(*copy);
}

} // namespace

template <typename Editor>
class EditorHistory : public test::EditorFixture<Editor> {
protected:
    using Base = test::EditorFixture<Editor>;
    /// Chooses a point to drag: its set made active, the point chosen, its box ticked.
    static void choose(const char* option, const char* tick)
    {
        const bool secondSet = QByteArray(option).startsWith("Opt_PT");
        Base::template control<QRadioButton>(secondSet ? "Opt_TC(1)" : "Opt_TC(0)")->click();
        Base::template control<QRadioButton>(option)->click();
        auto* box = Base::template control<QCheckBox>(tick);
        if (!box->isChecked())
            box->click();
    }
    /// A completed drag: the right button pressed, two moves and the release.
    static void pull(double x, double y)
    {
        Base::send("Pict_S", QEvent::MouseButtonPress, x, 0.0, Qt::RightButton, Qt::RightButton);
        Base::rightDrag(x, y / 2);
        Base::rightDrag(x, y);
        Base::send("Pict_S", QEvent::MouseButtonRelease, x, y, Qt::RightButton, Qt::NoButton);
    }
    static void drag(const char* option, const char* tick, double x, double y)
    {
        choose(option, tick);
        pull(x, y);
    }
    static void key(int k, Qt::KeyboardModifiers mods) { test::pressKey(&Base::editor(), k, mods); }
    static void undo() { key(Qt::Key_Z, Qt::ControlModifier); }
    static void redo(bool withY) { withY ? key(Qt::Key_Y, Qt::ControlModifier) : key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }
};

using Editors = ::testing::Types<edit_ul::FormEditUL, edit_tc::FormEditTC>;
TYPED_TEST_SUITE(EditorHistory, Editors);

TYPED_TEST(EditorHistory, UndoAndRedoRestoreEveryDragExactly)
{
    using T = EditorHistory<TypeParam>;
    // Point 4 of the second set up, point 3 of it along the chord, point 5 of the first set down;
    // the state is kept just before and just after each drag.
    const struct {
        const char* option;
        const char* tick;
        double x, y;
    } drags[] = {{"Opt_PT(3)", "Chk_YT(3)", 0.5, 0.02}, {"Opt_PT(2)", "Chk_XT(2)", 0.25, 0.0},
                 {"Opt_P(4)", "Chk_Y(4)", 2.0 / 3, -0.01}};
    std::vector<EditSnapshot> before, after;
    std::vector<std::vector<std::string>> gwoBefore, gwoAfter;
    for (const auto& d : drags) {
        T::choose(d.option, d.tick);
        before.push_back(capture(state()));
        gwoBefore.push_back(savedGwo());
        T::pull(d.x, d.y);
        after.push_back(capture(state()));
        gwoAfter.push_back(savedGwo());
        ASSERT_NE(after.back(), before.back()) << d.option << " moved";
    }

    const std::string thickness = T::text("Txt_ythick").toStdString();
    for (int k = 2; k >= 0; --k) {
        T::undo();
        EXPECT_EQ(capture(state()), before[static_cast<std::size_t>(k)]) << "undoing drag " << k + 1;
        EXPECT_EQ(savedGwo(), gwoBefore[static_cast<std::size_t>(k)]) << "the saved section, byte for byte";
    }
    EXPECT_NE(T::text("Txt_ythick").toStdString(), thickness) << "the read-outs follow";
    T::undo();
    EXPECT_EQ(capture(state()), before.front()) << "nothing more to undo";

    for (int k = 0; k < 3; ++k) {
        T::redo(k % 2 == 1);
        EXPECT_EQ(capture(state()), after[static_cast<std::size_t>(k)]) << "redoing drag " << k + 1;
        EXPECT_EQ(savedGwo(), gwoAfter[static_cast<std::size_t>(k)]);
    }
    EXPECT_EQ(T::text("Txt_ythick").toStdString(), thickness);
}

TYPED_TEST(EditorHistory, AFlowConditionIsAStepAndTheHistoryEndsWithTheEditor)
{
    using T = EditorHistory<TypeParam>;
    T::template control<QPushButton>("Cmd_SMESH")->click();
    auto& pressure = ui::Windows::get<cp::FrmSmesh>();
    auto* re = pressure.findChild<QLineEdit*>("Txt_Re");
    ASSERT_NE(re, nullptr);
    test::typeInto(re, "6.5");
    EXPECT_EQ(state().flow.reynolds, 6.5e6);
    T::drag("Opt_PT(3)", "Chk_YT(3)", 0.5, 0.02);

    T::undo();
    T::undo();
    EXPECT_EQ(state().flow.reynolds, 30e6);
    EXPECT_EQ(re->text(), "30") << "the pressure window shows the restored condition";
    EXPECT_EQ(FakeSolver::last.reynolds, 30e6) << "and calculates with it";
    // Ctrl+Y in the pressure window redoes the editor's step.
    test::pressKey(&pressure, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(state().flow.reynolds, 6.5e6);
    EXPECT_EQ(re->text(), "6.5");

    // Opened anew, the editor has no history.
    const EditSnapshot now = capture(state());
    T::editor().close();
    test::processDeferred();
    T::editor().openForEditing();
    T::undo();
    EXPECT_EQ(capture(state()).flow, now.flow);
    EXPECT_EQ(capture(state()).d_cp2, now.d_cp2);
}

TYPED_TEST(EditorHistory, KeepsAtLeastAHundredDrags)
{
    using T = EditorHistory<TypeParam>;
    T::choose("Opt_PT(3)", "Chk_YT(3)");
    const EditSnapshot start = capture(state());
    for (int i = 1; i <= 120; ++i)
        T::pull(0.5, 0.0002 * i);
    for (int i = 0; i < 120; ++i)
        T::undo();
    EXPECT_EQ(capture(state()), start);
}
