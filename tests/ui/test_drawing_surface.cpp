// SPDX-License-Identifier: MIT
#include "ui/DrawingSurface.h"

#include "support/QtTestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace camber::ui;
using camber::test::sendMouse;

namespace {

struct ScaleCase {
    const char* what;
    double x1, y1, x2, y2;
};

class UserScale : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(UserScale, CornersLandOnThePixelEdgesAndPointsRoundTrip)
{
    const auto& c = GetParam();
    DrawingSurface s;
    s.resize(300, 150);
    s.setScale(c.x1, c.y1, c.x2, c.y2);

    const QPointF topLeft = s.toPixel({c.x1, c.y1});
    const QPointF bottomRight = s.toPixel({c.x2, c.y2});
    EXPECT_NEAR(topLeft.x(), 0, 1e-9);
    EXPECT_NEAR(topLeft.y(), 0, 1e-9);
    EXPECT_NEAR(bottomRight.x(), 300, 1e-9);
    EXPECT_NEAR(bottomRight.y(), 150, 1e-9);

    for (const QPointF pixel : {QPointF(0, 0), QPointF(12.5, 140), QPointF(299, 1), QPointF(-20, 400)}) {
        const QPointF back = s.toPixel(s.toUser(pixel));
        EXPECT_NEAR(back.x(), pixel.x(), 1e-9);
        EXPECT_NEAR(back.y(), pixel.y(), 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, UserScale,
                         ::testing::Values(ScaleCase{"y up", -0.07, 0.152, 1.01, -0.102},
                                           ScaleCase{"y down", 0, 0, 10, 5},
                                           ScaleCase{"mirrored x", 1, 1, -1, -1},
                                           ScaleCase{"far off origin", 1000.5, 2000.25, 1001.5, 2000}),
                         [](const auto& info) {
                             std::string n = info.param.what;
                             for (char& ch : n)
                                 if (ch == ' ')
                                     ch = '_';
                             return n;
                         });

TEST(UserScale, IsKeptInUserUnitsWhenTheSurfaceIsResized)
{
    DrawingSurface s;
    s.resize(200, 100);
    s.setScale(-1, 1, 1, -1);
    s.resize(400, 300);
    const QPointF corner = s.toPixel({1, -1});
    EXPECT_DOUBLE_EQ(corner.x(), 400);
    EXPECT_DOUBLE_EQ(corner.y(), 300);
}

// A surface 101 x 101 pixels with user units 0..100 both ways, y up: user (x, y) is pixel (x, 100 - y).
class Drawing : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_s.resize(101, 101);
        m_s.setScale(0, 101, 101, 0);
        m_s.setBackground(Qt::white);
    }
    QColor pixel(int x, int y) const { return m_s.image().pixelColor(x, y); }
    int countInRow(int y, const QColor& colour) const
    {
        int n = 0;
        for (int x = 0; x < m_s.image().width(); ++x)
            n += pixel(x, y) == colour;
        return n;
    }

