// SPDX-License-Identifier: MIT
#include "edit_ul/FormEditUL.h"

#include "support/EditorFixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <gtest/gtest.h>

using namespace camber;
using camber::edit_ul::FormEditUL;
using camber::test::FakeSolver;

using EditorUL = test::EditorFixture<FormEditUL>;

TEST_F(EditorUL, OpensWithTheFlowCaseAndPointThreeOfTheLowerSurface)
{
    EXPECT_EQ(text("Txt_M"), "0.70");
    EXPECT_EQ(text("Txt_cl"), "0.50");
    EXPECT_EQ(text("Txt_alpha"), "0.40");
    EXPECT_TRUE(control<QRadioButton>("Opt_cl")->isChecked());
    EXPECT_FALSE(control<QRadioButton>("Opt_alpha")->isChecked());
    EXPECT_TRUE(control<QRadioButton>("Opt_TC(0)")->isChecked());
    EXPECT_TRUE(control<QRadioButton>("Opt_P(2)")->isChecked());
    EXPECT_TRUE(control<QRadioButton>("Opt_PT(2)")->isChecked());
    EXPECT_EQ(state().k_cp1, 3);
    EXPECT_EQ(state().k_cp2, 3);
    EXPECT_FALSE(control<QScrollBar>("HScr_A")->isEnabled());
    EXPECT_FALSE(control<QCheckBox>("Chk_X(0)")->isEnabled());
    EXPECT_FALSE(control<QRadioButton>("Opt_PT(6)")->isEnabled());
    EXPECT_EQ(editor().windowTitle(), "Pict_UL(Wing Section)");
    EXPECT_FLOAT_EQ(state().box1_x1(4), 1.0f / 3 + 0.005f) << "the boxes of the lower set are built";
    EXPECT_EQ(FakeSolver::calls, 0);
}

TEST_F(EditorUL, ScrollBarsShowTheirEndsAndRecomputeOnlyAfterPlotCp)
{
    auto* alpha = control<QScrollBar>("HScr_A");
    auto* mach = control<QScrollBar>("HScr_M");
    const struct {
        QScrollBar* bar;
        int value;
        const char* box;
        const char* shown;
    } ends[] = {{alpha, 0, "Txt_alpha", "-10.00"}, {alpha, 2000, "Txt_alpha", "10.00"},
                {mach, 200, "Txt_M", "0.20"},     {mach, 900, "Txt_M", "0.90"}};
    for (const auto& e : ends) {
        e.bar->setValue(e.value);
        EXPECT_EQ(text(e.box), e.shown);
    }
    EXPECT_EQ(FakeSolver::calls, 0) << "no calculation before the pressure window is opened";

    control<QPushButton>("Cmd_SMESH")->click();
    EXPECT_EQ(state().cp_win, 1);
    const int afterOpen = FakeSolver::calls;
    EXPECT_GE(afterOpen, 1);
    mach->setValue(700);
    EXPECT_EQ(FakeSolver::calls, afterOpen + 1);
    EXPECT_EQ(text("Txt_M"), "0.70");
    EXPECT_EQ(text("Txt_Clift"), "0.500");
    EXPECT_EQ(text("Txt_Cdrag"), "0.01000");
}

TEST_F(EditorUL, AngleOrLiftOptionEnablesTheAngleControls)
{
    auto* optAlpha = control<QRadioButton>("Opt_alpha");
    auto* optCl = control<QRadioButton>("Opt_cl");
    optAlpha->click();
    EXPECT_TRUE(control<QScrollBar>("HScr_A")->isEnabled());
    EXPECT_TRUE(control<QLineEdit>("Txt_alpha")->isEnabled());
    optCl->click();
    EXPECT_FALSE(control<QScrollBar>("HScr_A")->isEnabled());
    EXPECT_FALSE(control<QLineEdit>("Txt_alpha")->isEnabled());
    EXPECT_TRUE(control<QLineEdit>("Txt_cl")->isEnabled());
}

