// SPDX-License-Identifier: MIT
#include "viewer/ViewFit.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace camber;

namespace {

struct Box {
    Single x_min, x_max, y_min, y_max;
};

SectionState withBox(Box b)
{
    SectionState s;
    s.x_min(1) = b.x_min;
    s.x_max(1) = b.x_max;
    s.y_min(1) = b.y_min;
    s.y_max(1) = b.y_max;
    return s;
}

const Integer k = 1;

} // namespace

TEST(FitFrame, ASectionAsFlatAsTheSurfaceGetsTheFramedBoxAndTheBoxBecomesTheView)
{
    // Twice as long as high on a surface of ratio 0.5.
    SectionState s = withBox({0, 2, -0.5f, 0.5f});
    ViewState v;
    fit_frame(s, v, k, 700, 350);
    EXPECT_FLOAT_EQ(v.view_w(1), 1.02f * 2);
    EXPECT_FLOAT_EQ(v.view_h(1), 0.5f * v.view_w(1));
    EXPECT_FLOAT_EQ(v.view_xc(1), 1);
    EXPECT_FLOAT_EQ(v.view_yc(1), 0);
    EXPECT_FLOAT_EQ(s.x_min(1), v.view_xc(1) - v.view_w(1) / 2);
    EXPECT_FLOAT_EQ(s.x_max(1), v.view_xc(1) + v.view_w(1) / 2);
    EXPECT_FLOAT_EQ(s.y_min(1), v.view_yc(1) - v.view_h(1) / 2);
    EXPECT_FLOAT_EQ(s.y_max(1), v.view_yc(1) + v.view_h(1) / 2);
}

TEST(FitFrame, AFlatSectionTakesTheWidthAndATallOneTheHeight)
{
    struct {
        const char* what;
        Box box;
        Single w, h;  // expected view
    } cases[] = {
        {"airfoil-like, flatter than the surface", {0, 1, -0.06f, 0.06f}, 1.02f, 0.51f},
        {"taller than the surface", {0, 1, -1, 1}, 4.08f, 2.04f},
        {"zero height", {0, 1, 0.2f, 0.2f}, 1.02f, 0.51f},
    };
    for (const auto& c : cases) {
        SectionState s = withBox(c.box);
        ViewState v;
        fit_frame(s, v, k, 200, 100);
        EXPECT_FLOAT_EQ(v.view_w(1), c.w) << c.what;
        EXPECT_FLOAT_EQ(v.view_h(1), c.h) << c.what;
        EXPECT_FLOAT_EQ(v.view_h(1) / v.view_w(1), 0.5f) << c.what;
    }
}

TEST(FitFrame, FittingAgainWidensTheViewByTheMarginsAgain)
{
    SectionState s = withBox({0, 1, -0.06f, 0.06f});
    ViewState v;
    fit_frame(s, v, k, 200, 100);
    const Single w1 = v.view_w(1), h1 = v.view_h(1);
    fit_frame(s, v, k, 200, 100);
    EXPECT_FLOAT_EQ(v.view_w(1), 1.02f * w1);
    EXPECT_FLOAT_EQ(v.view_h(1), 1.02f * h1);
}

TEST(FitFrame, DegenerateSurfacesAndSectionsGiveFiniteViews)
{
    struct {
        const char* what;
        Box box;
        Single surfaceW, surfaceH;
    } cases[] = {
        {"surface without width", {0, 1, -0.1f, 0.1f}, 0, 100},
        {"surface without height", {0, 1, -0.1f, 0.1f}, 100, 0},
        {"section without width", {0.5f, 0.5f, -0.1f, 0.1f}, 200, 100},
        {"section that is one point", {0.5f, 0.5f, 0, 0}, 200, 100},
    };
    for (const auto& c : cases) {
        SectionState s = withBox(c.box);
        ViewState v;
        fit_frame(s, v, k, c.surfaceW, c.surfaceH);
        EXPECT_TRUE(std::isfinite(v.view_w(1)) && v.view_w(1) > 0) << c.what << ": " << v.view_w(1);
        EXPECT_TRUE(std::isfinite(v.view_h(1)) && v.view_h(1) > 0) << c.what << ": " << v.view_h(1);
        EXPECT_TRUE(std::isfinite(s.x_min(1)) && std::isfinite(s.y_max(1))) << c.what;
    }
}

TEST(ViewMoves, ZoomByAVerticalDragOfHalfTheWidthIsThreeAndAHalf)
{
    ViewState v;
    v.view_xc(1) = 0.5f;
    v.view_yc(1) = 0.1f;
    v.view_w(1) = 1.2f;
    v.view_h(1) = 0.6f;
    zoom_view(v, k, 0.4f, 0.4f - 0.6f);  // downward: zoom in
    EXPECT_FLOAT_EQ(v.view_w(1), 1.2f / 3.5f);
    EXPECT_FLOAT_EQ(v.view_h(1), 0.6f / 3.5f);
    zoom_view(v, k, 0, 0.5f * v.view_w(1));  // upward: zoom out
    EXPECT_FLOAT_EQ(v.view_w(1), 1.2f);
    EXPECT_FLOAT_EQ(v.view_xc(1), 0.5f);
    EXPECT_FLOAT_EQ(v.view_yc(1), 0.1f);
    zoom_view(v, k, 0.3f, 0.3f);
    EXPECT_FLOAT_EQ(v.view_w(1), 1.2f);
}

TEST(GeneralNumber, PrintsLikeAPlainPrintOfANumber)
{
    struct {
        double value;
        const char* text;
    } cases[] = {{0.1 * 2, " .2 "},   {0.1 * 6, " .6 "},     {0.1 * 10, " 1 "},  {-0.5, "-.5 "},
                 {0, " 0 "},          {12.25, " 12.25 "},    {1e-20, " 1E-20 "}, {0.1 * 8, " .8 "}};
    for (const auto& c : cases)
        EXPECT_EQ(general_number(c.value), c.text) << c.value;
}