    DrawingSurface m_s;
};

TEST_F(Drawing, LinesGoToTheRetainedImageAtTheirUserPosition)
{
    m_s.line(10.5, 50.5, 90.5, 50.5, Qt::red);
    EXPECT_EQ(pixel(50, 50), QColor(Qt::red));
    EXPECT_EQ(pixel(50, 40), QColor(Qt::white));
    EXPECT_EQ(pixel(5, 50), QColor(Qt::white));
}

TEST_F(Drawing, DottedLinesLeaveGapsAndSolidOnesDoNot)
{
    m_s.line(0.5, 20.5, 100.5, 20.5, Qt::green);
    m_s.setDotted(true);
    m_s.line(0.5, 40.5, 100.5, 40.5, Qt::green);
    const int solid = countInRow(80, Qt::green);
    const int dotted = countInRow(60, Qt::green);
    EXPECT_GE(solid, 99);
    EXPECT_GT(dotted, 20);
    EXPECT_LT(dotted, 80);
}

TEST_F(Drawing, PenWidthWidensLines)
{
    m_s.setPenWidth(5);
    m_s.line(0.5, 50.5, 100.5, 50.5, Qt::blue);
    for (int y = 48; y <= 52; ++y)
        EXPECT_EQ(pixel(50, y), QColor(Qt::blue)) << "row " << y;
}

TEST(DrawingCircle, RadiusIsInXUnitsAndTheCircleStaysRound)
{
    // x spans 10 units and y 20 units on a square surface: one unit is 20 pixels in x, 10 in y.
    DrawingSurface s;
    s.resize(200, 200);
    s.setScale(0, 20, 10, 0);
    s.setBackground(Qt::white);
    s.circle(5, 10, 2, Qt::black);  // radius 40 pixels around pixel (100, 100)
    const QImage& img = s.image();
    auto dark = [&](int x, int y) { return img.pixelColor(x, y).lightness() < 128; };
    auto darkNear = [&](int x, int y) {
        for (int d = -1; d <= 1; ++d)
            if (dark(x + d, y) || dark(x, y + d))
                return true;
        return false;
    };
    EXPECT_TRUE(darkNear(140, 100));
    EXPECT_TRUE(darkNear(60, 100));
    EXPECT_TRUE(darkNear(100, 60));
    EXPECT_TRUE(darkNear(100, 140));
    EXPECT_FALSE(dark(100, 100));
    EXPECT_FALSE(darkNear(100, 80));  // where a circle of 2 y units (20 pixels) would be
}

TEST_F(Drawing, PrintPutsTheTopOfTheTextAtThePositionAndMovesToTheNextLine)
{
    m_s.setTextColour(Qt::blue);
    m_s.setTextPosition(20, 60);  // pixel row 41
    m_s.print("WWW");
    int firstRow = -1;
    for (int y = 0; y < 101 && firstRow < 0; ++y)
        if (countInRow(y, Qt::blue) > 0)
            firstRow = y;
    ASSERT_GE(firstRow, 0) << "nothing printed";
    EXPECT_GE(firstRow, 41);
    EXPECT_LE(firstRow, 45);
    EXPECT_DOUBLE_EQ(m_s.textX(), 0);
    EXPECT_LT(m_s.textY(), 60);
}

TEST_F(Drawing, ClearFillsWithTheBackgroundAndResetsTheTextPosition)
{
    m_s.line(0.5, 50.5, 100.5, 50.5, Qt::black);
    m_s.setTextPosition(50, 50);
    m_s.setBackground(QColor(10, 20, 30));
    EXPECT_EQ(pixel(50, 50), QColor(10, 20, 30));
    EXPECT_DOUBLE_EQ(m_s.textX(), 0);
    EXPECT_DOUBLE_EQ(m_s.textY(), 101);
}

TEST_F(Drawing, ARetainedDrawingSurvivesRepaintsAndOnlyAppearsAtItsEnd)
{
    {
        RetainedDrawing plot(m_s);
        m_s.clear();
        m_s.line(0.5, 50.5, 100.5, 50.5, Qt::red);
        m_s.circle(50, 50, 10, Qt::blue);
    }
    m_s.show();
    const QImage shown = m_s.grab().toImage();
    EXPECT_EQ(shown.pixelColor(20, 50), QColor(Qt::red));
    m_s.hide();
    m_s.show();
    m_s.repaint();
    EXPECT_EQ(m_s.grab().toImage().pixelColor(20, 50), QColor(Qt::red));
    EXPECT_EQ(pixel(20, 50), QColor(Qt::red));
}

TEST_F(Drawing, AResizeRebuildsTheImageEmptyAtTheNewSize)
{
    m_s.line(0.5, 50.5, 100.5, 50.5, Qt::red);
    m_s.show();
    m_s.resize(60, 40);
    EXPECT_EQ(m_s.image().size(), QSize(60, 40));
    EXPECT_EQ(countInRow(20, Qt::red), 0);
}

TEST(DrawingMouse, ReportsButtonsModifiersAndUserPosition)
{
    DrawingSurface s;
    s.resize(200, 100);
    s.setScale(0, 1, 2, 0);
    QSignalSpy down(&s, &DrawingSurface::mouseDown);
    QSignalSpy move(&s, &DrawingSurface::mouseMove);
    QSignalSpy up(&s, &DrawingSurface::mouseUp);

    sendMouse(&s, QEvent::MouseButtonPress, {50, 25}, Qt::RightButton, Qt::RightButton,
              Qt::ShiftModifier | Qt::ControlModifier);
    sendMouse(&s, QEvent::MouseMove, {150, 75}, Qt::NoButton, Qt::LeftButton | Qt::MiddleButton, Qt::AltModifier);
    sendMouse(&s, QEvent::MouseButtonRelease, {250, -10}, Qt::MiddleButton, Qt::NoButton);

    ASSERT_EQ(down.count(), 1);
    EXPECT_EQ(down[0][0].toInt(), kRightButton);
    EXPECT_EQ(down[0][1].toInt(), kShiftKey | kCtrlKey);
    EXPECT_DOUBLE_EQ(down[0][2].toDouble(), 0.5);
    EXPECT_DOUBLE_EQ(down[0][3].toDouble(), 0.75);

    ASSERT_EQ(move.count(), 1);
    EXPECT_EQ(move[0][0].toInt(), kLeftButton | kMiddleButton);
    EXPECT_EQ(move[0][1].toInt(), kAltKey);
    EXPECT_DOUBLE_EQ(move[0][2].toDouble(), 1.5);
    EXPECT_DOUBLE_EQ(move[0][3].toDouble(), 0.25);

    // Released outside the surface: the position is still reported in user coordinates.
    ASSERT_EQ(up.count(), 1);
    EXPECT_EQ(up[0][0].toInt(), kMiddleButton);
    EXPECT_EQ(up[0][1].toInt(), 0);
    EXPECT_DOUBLE_EQ(up[0][2].toDouble(), 2.5);
    EXPECT_DOUBLE_EQ(up[0][3].toDouble(), 1.1);
}

} // namespace