TEST_F(EditorUL, PickingUsesTheToleranceOfTheActiveSet)
{
    // Lower set: within 0.001 of the displacement.
    press(0.5, 0.002);
    EXPECT_EQ(state().k_cp1, 3);
    press(0.5, 0.0008);
    EXPECT_EQ(state().k_cp1, 4);
    EXPECT_TRUE(control<QRadioButton>("Opt_P(3)")->isChecked());
    // A right click picks nothing.
    press(2.0 / 3, 0.0, Qt::RightButton);
    EXPECT_EQ(state().k_cp1, 4);

    // Upper set: within 0.004.
    control<QRadioButton>("Opt_TC(1)")->click();
    EXPECT_FALSE(control<QRadioButton>("Opt_TC(0)")->isChecked()) << "one active set at a time";
    press(2.0 / 3, 0.003);
    EXPECT_EQ(state().k_cp2, 5);
    EXPECT_TRUE(control<QRadioButton>("Opt_PT(4)")->isChecked());
    EXPECT_EQ(state().k_cp1, 4) << "the inactive set keeps its selection";
}

TEST_F(EditorUL, RightDragMovesTheSelectedPointInsideItsBox)
{
    control<QRadioButton>("Opt_PT(3)")->click();  // upper point 4, makes the upper set active
    EXPECT_TRUE(control<QRadioButton>("Opt_TC(1)")->isChecked());
    control<QCheckBox>("Chk_YT(3)")->click();
    rightDrag(0.5, 0.03);
    EXPECT_NEAR(state().d_cp2(1, 4), 0.03f, 1e-4f);
    EXPECT_NEAR(state().d_cp2(1, 3), 0.03f, 1e-4f) << "point 4 carries its neighbours";
    EXPECT_NEAR(state().d_cp2(1, 5), 0.03f, 1e-4f);
    EXPECT_FALSE(text("Txt_ythick").isEmpty());
    EXPECT_FALSE(text("Txt_Clift").isEmpty()) << "the drag step runs the pressure calculation";
    const int mid = 31;
    EXPECT_GT(state().y_up(1, mid), state().y_up0(1, mid) + 0.02f);

    rightDrag(0.5, 0.5);
    EXPECT_FLOAT_EQ(state().d_cp2(1, 4), 0.08f) << "stops at the top of the box";
}

TEST_F(EditorUL, DragWithNothingTickedStillRecomputesAndKeepsTheSection)
{
    const int before = FakeSolver::calls;
    rightDrag(0.4, 0.05);
    EXPECT_GT(FakeSolver::calls, before);
    EXPECT_FALSE(text("Txt_xthick").isEmpty());
    EXPECT_EQ(state().y_up(1, 1), state().camb(1, 1));
    for (int j = 2; j <= state().n_up(1); ++j) {
        EXPECT_NEAR(state().y_up(1, j), state().y_up0(1, j), 1e-7f);
        EXPECT_NEAR(state().y_lo(1, j), state().y_lo0(1, j), 1e-7f);
    }
}

TEST_F(EditorUL, ResizingKeepsThePicturesInProportion)
{
    auto* pictF = control<ui::DrawingSurface>("Pict_F");
    const double aspect = static_cast<double>(pictF->height()) / pictF->width();
    const int offset = pict()->y() - pictF->height();
    const QPoint framePosition = control<QWidget>("Frm_cp")->pos();
    editor().resize(editor().width() + 200, editor().height());
    EXPECT_NEAR(static_cast<double>(pictF->height()) / pictF->width(), aspect, 0.01);
    EXPECT_EQ(pict()->width(), pictF->width());
    EXPECT_EQ(pict()->y() - pictF->height(), offset) << "Pict_S stays below Pict_F";
    EXPECT_EQ(control<QWidget>("Frm_cp")->pos(), framePosition) << "the controls do not move";
}

TEST_F(EditorUL, TheCamberScaleIsLabelledInsideItsPicture)
{
    rightDrag(0.5, 0.0);  // draws both pictures
    auto* pictF = pict("Pict_F");
    const QImage image = pictF->image();
    // The red camber labels stand right of the chord's end, inside the picture.
    const int chordEnd = static_cast<int>(pictF->toPixel({1.0, 0.0}).x()) + 2;
    ASSERT_LT(chordEnd, image.width() - 10) << "room is left for the labels";
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = chordEnd; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red += c.red() > 150 && c.green() < 120 && c.blue() < 120;
        }
    EXPECT_GT(red, 20);
}
