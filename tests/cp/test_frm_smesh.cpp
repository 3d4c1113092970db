// SPDX-License-Identifier: MIT
#include "cp/FrmSmesh.h"

#include "edit_ul/FormEditUL.h"
#include "support/EditorFixture.h"

#include <QCheckBox>
#include <QLabel>
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

TEST_F(PressureWindow, FlowConditionsStartAsTheEditingButtonsAndReachTheSolver)
{
    in<QPushButton>(FormEditUL::instance(), "Cmd_SMESH")->click();
    auto& window = ui::Windows::get<cp::FrmSmesh>();
    EXPECT_EQ(in<QLineEdit>(window, "Txt_Re")->text(), "30");
    EXPECT_EQ(in<QLineEdit>(window, "Txt_Ncrit")->text(), "9");
    EXPECT_EQ(in<QLineEdit>(window, "Txt_XtrU")->text(), "") << "free transition";
    EXPECT_EQ(in<QLineEdit>(window, "Txt_XtrL")->text(), "");
    EXPECT_TRUE(in<QCheckBox>(window, "Chk_Viscous")->isChecked());
    EXPECT_TRUE(in<QRadioButton>(window, "Opt_Level(1)")->isChecked());

    const struct {
        const char* box;
        const char* typed;
        double SmeshCase::*field;
        double sent;
    } typed[] = {{"Txt_Re", "6.5", &SmeshCase::reynolds, 6.5e6},
                 {"Txt_Re", " 0.2 ", &SmeshCase::reynolds, 2e5},
                 {"Txt_Ncrit", "4", &SmeshCase::ncrit, 4},
                 {"Txt_XtrU", "0.05", &SmeshCase::transition_upper, 0.05},
                 {"Txt_XtrL", "1", &SmeshCase::transition_lower, 1},
                 {"Txt_XtrU", "", &SmeshCase::transition_upper, 0}};
    for (const auto& t : typed) {
        const int calls = FakeSolver::calls;
        test::typeInto(in<QLineEdit>(window, t.box), t.typed);
        EXPECT_EQ(FakeSolver::calls, calls + 1) << t.box << " " << t.typed << " recalculates once";
        EXPECT_DOUBLE_EQ(FakeSolver::last.*t.field, t.sent) << t.box << " " << t.typed;
    }
    in<QCheckBox>(window, "Chk_Viscous")->click();
    EXPECT_EQ(FakeSolver::last.viscous, 0);
    in<QRadioButton>(window, "Opt_Level(2)")->click();
    EXPECT_EQ(FakeSolver::last.level, 3);
    EXPECT_EQ(state().flow.level, 3);
    const int calls = FakeSolver::calls;
    test::typeInto(in<QLineEdit>(window, "Txt_Ncrit"), "4.0");
    EXPECT_EQ(FakeSolver::calls, calls) << "the same value is no change";
}

TEST_F(PressureWindow, BadFlowConditionsAreRefusedAndNeverReachTheSolver)
{
    in<QPushButton>(FormEditUL::instance(), "Cmd_SMESH")->click();
    auto& window = ui::Windows::get<cp::FrmSmesh>();
    const FlowSettings good = state().flow;
    const struct {
        const char* box;
        const char* typed;
    } refused[] = {{"Txt_Re", "abc"},    {"Txt_Re", "-3"},     {"Txt_Re", "0"},      {"Txt_Re", "3e6x"},
                   {"Txt_Ncrit", "0.5"}, {"Txt_Ncrit", "21"},  {"Txt_Ncrit", "nine"}, {"Txt_XtrU", "1.5"},
                   {"Txt_XtrL", "-0.1"}, {"Txt_XtrL", "half"}, {"Txt_Re", "inf"}};
    auto* note = in<QLabel>(window, "Lbl_FlowNote");
    for (const auto& r : refused) {
        const int calls = FakeSolver::calls;
        auto* box = in<QLineEdit>(window, r.box);
        test::typeInto(box, r.typed);
        EXPECT_EQ(FakeSolver::calls, calls) << r.box << " " << r.typed;
        EXPECT_EQ(state().flow, good) << r.box << " " << r.typed;
        EXPECT_FALSE(box->styleSheet().isEmpty()) << r.box << " " << r.typed << " is marked";
        EXPECT_FALSE(note->text().isEmpty()) << r.box << " " << r.typed;
        EXPECT_EQ(box->text(), QString::fromLatin1(r.typed).trimmed()) << "left for the user to mend";
        // Mending the text takes it and clears the mark.
        test::typeInto(box, box == in<QLineEdit>(window, "Txt_Re") ? "30" : box == in<QLineEdit>(window, "Txt_Ncrit") ? "9" : "");
        EXPECT_TRUE(box->styleSheet().isEmpty()) << r.box;
        EXPECT_TRUE(note->text().isEmpty()) << r.box;
    }
    // A drag step recalculates with the last good conditions and leaves a refused text as it is.
    test::typeInto(in<QLineEdit>(window, "Txt_Ncrit"), "25");
    dragStep();
    EXPECT_EQ(FakeSolver::last.ncrit, 9);
    EXPECT_EQ(in<QLineEdit>(window, "Txt_Ncrit")->text(), "25");
}

TEST_F(PressureWindow, ShowsTheDragSplitTheLayersAndTheirEvents)
{
    in<QPushButton>(FormEditUL::instance(), "Cmd_SMESH")->click();
    auto& window = ui::Windows::get<cp::FrmSmesh>();
    const struct {
        const char* box;
        const char* shown;
    } readouts[] = {{"Txt_CdTotal", "0.01000"}, {"Txt_CdFric", "0.00600"}, {"Txt_CdPres", "0.00400"},
                    {"Txt_CdWave", "0.00000"},  {"Txt_TrUpper", "0.400"},  {"Txt_TrLower", "0.600"},
                    {"Txt_SepUpper", "1.000"},  {"Txt_SepLower", "1.000"}};
    for (const auto& r : readouts)
        EXPECT_EQ(in<QLineEdit>(window, r.box)->text(), r.shown) << r.box;

    // Skin friction and shape factor of both surfaces in their colours; the stand-in solver's
    // layers are alike, so the lower (red) hides the upper (blue) but for its transition mark.
    const QImage layers = in<ui::DrawingSurface>(window, "Pict_BL")->image();
    int blue = 0, red = 0;
    for (int y = 0; y < layers.height(); ++y)
        for (int x = 0; x < layers.width(); ++x) {
            const QColor c = layers.pixelColor(x, y);
            blue += c == QColor(0, 0, 255);
            red += c == QColor(255, 0, 0);
        }
    EXPECT_GT(blue, 10);
    EXPECT_GT(red, 200);
}
