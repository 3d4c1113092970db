// SPDX-License-Identifier: MIT
// The program's windows together, with the real flow solver beside the test program.
#include "shell/Program.h"

#include "cp/FrmPolar.h"
#include "cp/FrmSmesh.h"
#include "edit_tc/FormEditTC.h"
#include "edit_ul/FormEditUL.h"
#include "geometry/Format.h"
#include "geometry/SectionState.h"
#include "shell/FileLists.h"
#include "shell/Form_inp.h"
#include "support/QtTestSupport.h"
#include "support/TestSupport.h"
#include "ui/DrawingSurface.h"
#include "ui/Windows.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

using namespace camber;

namespace {

class Program : public ::testing::Test {
protected:
    void SetUp() override
    {
        state() = SectionState{};
        m_oldCwd = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(m_dir.path().string()));
        connect_windows();
        start().show();
    }
    void TearDown() override
    {
        ui::Windows::closeAll();
        test::processDeferred();
        QDir::setCurrent(m_oldCwd);
    }
    static Form_inp& start() { return ui::Windows::get<Form_inp>(); }
    template <typename T = QWidget>
    static T* in(QWidget& window, const char* name)
    {
        auto* w = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void openExample(const char* file)
    {
        in<DirList>(start(), "Dir1")->setPath(QString::fromStdString(test::example("")));
        ASSERT_TRUE(in<FileList>(start(), "File1")->selectFile(file));
        in<QPushButton>(start(), "InputF")->click();
        in<QPushButton>(start(), "Cmd_Edit")->click();
    }
    static double number(QWidget& window, const char* box)
    {
        return text_to_number(in<QLineEdit>(window, box)->text().toStdString());
    }

    test::TempDir m_dir;
    QString m_oldCwd;
};

} // namespace

TEST_F(Program, GeometryEditionOpensTheUpperLowerEditorAndDisablesTheFileControls)
{
    openExample("naca2412.ULF");
    auto& editor = edit_ul::FormEditUL::instance();
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(in<QLineEdit>(editor, "Txt_M")->text(), "0.70");
    EXPECT_EQ(in<QLineEdit>(editor, "Txt_alpha")->text(), "0.40");
    for (const char* name : {"InputF", "Cmd_wing", "Cmd_Edit", "Drive1", "ComboFT", "Dir1", "File1"})
        EXPECT_FALSE(in(start(), name)->isEnabled()) << name;
    EXPECT_TRUE(in(start(), "Cmd_Save")->isEnabled());

    editor.close();
    test::processDeferred();
    for (const char* name : {"Drive1", "ComboFT", "Dir1", "File1"})
        EXPECT_TRUE(in(start(), name)->isEnabled()) << name;
}

TEST_F(Program, ThePressureWindowShowsTheDragSplitAndTheLayersOfTheDefaultCase)
{
    openExample("naca2412.ULF");
    auto& editor = edit_ul::FormEditUL::instance();
    in<QPushButton>(editor, "Cmd_SMESH")->click();
    auto& pressure = ui::Windows::get<cp::FrmSmesh>();
    EXPECT_EQ(in<QLineEdit>(pressure, "TxtCol")->text(), "Calculation - OK");
    const double total = number(pressure, "Txt_CdTotal");
    EXPECT_EQ(total, number(editor, "Txt_Cdrag"));
    const double parts = number(pressure, "Txt_CdFric") + number(pressure, "Txt_CdPres") + number(pressure, "Txt_CdWave");
    EXPECT_NEAR(parts, total, 2e-6) << "the parts add up to the total";
    EXPECT_GT(number(pressure, "Txt_CdFric"), 0.002) << "turbulent friction at 30 million";
    for (const char* box : {"Txt_TrUpper", "Txt_TrLower"}) {
        EXPECT_GT(number(pressure, box), 0.0) << box;
        EXPECT_LE(number(pressure, box), 1.0) << box;
    }
    // Both layers are drawn, whether the solver gives their stations or only the pressure points'.
    const QImage layers = in<ui::DrawingSurface>(pressure, "Pict_BL")->image();
    int blue = 0, red = 0;
    for (int y = 0; y < layers.height(); ++y)
        for (int x = 0; x < layers.width(); ++x) {
            blue += layers.pixelColor(x, y) == QColor(0, 0, 255);
            red += layers.pixelColor(x, y) == QColor(255, 0, 0);
        }
    EXPECT_GT(blue, 100);
    EXPECT_GT(red, 100);
    if (const char* dir = std::getenv("CAMBER_SCREENSHOTS"))
        pressure.grab().save(QString::fromLatin1(dir) + "/pressure_default.png");
}

