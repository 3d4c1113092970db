// SPDX-License-Identifier: MIT
#include "cp/FrmSmesh.h"

#include "edit_ul/FormEditUL.h"
#include "support/EditorFixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <algorithm>

#include <gtest/gtest.h>

using namespace camber;
using camber::edit_ul::FormEditUL;
using camber::test::FakeSolver;

class PressureWindow : public test::EditorFixture<FormEditUL> {
protected:
    void TearDown() override
    {
        EditorFixture::TearDown();
        set_solver_library_path(default_solver_path());
    }
    template <typename T>
    static T* in(QWidget& w, const char* name)
    {
        auto* c = w.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    static void dragStep() { rightDrag(0.5, 0.0); }
    static QString status() { return in<QLineEdit>(ui::Windows::get<cp::FrmSmesh>(), "TxtCol")->text(); }
};

TEST_F(PressureWindow, ADragStepCreatesItHiddenAndItsLoadCalculatesFirst)
{
    ASSERT_EQ(ui::Windows::find<cp::FrmSmesh>(), nullptr);
    dragStep();
    auto* window = ui::Windows::find<cp::FrmSmesh>();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(state().n_calc, 2) << "the load's calculation and the interrupted one";
    EXPECT_EQ(FakeSolver::calls, 1) << "the same flow is solved once";
    EXPECT_EQ(state().cp_win, 0) << "only Plot Cp makes the scroll bars recalculate";
    EXPECT_EQ(state().cp0(10), state().cp(1, 10)) << "the first curve is kept as the initial one";

    in<QPushButton>(FormEditUL::instance(), "Cmd_SMESH")->click();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(state().cp_win, 1);
}

TEST_F(PressureWindow, AFailedCalculationIsFlaggedAndTheEditorGoesOn)
{
    FakeSolver::status = -2;
    in<QPushButton>(FormEditUL::instance(), "Cmd_SMESH")->click();
    EXPECT_EQ(status(), "Calc. is not OK");
    EXPECT_EQ(in<QLineEdit>(FormEditUL::instance(), "Txt_Clift")->text(), "0.500") << "results are still shown";
    FakeSolver::status = 0;
    in<QScrollBar>(FormEditUL::instance(), "HScr_M")->setValue(650);
    EXPECT_EQ(status(), "Calculation - OK");

    // Without the solver library nothing new can be shown, but nothing stops either.
    set_solver_function(nullptr);
    set_solver_library_path("/nonexistent/libsmesh.so");
    test::ErrorCollector errors;
    dragStep();
    EXPECT_EQ(status(), "Calc. is not OK");
    EXPECT_TRUE(errors.messages().isEmpty()) << "no message box on every drag step";
    EXPECT_TRUE(FormEditUL::instance().isVisible());
}

TEST_F(PressureWindow, CpSaveKeepsASnapshotOfAllPoints)
{
    in<QPushButton>(FormEditUL::instance(), "Cmd_SMESH")->click();
    state().cp_x(129) = 0.25f;
    state().cp(1, 129) = -0.75f;
    in<QPushButton>(FormEditUL::instance(), "Cmd_CpSave")->click();
    EXPECT_EQ(state().cp_x_sv(129), 0.25f);
    EXPECT_EQ(state().cp_sv(129), -0.75f);
    EXPECT_EQ(state().cp_sv(1), state().cp(1, 1));
}

TEST_F(PressureWindow, SaveCpToFileWritesTheCpFile)
{
    test::TempDir dir;
    state().f_cpo = dir.file("wing.cpo");
    in<QPushButton>(FormEditUL::instance(), "Cmd_SMESH")->click();
    in<QPushButton>(ui::Windows::get<cp::FrmSmesh>(), "Cmd_SaveCp")->click();
    const std::string text = test::slurp(state().f_cpo);
    EXPECT_EQ(text.substr(80, 44), "\r\n<  MACH  ><  ALPHA ><  CLIFT ><   EPS  >\r\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4 + 129);
}

TEST_F(PressureWindow, AnAngleBeyondTheScrollBarPutsItAtItsEndAndKeepsTheAngle)
{
    // The stand-in solver needs 25 degrees for a lift coefficient of 2.5 (plus the camber's share).
    in<QLineEdit>(FormEditUL::instance(), "Txt_cl")->setText("2.5");
    in<QPushButton>(FormEditUL::instance(), "Cmd_SMESH")->click();
    EXPECT_EQ(in<QScrollBar>(FormEditUL::instance(), "HScr_A")->value(), 2000);
    const double shown = in<QLineEdit>(FormEditUL::instance(), "Txt_alpha")->text().toDouble();
    EXPECT_NEAR(shown, state().alpha, 1e-3);
    EXPECT_GT(shown, 10.0);
}

TEST_F(PressureWindow, ResizingKeepsThePlotShapeAndRecalculates)
{
    in<QPushButton>(FormEditUL::instance(), "Cmd_SMESH")->click();
    auto& window = ui::Windows::get<cp::FrmSmesh>();
    auto* pict = in<ui::DrawingSurface>(window, "Pict_CP");
    const double ratio = static_cast<double>(pict->height()) / pict->width();
    const int before = state().n_calc;
    window.resize(window.width() + 100, window.height());
    EXPECT_NEAR(static_cast<double>(pict->height()) / pict->width(), ratio, 0.01);
    EXPECT_GT(state().n_calc, before);
}
