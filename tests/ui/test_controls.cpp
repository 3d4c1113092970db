// SPDX-License-Identifier: MIT
#include "ui/Captions.h"
#include "ui/Controls.h"
#include "ui/Guarded.h"
#include "ui/Windows.h"

#include "support/QtTestSupport.h"

#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace camber;
using namespace camber::ui;

namespace {

TEST(Twips, AnInchIsTheScreensLogicalDpi)
{
    QWidget w;
    EXPECT_EQ(twipsToPixelsX(&w, 1440), w.logicalDpiX());
    EXPECT_EQ(twipsToPixelsY(&w, 2880), 2 * w.logicalDpiY());
    EXPECT_DOUBLE_EQ(pixelsToTwipsX(&w, twipsToPixelsX(&w, 1440)), 1440);
}

TEST(Twips, ControlsDesignedEdgeToEdgeStayEdgeToEdge)
{
    // Label_x and Label_y of the viewer overlap by 15 twips; Lbl_mu starts 105 twips right of them.
    QWidget window;
    auto* a = makeLabel(&window, "A", "a", {0, 0, 975, 255});
    auto* b = makeLabel(&window, "B", "b", {975, 255, 1095, 255});
    EXPECT_EQ(a->geometry().right() + 1, b->geometry().left());
    EXPECT_EQ(a->geometry().bottom() + 1, b->geometry().top());
    EXPECT_EQ(b->geometry().right() + 1, twipsToPixelsX(&window, 975 + 1095));
}

TEST(Controls, AreFoundByTheirNamesAndIndexedNames)
{
    QWidget window;
    makeButton(&window, "Cmd_Edit", "Geometry Edition", {0, 0, 100, 100});
    makeOption(&window, indexedName("Opt_P", 2), "", {0, 0, 100, 100});
    EXPECT_EQ(indexedName("Opt_P", 2), "Opt_P(2)");
    ASSERT_NE(window.findChild<QPushButton*>("Cmd_Edit"), nullptr);
    EXPECT_EQ(window.findChild<QPushButton*>("Cmd_Edit")->text(), "Geometry Edition");
    EXPECT_NE(window.findChild<QRadioButton*>("Opt_P(2)"), nullptr);
}

TEST(Controls, CaptionsTooWideForTheDesignStillShowWhole)
{
    QWidget window;
    window.setFont(designFont());
    // A tall narrow button breaks its caption into two lines; a one-line button does not.
    auto* tall = makeButton(&window, "Cmd_Edit", "Geometry Edition", {2040, 3600, 855, 615});
    auto* flat = makeButton(&window, "Cmd_Flat", "Geometry Edition", {0, 0, 855, 255});
    EXPECT_EQ(tall->text(), "Geometry\nEdition");
    EXPECT_EQ(flat->text(), "Geometry Edition");
    // A label keeps its designed size; a caption too wide for it gets a smaller font, down to
    // a readable least, and a caption that fits keeps the window's font.
    auto* narrow = makeLabel(&window, "FileOutput", "Output File", {120, 2880, 900, 255});
    const int designed = QFontMetrics(window.font()).horizontalAdvance("Output File") * 4 / 5;
    narrow->resize(designed, narrow->height());
    auto* hopeless = makeLabel(&window, "Long", "Output File with a very long caption", {0, 600, 255, 255});
    auto* wide = makeLabel(&window, "Wide", "x=", {0, 0, 2000, 255});
    ASSERT_FALSE(captionFits(narrow));
    fitCaptions(&window);
    EXPECT_EQ(narrow->width(), designed);
    EXPECT_TRUE(captionFits(narrow));
    EXPECT_LT(narrow->font().pointSizeF(), window.font().pointSizeF());
    EXPECT_GE(hopeless->font().pointSizeF(), 6.0);
    EXPECT_EQ(wide->font(), window.font());
    EXPECT_EQ(wide->width(), twipsToPixelsX(&window, 2000));
}

TEST(Controls, ShrinkingAFrameTitleLeavesTheControlsInsideAlone)
{
    QWidget window;
    window.setFont(designFont());
    auto* frame = makeFrame(&window, "Frm_cp", "Cp calculation", {0, 0, 1300, 1500});
    auto* inside = makeLabel(frame, "Lbl_alpha", "Alpha", {120, 240, 600, 255});
    fitCaptions(&window);
    EXPECT_TRUE(captionFits(frame));
    EXPECT_LT(frame->font().pointSizeF(), window.font().pointSizeF());
    EXPECT_EQ(inside->font().pointSizeF(), window.font().pointSizeF());
}

TEST(Fonts, AMissingFamilyFallsBackToSansSerifAtTheNamedSize)
{
    const QFont f = namedFont("No Such Font Family 1985", 9.75);
    EXPECT_DOUBLE_EQ(f.pointSizeF(), 9.75);
    EXPECT_NE(QFontInfo(f).family(), "No Such Font Family 1985");
}

// Two containers with two option buttons each, as an editor's frames hold their point options.
class Options : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 2; ++i) {
            m_cmb.add(makeOption(&m_frameA, indexedName("Opt_P", i), "", {0, 240 * i, 252, 252}));
            m_thk.add(makeOption(&m_frameB, indexedName("Opt_PT", i), "", {0, 240 * i, 252, 252}));
        }
    }
    QWidget m_frameA, m_frameB;
    OptionGroup m_cmb, m_thk;
};

