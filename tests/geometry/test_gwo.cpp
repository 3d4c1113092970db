// SPDX-License-Identifier: MIT
#include "geometry/GwoWriter.h"

#include "geometry/Error.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>


using namespace camber;
using camber::test::slurp;
using camber::test::TempDir;


namespace {

// Four stations with a nose run ending at station 2.
SectionState smallSection()
{
    SectionState s;
    s.n_sections = 1;
    s.n_up(1) = 4;
    s.title_ln(1) = Text80("Test section");
    const float x[] = {0, 0.01f, 0.5f, 1};
    const float t[] = {0, 0.02f, 0.05f, 0.001f};
    const float c[] = {0, 0.005f, 0.02f, 0};
    for (int j = 1; j <= 4; ++j) {
        s.x_st(1, j) = x[j - 1];
        s.t_half(1, j) = t[j - 1];
        s.camb(1, j) = c[j - 1];
        s.y_up(1, j) = c[j - 1] + t[j - 1];
        s.y_lo(1, j) = c[j - 1] - t[j - 1];
    }
    return s;
}

} // namespace

TEST(GwoFile, MatchesAHandCheckedFile)
{
    auto s = smallSection();
    TempDir dir;
    s.f_gwo = dir.file("small.gwo");
    save_gwo(s);
    const std::string expected = "Test section" + std::string(68, ' ') + "\r\n"
                                 "----------------------------------------\r\n"
                                 "       Parameters For BLWF code         \r\n"
                                 "<  XSING ><  YSING ><  TRAIL ><  SLOPT >\r\n"
                                 "0.0060    0.0050    11.1942   -0.0400   \r\n"
                                 "<  YSYM  ><   NU   ><   NL   >  section 1 \r\n"
                                 "  0.0      4.0       4.0      \r\n"
                                 "<   XU   ><   YU   >\r\n"
                                 "0.000000  0.000000  \r\n"
                                 "0.010000  0.025000  \r\n"
                                 "0.500000  0.070000  \r\n"
                                 "1.000000  0.001000  \r\n"
                                 "<   XL   ><   YL   >\r\n"
                                 "0.000000  0.000000  \r\n"
                                 "0.010000  -0.015000 \r\n"
                                 "0.500000  -0.030000 \r\n"
                                 "1.000000  -0.001000 \r\n";
    EXPECT_EQ(slurp(s.f_gwo), expected);
    EXPECT_FLOAT_EQ(s.xsing(1), 0.006f);
    EXPECT_FLOAT_EQ(s.slopt(1), -0.04f);

    // Saving again gives the same bytes.
    save_gwo(s);
    EXPECT_EQ(slurp(s.f_gwo), expected);
}

TEST(GwoParams, TrailingEdgeAngleFromTheLastInterval)
{
    auto s = smallSection();
    s.x_st(1, 3) = 0.98f;
    s.t_half(1, 3) = 0.002f;
    s.t_half(1, 4) = 0.0f;
    Single xs, ys, tr, sl;
    gwo_params(s, 1, xs, ys, tr, sl, s.x_st, s.t_half, s.camb);
    EXPECT_NEAR(tr, 11.42f, 0.005f);
}

TEST(GwoParams, SymmetricSectionHasNoCamberTerms)
{
    auto s = smallSection();
    for (int j = 1; j <= 4; ++j)
        s.camb(1, j) = 0;
    Single xs, ys, tr, sl;
    gwo_params(s, 1, xs, ys, tr, sl, s.x_st, s.t_half, s.camb);
    EXPECT_EQ(ys, 0.0f);
    EXPECT_EQ(sl, 0.0f);
}

TEST(GwoParams, DegenerateNoseAndTrailingEdgeStayFinite)
{
    auto s = smallSection();
    Single xs, ys, tr, sl;
    // Sharp nose: no station with half-thickness above its abscissa.
    s.t_half(1, 2) = 0.005f;
    gwo_params(s, 1, xs, ys, tr, sl, s.x_st, s.t_half, s.camb);
    EXPECT_EQ(xs, 0.0f);
    EXPECT_EQ(ys, s.camb(1, 1));
    // A run that never ends stops at the last station.
    for (int j = 2; j <= 4; ++j)
        s.t_half(1, j) = 2.0f;
    gwo_params(s, 1, xs, ys, tr, sl, s.x_st, s.t_half, s.camb);
    EXPECT_FLOAT_EQ(xs, 0.6f);
    // Coincident end stations use the interval before them.
    s.x_st(1, 3) = 1.0f;
    gwo_params(s, 1, xs, ys, tr, sl, s.x_st, s.t_half, s.camb);
    EXPECT_TRUE(std::isfinite(tr));
    EXPECT_TRUE(std::isfinite(sl));
}

TEST(GwoFile, AFailedSaveLeavesThePreviousFileWhole)
{
    auto s = smallSection();
    TempDir dir;
    s.f_gwo = dir.file("keep.gwo");
    save_gwo(s);
    const std::string before = slurp(s.f_gwo);

    // A folder where the temporary file would go makes the write fail.
    std::filesystem::create_directory(s.f_gwo + ".partial");
    s.y_up(1, 2) = 0.5f;
    EXPECT_THROW(save_gwo(s), Error);
    EXPECT_EQ(slurp(s.f_gwo), before);

    s.f_gwo = dir.file("no-such-folder/x.gwo");
    try {
        save_gwo(s);
        FAIL() << "expected an error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("x.gwo"), std::string::npos) << e.what();
    }
}
