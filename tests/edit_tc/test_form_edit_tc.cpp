// SPDX-License-Identifier: MIT
#include "edit_tc/FormEditTC.h"

#include "support/EditorFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>

#include <gtest/gtest.h>

using namespace camber;
using camber::edit_tc::FormEditTC;
using camber::test::FakeSolver;

class EditorTC : public test::EditorFixture<FormEditTC> {
protected:
    static void leftClick(double x, double y) { press(x, y); }
    static int stationNear(float x) { return test::stationNear(state(), x); }
};

TEST_F(EditorTC, OpensOnTheCamberViewWithPointThreeSelected)
{
    EXPECT_EQ(editor().windowTitle(), "Pict_TC(Wing Section)");
    EXPECT_TRUE(control<QRadioButton>("Opt_TC(0)")->isChecked());
    EXPECT_TRUE(control<QRadioButton>("Opt_P(2)")->isChecked());
    EXPECT_EQ(state().k_tcp1, 3);
    EXPECT_EQ(control<QLineEdit>("Txt_alpha")->text(), "0.50");
    EXPECT_FLOAT_EQ(state().tbox1_y2(4), 0.04f);
    // The camber view's scale: y from 0.032 at the top to -0.032 at the bottom.
    EXPECT_NEAR(pict("Pict_S")->toUser({0, 0}).y(), 0.032, 1e-9);
}

TEST_F(EditorTC, SwitchingTheActiveSetChangesViewAndBoxesButNeitherSet)
{
    state().d_tcp1(1, 4) = 0.01f;
    state().d_tcp2(1, 4) = 0.02f;
    control<QRadioButton>("Opt_TC(1)")->click();
    EXPECT_NEAR(pict("Pict_S")->toUser({0, 0}).y(), 0.102, 1e-9) << "thickness view";
    EXPECT_FLOAT_EQ(state().tbox2_y1(1), 0.0f);
    EXPECT_FLOAT_EQ(state().tbox2_y2(4), 0.04f);
    control<QRadioButton>("Opt_TC(0)")->click();
    EXPECT_NEAR(pict("Pict_S")->toUser({0, 0}).y(), 0.032, 1e-9) << "camber view";
    EXPECT_EQ(state().d_tcp1(1, 4), 0.01f);
    EXPECT_EQ(state().d_tcp2(1, 4), 0.02f);
}

TEST_F(EditorTC, ThicknessPointFourOpensTheSectionAndKeepsTheCamber)
{
    control<QRadioButton>("Opt_TC(1)")->click();
    control<QRadioButton>("Opt_PT(3)")->click();
    control<QCheckBox>("Chk_YT(3)")->click();
    rightDrag(0.5, 0.02);
    const int mid = stationNear(0.5f);
    EXPECT_NEAR(state().y_up(1, mid) - state().y_up0(1, mid), 0.02f, 2e-4f);
    EXPECT_NEAR(state().y_lo(1, mid) - state().y_lo0(1, mid), -0.02f, 2e-4f);
    for (int j = 1; j <= state().n_up(1); ++j)
        EXPECT_NEAR(state().camb(1, j), state().camb0(1, j), 1e-6f);
    EXPECT_FALSE(control<QLineEdit>("Txt_ythick")->text().isEmpty());
    EXPECT_GT(FakeSolver::calls, 0);

    rightDrag(0.5, 0.3);
    EXPECT_FLOAT_EQ(state().d_tcp2(1, 4), 0.04f) << "the band stops at 0.04";
}

TEST_F(EditorTC, CamberPointFourMovesBothSurfacesTogether)
{
    control<QRadioButton>("Opt_P(3)")->click();
    control<QCheckBox>("Chk_Y(3)")->click();
    rightDrag(0.5, 0.015);
    const int mid = stationNear(0.5f);
    EXPECT_NEAR(state().y_up(1, mid) - state().y_up0(1, mid), 0.015f, 2e-4f);
    EXPECT_NEAR(state().y_lo(1, mid) - state().y_lo0(1, mid), 0.015f, 2e-4f);
    rightDrag(0.5, -0.2);
    EXPECT_FLOAT_EQ(state().d_tcp1(1, 4), -0.04f);
}

TEST_F(EditorTC, ThicknessPointsArePickedMoreGenerously)
{
    leftClick(0.5, 0.002);
    EXPECT_EQ(state().k_tcp1, 3) << "the camber set picks within 0.001 only";
    control<QRadioButton>("Opt_TC(1)")->click();
    leftClick(0.5, 0.002);
    EXPECT_EQ(state().k_tcp2, 4);
    EXPECT_TRUE(control<QRadioButton>("Opt_PT(3)")->isChecked());
}

TEST_F(EditorTC, ReadoutsUseTheMaskOfEachPicture)
{
    const double x = state().x_c(1, state().n_up(1)) + 0.123456;
    send("Pict_F", QEvent::MouseMove, x, 0.01, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(control<QLabel>("Label_x")->text(), "x=0.12346");
    send("Pict_S", QEvent::MouseMove, x, 0.01, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(control<QLabel>("Label_x")->text(), "x=0.123");
}

TEST_F(EditorTC, ClosingTheEditorClosesThePressureWindow)
{
    bool closed = false;
    editor::EditorWindow::setClosedHandler([&] { closed = true; });
    control<QRadioButton>("Opt_P(3)")->click();
    rightDrag(0.5, 0.0);
    ASSERT_NE(ui::Windows::find<cp::FrmSmesh>(), nullptr) << "a drag step creates the pressure window hidden";
    EXPECT_FALSE(ui::Windows::find<cp::FrmSmesh>()->isVisible());
    editor().close();
    test::processDeferred();
    EXPECT_TRUE(closed);
    EXPECT_EQ(ui::Windows::find<cp::FrmSmesh>(), nullptr);
    editor::EditorWindow::setClosedHandler({});
}