TEST_F(Program, RaisingTheUpperSurfaceLowersTheAngleForTheSameLift)
{
    openExample("naca2412.ULF");
    auto& editor = edit_ul::FormEditUL::instance();
    // A subsonic case, so that the calculation is valid everywhere on the section.
    in<QScrollBar>(editor, "HScr_M")->setValue(500);
    in<QPushButton>(editor, "Cmd_SMESH")->click();
    auto& pressure = ui::Windows::get<cp::FrmSmesh>();
    EXPECT_TRUE(pressure.isVisible());
    EXPECT_EQ(in<QLineEdit>(pressure, "TxtCol")->text(), "Calculation - OK");
    const double cl0 = number(editor, "Txt_Clift");
    const double cd0 = number(editor, "Txt_Cdrag");
    const double alpha0 = number(editor, "Txt_alpha");
    EXPECT_NEAR(cl0, 0.5, 1e-3);
    EXPECT_GT(cd0, 0.003);
    EXPECT_LT(cd0, 0.02);
    EXPECT_GT(alpha0, -1.5);
    EXPECT_LT(alpha0, 2.0);

    in<QRadioButton>(editor, "Opt_PT(3)")->click();
    in<QCheckBox>(editor, "Chk_YT(3)")->click();
    auto* pict = in<ui::DrawingSurface>(editor, "Pict_S");
    for (double y : {0.005, 0.01, 0.015, 0.02})
        test::sendMouse(pict, QEvent::MouseMove, pict->toPixel({0.5, y}), Qt::NoButton, Qt::RightButton);

    EXPECT_NEAR(state().d_cp2(1, 4), 0.02f, 1e-3f);
    EXPECT_NEAR(number(editor, "Txt_Clift"), 0.5, 1e-3) << "the lift stays prescribed";
    EXPECT_LT(number(editor, "Txt_alpha"), alpha0 - 0.5) << "more camber needs less angle";
    EXPECT_NE(number(editor, "Txt_Cdrag"), cd0);
    EXPECT_FALSE(in<QLineEdit>(editor, "Txt_ythick")->text().isEmpty());

    if (const char* dir = std::getenv("CAMBER_SCREENSHOTS")) {
        editor.grab().save(QString::fromLatin1(dir) + "/editor_ul.png");
        pressure.grab().save(QString::fromLatin1(dir) + "/pressure.png");
    }
}

TEST_F(Program, ThicknessEditSavedFromTheStartWindowHoldsTheDraggedSection)
{
    in<DirList>(start(), "Dir1")->setPath(QString::fromStdString(test::example("")));
    ASSERT_TRUE(in<FileList>(start(), "File1")->selectFile("naca0012.ULF"));
    in<QPushButton>(start(), "InputF")->click();
    in<QRadioButton>(start(), "Opt_UL_TC(1)")->click();
    in<QPushButton>(start(), "Cmd_Edit")->click();
    auto& editor = edit_tc::FormEditTC::instance();
    ASSERT_TRUE(editor.isVisible());
    in<QPushButton>(editor, "Cmd_SMESH")->click();
    const double alpha0 = number(editor, "Txt_alpha");

    // Thicken the section by 0.02 per side around mid-chord.
    in<QRadioButton>(editor, "Opt_TC(1)")->click();
    in<QRadioButton>(editor, "Opt_PT(3)")->click();
    in<QCheckBox>(editor, "Chk_YT(3)")->click();
    auto* pict = in<ui::DrawingSurface>(editor, "Pict_S");
    for (double y : {0.01, 0.02})
        test::sendMouse(pict, QEvent::MouseMove, pict->toPixel({0.5, y}), Qt::NoButton, Qt::RightButton);
    EXPECT_NEAR(number(editor, "Txt_Clift"), 0.5, 1e-3);
    EXPECT_NE(number(editor, "Txt_alpha"), alpha0);
    EXPECT_GT(number(editor, "Txt_ythick"), 0.15) << "12 % plus twice the displacement there";

    if (const char* dir = std::getenv("CAMBER_SCREENSHOTS")) {
        editor.grab().save(QString::fromLatin1(dir) + "/editor_tc.png");
        ui::Windows::get<cp::FrmSmesh>().grab().save(QString::fromLatin1(dir) + "/pressure_transonic.png");
    }
    in<QPushButton>(start(), "Cmd_Save")->click();
    // The .gwo file lands in the current folder under the derived name.
    std::istringstream gwo(test::slurp(m_dir.path() / "naca0012.gwo"));
    std::vector<std::pair<double, double>> upper, lower;
    std::vector<std::pair<double, double>>* table = nullptr;
    for (std::string line; std::getline(gwo, line);) {
        if (line.rfind("<   XU", 0) == 0)
            table = &upper;
        else if (line.rfind("<   XL", 0) == 0)
            table = &lower;
        else if (table)
            table->emplace_back(text_to_number(line.substr(0, 10)), text_to_number(line.substr(10, 10)));
    }
    ASSERT_EQ(upper.size(), 61u);
    ASSERT_EQ(lower.size(), 61u);
    for (std::size_t j = 0; j < upper.size(); ++j) {
        if (std::fabs(upper[j].first - 0.5) < 0.01) {
            EXPECT_NEAR(upper[j].second, state().y_up0(1, static_cast<int>(j) + 1) + 0.02, 2e-4);
            EXPECT_NEAR(lower[j].second, state().y_lo0(1, static_cast<int>(j) + 1) - 0.02, 2e-4);
        }
        EXPECT_NEAR(upper[j].second, -lower[j].second, 1e-5) << "a symmetric section thickened stays symmetric";
    }
}