TEST_F(Options, AreExclusiveWithinTheirContainerOnly)
{
    m_cmb.setValue(0, true);
    m_thk.setValue(1, true);
    m_cmb.setValue(1, true);
    EXPECT_FALSE(m_cmb.value(0));
    EXPECT_TRUE(m_cmb.value(1));
    EXPECT_TRUE(m_thk.value(1)) << "selecting in one frame cleared the other frame";
}

TEST_F(Options, ClickHandlerRunsOnlyWhenTheValueChanges)
{
    QSignalSpy clicks(&m_cmb, &OptionGroup::clicked);
    m_cmb.setValue(1, true);
    m_cmb.setValue(1, true);
    m_cmb.setValue(0, true);
    ASSERT_EQ(clicks.count(), 2);
    EXPECT_EQ(clicks[0][0].toInt(), 1);
    EXPECT_EQ(clicks[1][0].toInt(), 0);
}

TEST_F(Options, ADisabledOptionCanBeSelectedFromCode)
{
    QSignalSpy clicks(&m_cmb, &OptionGroup::clicked);
    m_cmb.at(1)->setEnabled(false);
    m_cmb.setValue(1, true);
    EXPECT_TRUE(m_cmb.value(1));
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(Options, CanBeClearedLeavingTheContainerWithoutSelection)
{
    m_cmb.setValue(0, true);
    m_cmb.setValue(0, false);
    EXPECT_FALSE(m_cmb.value(0));
    EXPECT_FALSE(m_cmb.value(1));
    // Still exclusive afterwards.
    m_cmb.setValue(0, true);
    m_cmb.setValue(1, true);
    EXPECT_FALSE(m_cmb.value(0));
}

TEST(CheckGroups, ClickCarriesTheIndexAndRunsOnChangeOnly)
{
    QWidget frame;
    CheckGroup chk;
    for (int i = 0; i < 3; ++i)
        chk.add(makeCheckBox(&frame, indexedName("Chk_X", i), "", {120, 480 + 240 * i, 252, 252}));
    QSignalSpy clicks(&chk, &CheckGroup::clicked);
    chk.setValue(2, 1);
    chk.setValue(2, 1);
    chk.setValue(2, 0);
    ASSERT_EQ(clicks.count(), 2);
    EXPECT_EQ(clicks[0][0].toInt(), 2);
    EXPECT_EQ(chk.value(2), 0);
    EXPECT_EQ(chk.value(0), 0);
}

TEST(ScrollBars, RaiseChangeOnlyOnARealChangeAndKeepTheirRange)
{
    QWidget window;
    QScrollBar* bar = makeHScroll(&window, "HScr_M", {3000, 840, 1335, 135}, 200, 900, 5, 5, 700);
    EXPECT_EQ(bar->objectName(), "HScr_M");
    EXPECT_EQ(bar->singleStep(), 5);
    EXPECT_EQ(bar->pageStep(), 5);
    QSignalSpy changes(bar, &QScrollBar::valueChanged);
    bar->setValue(700);
    EXPECT_EQ(changes.count(), 0);
    bar->setValue(705);
    bar->setValue(5000);
    ASSERT_EQ(changes.count(), 2);
    EXPECT_EQ(bar->value(), 900);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(bar->value(), 895);
}

TEST(Guarded, ReportsFailuresOnceAndStopsTheHandler)
{
    test::ErrorCollector errors;
    bool after = false;
    guarded(nullptr, [&] {
        throw Error("wing.ULF: line 3: no count");
        after = true;
    });
    guarded(nullptr, [] { throw std::out_of_range("vector"); });
    guarded(nullptr, [] {});
    ASSERT_EQ(errors.messages().size(), 2);
    EXPECT_EQ(errors.messages()[0], "wing.ULF: line 3: no count");
    EXPECT_TRUE(errors.messages()[1].contains("vector"));
    EXPECT_FALSE(after);
}

struct Probe : QWidget {
    Probe() { ++loads; }
    static inline int loads = 0;
};

TEST(Windows, AreCreatedOnFirstUseHiddenAndAgainAfterClosing)
{
    Probe::loads = 0;
    EXPECT_EQ(Windows::find<Probe>(), nullptr);
    Probe& first = Windows::get<Probe>();
    EXPECT_EQ(&Windows::get<Probe>(), &first);
    EXPECT_EQ(Probe::loads, 1);
    EXPECT_FALSE(first.isVisible());

    first.show();
    Windows::closeAll();
    test::processDeferred();
    EXPECT_EQ(Windows::find<Probe>(), nullptr);
    Windows::get<Probe>();
    EXPECT_EQ(Probe::loads, 2);
    Windows::closeAll();
    test::processDeferred();
    EXPECT_EQ(Windows::find<Probe>(), nullptr) << "a hidden window must close too";
}

} // namespace
