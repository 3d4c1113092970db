// SPDX-License-Identifier: MIT
#include "viewer/Form_PW.h"

#include "shell/SectionReader.h"
#include "support/QtTestSupport.h"
#include "support/TestSupport.h"
#include "ui/DrawingSurface.h"

#include <QLabel>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using namespace camber;
using camber::test::drag;
using camber::test::example;
using camber::test::sendMouse;

namespace {

class Viewer : public ::testing::Test {
protected:
    void SetUp() override
    {
        state() = SectionState{};
        state().f_inp = example("naca2412.ULF");
        read_section(state());
        m_form = std::make_unique<Form_PW>();
        m_form->show();
        m_pic = m_form->findChild<ui::DrawingSurface*>("Picture1");
        ASSERT_NE(m_pic, nullptr);
    }

    struct View {
        Single xc, yc, w, h;
    };
    View view() const
    {
        const ViewState& v = m_form->views();
        return {v.view_xc(1), v.view_yc(1), v.view_w(1), v.view_h(1)};
    }
    /// The pixel of the picture at which a user position lies with the view now drawn.
    QPointF pixelOf(double x, double y) const { return m_pic->toPixel({x, y}); }
    QString label(const char* name) const { return m_form->findChild<QLabel*>(name)->text(); }

    std::unique_ptr<Form_PW> m_form;
    ui::DrawingSurface* m_pic = nullptr;
};

TEST_F(Viewer, LoadFitsTheSectionAtThePicturesShapeAndShowsTheCounts)
{
    const View v = view();
    EXPECT_FLOAT_EQ(v.h / v.w, static_cast<Single>(m_pic->height()) / static_cast<Single>(m_pic->width()));
    EXPECT_NEAR(v.w, 1.02, 1e-5);  // chord 1 plus the margins: the section is flatter than the picture
    EXPECT_EQ(label("Lbl_mu"), "mu=" + QString::number(state().n_up(1)));
    EXPECT_EQ(label("Lbl_ml"), "ml=" + QString::number(state().n_lo(1)));
    EXPECT_EQ(m_form->windowTitle(), "Pict(Wing Section)");
}

TEST_F(Viewer, ATranslateDragMovesTheDrawingWithTheMouse)
{
    const View before = view();
    const QPointF from(100, 60), to(180.5, 20.25);
    const QPointF grabbed = m_pic->toUser(from);
    drag(m_pic, from, to, Qt::LeftButton);
    const View after = view();
    // The section point that was under the mouse at the press is under it at the release.
    const QPointF landed = pixelOf(grabbed.x(), grabbed.y());
    EXPECT_NEAR(landed.x(), to.x(), 0.05);
    EXPECT_NEAR(landed.y(), to.y(), 0.05);
    EXPECT_FLOAT_EQ(after.w, before.w);
    EXPECT_FLOAT_EQ(after.h, before.h);
}

TEST_F(Viewer, AModifierDragOfHalfTheWidthZoomsByThreeAndAHalf)
{
    struct {
        const char* what;
        Qt::KeyboardModifiers keys;
        double direction;  // -1 downward (zoom in), +1 upward (zoom out)
        double factor;
    } cases[] = {{"Shift down", Qt::ShiftModifier, -1, 1 / 3.5},
                 {"Shift up", Qt::ShiftModifier, +1, 3.5},
                 {"Ctrl down", Qt::ControlModifier, -1, 1 / 3.5},
                 {"Alt up", Qt::AltModifier, +1, 3.5}};
    for (const auto& c : cases) {
        const View before = view();
        const double x = before.xc, y0 = before.yc - c.direction * before.w / 4;
        const double y1 = before.yc + c.direction * before.w / 4;
        drag(m_pic, pixelOf(x, y0), pixelOf(x, y1), Qt::LeftButton, c.keys);
        const View after = view();
        EXPECT_NEAR(after.w / before.w, c.factor, 1e-4) << c.what;
        EXPECT_NEAR(after.h / before.h, c.factor, 1e-4) << c.what;
        EXPECT_FLOAT_EQ(after.xc, before.xc) << c.what;
        EXPECT_FLOAT_EQ(after.yc, before.yc) << c.what;
    }
}

TEST_F(Viewer, AReleaseWhereThePressWasChangesNothing)
{
    const View before = view();
    for (Qt::KeyboardModifiers keys : {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
        drag(m_pic, {120, 70}, {120, 70}, Qt::LeftButton, keys);
        const View after = view();
        EXPECT_FLOAT_EQ(after.xc, before.xc);
        EXPECT_FLOAT_EQ(after.yc, before.yc);
        EXPECT_FLOAT_EQ(after.w, before.w);
    }
}

TEST_F(Viewer, ARightButtonDragOnlyRedraws)
{
    const View before = view();
    m_pic->line(before.xc - before.w / 2, before.yc, before.xc + before.w / 2, before.yc, QColor(0, 0, 255));
    const int row = qRound(pixelOf(before.xc, before.yc).y());
    const int col = m_pic->width() / 7;
    ASSERT_EQ(m_pic->image().pixelColor(col, row), QColor(0, 0, 255));

    drag(m_pic, {50, 20}, {200, 120}, Qt::RightButton, Qt::ShiftModifier);

    const View after = view();
    EXPECT_FLOAT_EQ(after.xc, before.xc);
    EXPECT_FLOAT_EQ(after.yc, before.yc);
    EXPECT_FLOAT_EQ(after.w, before.w);
    EXPECT_NE(m_pic->image().pixelColor(col, row), QColor(0, 0, 255)) << "the release did not redraw";
}

TEST_F(Viewer, TheCursorReadsInChordsFromTheLeadingEdge)
{
    const auto& s = state();
    struct {
        double x, y;
        const char* lx;
        const char* ly;
    } cases[] = {{0, 0, "x=0.00000", "y=0.00000"}, {0.5, 0.05, "x=0.50000", "y=0.05000"}, {1, -0.02, "x=1.00000", "y=-0.02000"}};
    for (const auto& c : cases) {
        const QPointF at = pixelOf(s.x_c(1, s.n_up(1)) + c.x, s.y_c(1, s.n_up(1)) + c.y);
        sendMouse(m_pic, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
        EXPECT_EQ(label("Label_x"), c.lx);
        EXPECT_EQ(label("Label_y"), c.ly);
    }
}

TEST_F(Viewer, ResizingKeepsTheDrawingsShapeAndSkipsImpossibleLayouts)
{
    const double ratio = static_cast<double>(m_pic->height()) / m_pic->width();
    const int dw = m_form->width() - m_pic->width();
    const int dh = m_form->height() - m_pic->height();

    m_form->resize(m_form->width() + 200, m_form->height());
    EXPECT_EQ(m_pic->width(), m_form->width() - dw);
    EXPECT_NEAR(m_pic->height(), m_pic->width() * ratio, 1);
    EXPECT_EQ(m_form->height(), m_pic->height() + dh);

    const QSize kept = m_pic->size();
    m_form->resize(dw / 2, m_form->height());  // narrower than the margin beside the picture
    EXPECT_EQ(m_pic->size(), kept);
}

TEST_F(Viewer, TheDrawingShowsBlackContourSegmentsAndRedCrossesOnThePoints)
{
    const QImage shot = m_form->grab().toImage();
    if (const char* dir = std::getenv("CAMBER_SCREENSHOTS"))
        shot.save(QString(dir) + "/viewer_naca2412.png");
    const QImage img = m_pic->grab().toImage();
    ASSERT_EQ(img.size(), m_pic->size());

    auto near = [&](QPointF at, const QColor& colour, int reach) {
        for (int dy = -reach; dy <= reach; ++dy)
            for (int dx = -reach; dx <= reach; ++dx) {
                const QPoint p = at.toPoint() + QPoint(dx, dy);
                if (img.rect().contains(p) && img.pixelColor(p) == colour)
                    return true;
            }
        return false;
    };
    const auto& s = state();
    const double m = view().w / 200;  // half-size of a cross
    int crosses = 0, segments = 0;
    for (int i = 2; i <= s.n_tot(1); i += 7) {
        const QPointF p(s.x_c(1, i), s.y_c(1, i));  // read sections lie on their chord: no turn
        // The tip of the cross's upper arm, clear of the nearly horizontal contour line.
        if (near(pixelOf(p.x(), p.y() + 0.8 * m), QColor(255, 0, 0), 1))
            ++crosses;
        const QPointF q(s.x_c(1, i - 1), s.y_c(1, i - 1));
        const QPointF mid = (pixelOf(p.x(), p.y()) + pixelOf(q.x(), q.y())) / 2;
        if (QLineF(pixelOf(p.x(), p.y()), pixelOf(q.x(), q.y())).length() > 2 * m_pic->width() / 200.0 + 4
            && near(mid, QColor(0, 0, 0), 1))
            ++segments;
    }
    EXPECT_GE(crosses, 15);  // of 18 sampled points; the nose crowds some arms over each other
    EXPECT_GE(segments, 3);
    // Background and grid: white in a corner, green on the dotted grid at mid-chord somewhere.
    EXPECT_EQ(img.pixelColor(2, 2), QColor(255, 255, 255));
    bool green = false;
    const QPointF gridTop = pixelOf(0.5, 0.2), gridBottom = pixelOf(0.5, -0.2);
    for (int y = qRound(gridTop.y()); y <= qRound(gridBottom.y()) && !green; ++y)
        green = near(QPointF(gridTop.x(), y), QColor(0, 255, 0), 1);
    EXPECT_TRUE(green);
}

TEST(ViewerTurn, ASectionReadAtAnAngleIsDrawnAtThatAngle)
{
    // A symmetric section whose trailing edge lies 5 degrees below its leading edge.
    const double a = 5 * 3.141592653589793 / 180;
    std::vector<std::string> lines = {"turned", "both surfaces", "0 5 5", "x y"};
    const double xs[] = {0, 0.1, 0.4, 0.8, 1}, ts[] = {0, 0.04, 0.06, 0.03, 0};
    for (const double side : {1.0, -1.0}) {
        if (side < 0)
            lines.push_back("lower");
        for (int i = 0; i < 5; ++i) {
            const double x = xs[i] * std::cos(a) + side * ts[i] * std::sin(a);
            const double y = -xs[i] * std::sin(a) + side * ts[i] * std::cos(a);
            lines.push_back(std::to_string(x) + " " + std::to_string(y));
        }
    }
    test::TempDir dir;
    state() = SectionState{};
    state().f_inp = dir.writeLines("turned.ULF", lines);
    read_section(state());
    ASSERT_NEAR(state().twist_sec(1), 5, 1e-3);

    Form_PW form;
    auto* pic = form.findChild<ui::DrawingSurface*>("Picture1");
    const QImage& img = pic->image();
    auto redNear = [&](double x, double y) {
        const QPoint c = pic->toPixel({x, y}).toPoint();
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                if (img.rect().contains(c + QPoint(dx, dy)) && img.pixelColor(c + QPoint(dx, dy)) == QColor(255, 0, 0))
                    return true;
        return false;
    };
    EXPECT_TRUE(redNear(0, 0)) << "leading edge";
    EXPECT_TRUE(redNear(std::cos(a), -std::sin(a))) << "trailing edge where the file has it";
    EXPECT_FALSE(redNear(1, 0)) << "trailing edge drawn unturned";
}

} // namespace