TEST_F(Program, ThePolarWindowSweepsTheSectionAsItNowIsBesideTheEditor)
{
    // The panel method in subcritical flow: quick however busy the machine is.
    openExample("naca2412.ULF");
    auto& editor = edit_ul::FormEditUL::instance();
    in<QScrollBar>(editor, "HScr_M")->setValue(400);
    state().flow.method = 1;
    in<QPushButton>(editor, "Cmd_SMESH")->click();
    in<QPushButton>(ui::Windows::get<cp::FrmSmesh>(), "Cmd_Polar")->click();
    auto& polar = ui::Windows::get<cp::FrmPolar>();
    ASSERT_TRUE(polar.isVisible());
    EXPECT_EQ(in<QLineEdit>(polar, "Txt_Fixed")->text(), "0.40");
    in<QLineEdit>(polar, "Txt_From")->setText("0");
    in<QLineEdit>(polar, "Txt_To")->setText("0.8");
    in<QLineEdit>(polar, "Txt_Step")->setText("0.2");
    // The drag at each lift coefficient of a polar saved as CSV.
    const auto dragPolar = [&](const char* file) {
        in<QPushButton>(polar, "Cmd_Compute")->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !polar.running(); }, 60000));
        EXPECT_EQ(in<QLabel>(polar, "Lbl_Status")->text(), "5 points");
        in<QLineEdit>(polar, "Txt_File")->setText(file);
        in<QPushButton>(polar, "Cmd_Save")->click();
        std::istringstream csv(test::slurp(m_dir.path() / file));
        std::vector<double> cd;
        std::string line;
        std::getline(csv, line);
        while (std::getline(csv, line))
            cd.push_back(text_to_number(line.substr(line.find(',', line.find(',', line.find(',') + 1) + 1) + 1)));
        EXPECT_EQ(cd.size(), 5u);
        return cd;
    };
    const auto before = dragPolar("before.csv");

    // Raise the upper surface around mid-chord while the window stays open: the polar follows
    // the edit (a different drag at every lift; which way depends on where the layers turn
    // turbulent).
    in<QRadioButton>(editor, "Opt_PT(3)")->click();
    in<QCheckBox>(editor, "Chk_YT(3)")->click();
    auto* pict = in<ui::DrawingSurface>(editor, "Pict_S");
    for (double y : {0.01, 0.02})
        test::sendMouse(pict, QEvent::MouseMove, pict->toPixel({0.5, y}), Qt::NoButton, Qt::RightButton);
    const auto after = dragPolar("after.csv");
    for (std::size_t i = 0; i < std::min(before.size(), after.size()); ++i)
        EXPECT_GT(std::fabs(after[i] - before[i]), 1e-5) << "point " << i;

    if (const char* dir = std::getenv("CAMBER_SCREENSHOTS"))
        polar.grab().save(QString::fromLatin1(dir) + "/polar_window.png");
}
