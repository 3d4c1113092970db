// SPDX-License-Identifier: MIT
#include "cp/FrmPolar.h"

#include "edit_ul/FormEditUL.h"
#include "support/EditorFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <semaphore>

using namespace camber;
using camber::edit_ul::FormEditUL;
using camber::test::FakeSolver;

/// The polar window opened from the pressure window of the upper/lower editor, with the
/// stand-in solver, whose calculations on a memory of their own (the sweep's) wait for a permit
/// while a test holds them.
class PolarWindow : public test::EditorFixture<FormEditUL> {
protected:
    void SetUp() override
    {
        EditorFixture::SetUp();
        set_solver_functions(FakeSolver::functions());
        FakeSolver::beforeSolve = [this](SmeshSolver* memory) {
            if (memory != nullptr && m_holding)
                m_permits.acquire();
        };
        test::in<QPushButton>(FormEditUL::instance(), "Cmd_SMESH")->click();
        test::in<QPushButton>(ui::Windows::get<cp::FrmSmesh>(), "Cmd_Polar")->click();
    }
    void TearDown() override
    {
        m_holding = false;
        m_permits.release(100);
        EditorFixture::TearDown();
        FakeSolver::beforeSolve = nullptr;
    }
    static cp::FrmPolar& window() { return ui::Windows::get<cp::FrmPolar>(); }
    template <typename T>
    static T* find(const char* name) { return test::in<T>(window(), name); }
    static QLineEdit* box(const char* name) { return find<QLineEdit>(name); }
    static QString status() { return find<QLabel>("Lbl_Status")->text(); }
    static int done() { return find<QProgressBar>("Prg_Sweep")->value(); }
    static void sweep(const char* from, const char* to, const char* step)
    {
        box("Txt_From")->setText(from);
        box("Txt_To")->setText(to);
        box("Txt_Step")->setText(step);
        find<QPushButton>("Cmd_Compute")->click();
    }
    static bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 10000); }
    /// Lets n of the held calculations go.
    void allow(int n) { m_permits.release(n); }
    /// Pixels of a colour in a picture of the window.
    static int pixels(const char* picture, QColor colour)
    {
        const QImage image = find<ui::DrawingSurface>(picture)->image();
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += image.pixelColor(x, y) == colour;
        return n;
    }

    bool m_holding = true;
    std::counting_semaphore<1000> m_permits{0};
};

TEST_F(PolarWindow, ASweepRunsBesideTheEditorAndItsPointsAppearAsTheyAreComputed)
{
    ASSERT_TRUE(window().isVisible());
    EXPECT_TRUE(find<QRadioButton>("Opt_Sweep(0)")->isChecked()) << "a drag polar first";
    EXPECT_EQ(box("Txt_Fixed")->text(), "0.70") << "the pressure window's Mach number";
    const QString flow = find<QLabel>("Lbl_Flow")->text();
    EXPECT_TRUE(flow.startsWith("Re 30.0 million, Ncrit 9, level 2")) << flow.toStdString();
    const int editorCalculations = state().n_calc;

    sweep("0", "0.8", "0.2");
    allow(2);
    ASSERT_TRUE(waitFor([] { return done() == 2; }));
    EXPECT_TRUE(window().running());
    EXPECT_EQ(status(), "2 of 5 points");
    EXPECT_FALSE(find<QPushButton>("Cmd_Compute")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("Cmd_Cancel")->isEnabled());
    EXPECT_NE(FakeSolver::lastMemory, nullptr) << "the sweep solves on a memory of its own";
    EXPECT_EQ(FakeSolver::memories, 1);

    // The editor goes on calculating on the program's memory while the sweep waits.
    test::in<QScrollBar>(FormEditUL::instance(), "HScr_M")->setValue(650);
    EXPECT_EQ(state().n_calc, editorCalculations + 1);
    EXPECT_EQ(FakeSolver::lastMemory, nullptr);

    allow(3);
    ASSERT_TRUE(waitFor([] { return !window().running(); }));
    EXPECT_EQ(done(), 5);
    EXPECT_EQ(status(), "5 points");
    EXPECT_EQ(FakeSolver::memories, 0) << "the sweep's memory is freed";
    EXPECT_EQ(FakeSolver::last.prescribed_lift, 1);
    EXPECT_NEAR(FakeSolver::last.target, 0.8, 1e-6) << "the last point of the sweep";
    EXPECT_NEAR(FakeSolver::last.mach, 0.7, 1e-6);
    EXPECT_TRUE(find<QPushButton>("Cmd_Save")->isEnabled());
    EXPECT_GT(pixels("Pict_CD", QColor(0, 0, 255)), 50);
}

TEST_F(PolarWindow, CancelMidWayKeepsTheFinishedPointsAndSavesThem)
{
    test::TempDir dir;
    box("Txt_File")->setText(QString::fromStdString(dir.file("cancelled.csv")));
    sweep("0", "0.9", "0.1");
    allow(3);
    ASSERT_TRUE(waitFor([] { return done() == 3; }));
    find<QPushButton>("Cmd_Cancel")->click();
    EXPECT_EQ(status(), "Cancelling after 3 of 10 points");
    allow(1); // the point under way when Cancel was pressed ends, and is not shown
    ASSERT_TRUE(waitFor([] { return !window().running(); }));
    EXPECT_EQ(done(), 3);
    EXPECT_EQ(status(), "Cancelled after 3 of 10 points");
    EXPECT_EQ(FakeSolver::memories, 0);

    find<QPushButton>("Cmd_Save")->click();
    const std::string csv = test::slurp(dir.file("cancelled.csv"));
    EXPECT_EQ(csv.rfind("mach,alpha,cl,cd,cd_wave,cd_friction,cm,xtr_upper,xtr_lower,status\r\n0.700,", 0), 0u) << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 3);
    EXPECT_NE(csv.find("\r\n0.700,", 60), std::string::npos);
}

TEST_F(PolarWindow, AMachSweepMarksTheDivergenceAndTheNextOneKeepsItGreyed)
{
    m_holding = false;
    find<QRadioButton>("Opt_Sweep(1)")->click();
    EXPECT_EQ(box("Txt_Fixed")->text(), "0.500") << "the pressure window's lift";
    EXPECT_EQ(box("Txt_From")->text(), "0.6");
    sweep("0.6", "0.8", "0.02");
    ASSERT_TRUE(waitFor([] { return !window().running(); }));
    // The stand-in's wave drag 2.5 (M - 0.72)^2 rises at 0.1 per Mach number at M 0.74.
    EXPECT_EQ(status(), "11 points, divergence Mach 0.740");
    const int greyBefore = pixels("Pict_Alpha", QColor(170, 170, 170));
    EXPECT_GT(pixels("Pict_CD", QColor(255, 0, 0)), 20) << "the divergence Mach number marked";

    // An edit moves the curve (the stand-in's angle follows the camber); the last one stays, grey.
    for (int j = 1; j <= state().n_up(1); ++j)
        state().y_up(1, j) += 0.01f;
    box("Txt_Fixed")->setText("0.6");
    find<QPushButton>("Cmd_Compute")->click();
    ASSERT_TRUE(waitFor([] { return !window().running(); }));
    EXPECT_GT(pixels("Pict_Alpha", QColor(170, 170, 170)), greyBefore + 50);
    EXPECT_GT(pixels("Pict_Alpha", QColor(0, 0, 255)), 50);

    // Back to the drag polar: its own range, no curve yet; and back again.
    find<QRadioButton>("Opt_Sweep(0)")->click();
    EXPECT_EQ(box("Txt_Step")->text(), "0.1");
    EXPECT_EQ(pixels("Pict_CD", QColor(0, 0, 255)), 0);
    find<QRadioButton>("Opt_Sweep(1)")->click();
    EXPECT_EQ(box("Txt_Step")->text(), "0.02");
    if (const char* shots = std::getenv("CAMBER_SCREENSHOTS"))
        window().grab().save(QString::fromLatin1(shots) + "/polar.png");
}

TEST_F(PolarWindow, ASweepThatCannotRunSaysWhyAndAClosedWindowEndsItsSweep)
{
    test::ErrorCollector errors;
    sweep("0", "1", "0");
    ASSERT_EQ(errors.messages().size(), 1);
    EXPECT_TRUE(errors.messages()[0].contains("step")) << errors.messages()[0].toStdString();
    EXPECT_FALSE(window().running());
    EXPECT_FALSE(find<QPushButton>("Cmd_Save")->isEnabled()) << "nothing to save";

    sweep("0", "1", "0.1");
    allow(1);
    ASSERT_TRUE(waitFor([] { return done() == 1; }));
    m_holding = false;
    allow(1);
    window().close();
    test::processDeferred();
    EXPECT_EQ(ui::Windows::find<cp::FrmPolar>(), nullptr);
    EXPECT_EQ(FakeSolver::memories, 0) << "the sweep ended with its window";
}

TEST(PolarPlotAxis, EndsOnWholeStepsOfOneTwoOrFive)
{
    struct Case {
        double low, high;
        cp::PlotAxis axis;
    };
    for (const Case& c : std::vector<Case>{{0.6, 0.8, {0.6, 0.8, 0.02}},
                                           {0.0061, 0.0334, {0.005, 0.035, 0.005}},
                                           {-0.2, 1.13, {-0.2, 1.2, 0.2}},
                                           {-4.2, 8.7, {-6, 10, 2}},
                                           {0.5, 0.5, {0.45, 0.55, 0.01}},  // one value: a span around it
                                           {0, 0, {-0.05, 0.05, 0.01}}}) {
        const cp::PlotAxis a = cp::nice_axis(c.low, c.high);
        EXPECT_NEAR(a.low, c.axis.low, 1e-12) << c.low << " " << c.high;
        EXPECT_NEAR(a.high, c.axis.high, 1e-12) << c.low << " " << c.high;
        EXPECT_NEAR(a.step, c.axis.step, 1e-15) << c.low << " " << c.high;
        const double divisions = (a.high - a.low) / a.step;
        EXPECT_TRUE(divisions >= 4 - 1e-9 && divisions <= 10 + 1e-9) << divisions;
    }
}
