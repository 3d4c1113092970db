// SPDX-License-Identifier: MIT
#include "shell/SectionReader.h"

#include "geometry/Error.h"
#include "geometry/Format.h"
#include "geometry/TextFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

using namespace camber;
using camber::test::example;
using camber::test::TempDir;
namespace fs = std::filesystem;

namespace {

SectionState read(const std::string& path)
{
    SectionState s;
    s.f_inp = path;
    read_section(s);
    return s;
}

struct Point {
    double x, y;
};

// The upper and lower tables of a section file, leading edge first.
struct Tables {
    std::vector<Point> upper, lower;
};

Tables tablesOf(const SectionState& s)
{
    Tables t;
    for (int j = 1; j <= s.n_up(1); ++j) {
        t.upper.push_back({s.x_st(1, j), s.y_up(1, j)});
        t.lower.push_back({s.x_st(1, j), s.y_lo(1, j)});
    }
    return t;
}

std::string writeUlf(const TempDir& dir, const std::string& name, const Tables& t, double angleDeg = 0,
                     double scale = 1, double dx = 0, double dy = 0)
{
    const double a = angleDeg * 3.141592653589793 / 180.0;
    auto place = [&](Point p) {
        // Turned about the leading edge, trailing edge down for a positive angle.
        const double x = p.x * std::cos(a) + p.y * std::sin(a);
        const double y = -p.x * std::sin(a) + p.y * std::cos(a);
        return format_number(x * scale + dx, "0.0000000") + "  " + format_number(y * scale + dy, "0.0000000");
    };
    std::vector<std::string> lines{"moved section", "free",
                                   "0 " + std::to_string(t.upper.size()) + " " + std::to_string(t.lower.size()), "X Y"};
    for (const auto& p : t.upper)
        lines.push_back(place(p));
    lines.push_back("X Y");
    for (const auto& p : t.lower)
        lines.push_back(place(p));
    return dir.writeLines(name, lines);
}

void expectSameShape(const SectionState& a, const SectionState& b, float tol)
{
    ASSERT_EQ(a.n_up(1), b.n_up(1));
    for (int j = 1; j <= a.n_up(1); ++j) {
        EXPECT_NEAR(a.x_st(1, j), b.x_st(1, j), tol) << "station " << j;
        EXPECT_NEAR(a.y_up(1, j), b.y_up(1, j), tol) << "station " << j;
        EXPECT_NEAR(a.y_lo(1, j), b.y_lo(1, j), tol) << "station " << j;
    }
}

} // namespace

TEST(ReadSection, NormalisedSectionKeepsItsPointsAndForms)
{
    const auto s = read(example("naca2412.ULF"));
    EXPECT_EQ(s.title_ln(1).str().substr(0, 9), "NACA 2412");
    EXPECT_EQ(s.title_ln(1).str().find('\r'), std::string::npos);
    EXPECT_EQ(s.n_up(1), 61);
    EXPECT_EQ(s.n_tot(1), 121);
    EXPECT_EQ(s.x_c(1, 61), 0.0f);
    EXPECT_EQ(s.y_c(1, 61), 0.0f);
    EXPECT_EQ(s.x_c(1, 1), 1.0f);
    EXPECT_EQ(s.x_c(1, 121), 1.0f);
    EXPECT_EQ(s.x_st(1, 1), 0.0f);
    EXPECT_EQ(s.x_st(1, 61), 1.0f);
    EXPECT_EQ(s.chord(1), 1.0f);
    EXPECT_EQ(s.k_sec, 1);
    EXPECT_EQ(s.x_min(1), 0.0f);
    EXPECT_EQ(s.x_max(1), 1.0f);
    Single maxThick = 0;
    for (int j = 1; j <= 61; ++j) {
        EXPECT_FLOAT_EQ(s.s_st(1, j), std::sqrt(s.x_st(1, j)));
        EXPECT_FLOAT_EQ(s.t_half(1, j), (s.y_up(1, j) - s.y_lo(1, j)) * 0.5f);
        EXPECT_FLOAT_EQ(s.camb0(1, j), (s.y_up0(1, j) + s.y_lo0(1, j)) * 0.5f);
        maxThick = std::max(maxThick, 2 * s.t_half(1, j));
    }
    EXPECT_NEAR(maxThick, 0.12f, 0.001f);
    // 4-digit camber line: 2 % at 40 % chord.
    for (int j = 1; j <= 61; ++j)
        if (std::fabs(s.x_st(1, j) - 0.4f) < 0.02f) {
            EXPECT_NEAR(s.camb(1, j), 0.02f, 0.0005f);
        }
}

TEST(ReadSection, TurnedScaledAndMovedSectionReadsBackToTheSameShape)
{
    const auto reference = read(example("naca2412.ULF"));
    Tables t = tablesOf(reference);
    TempDir dir;
    for (double angle : {4.0, -7.5, 0.0}) {
        const auto s = read(writeUlf(dir, "moved.ULF", t, angle, 250.0, -120.0, 33.0));
        EXPECT_NEAR(s.twist, angle, 1e-4) << angle;
        EXPECT_NEAR(s.twist_sec(1), angle, 1e-4);
        expectSameShape(s, reference, 2e-5f);
        EXPECT_EQ(s.x_c(1, s.n_up(1)), 0.0f);
        EXPECT_EQ(s.y_c(1, s.n_up(1)), 0.0f);
    }
}

TEST(ReadSection, CamberedSampleTakesTheFarthestPointAsItsLeadingEdge)
{
    // The file is turned 4 degrees, but on a cambered nose the point farthest from the
    // trailing edge lies one point onto the lower surface: the chord line found there is
    // steeper, and the junction of the tables (n_u = 51) is not the leading edge.
    const auto s = read(example("naca4415_mm.ULF"));
    EXPECT_EQ(s.n_up(1), 50);
    EXPECT_EQ(s.n_lo(1), 51);
    EXPECT_EQ(s.n_tot(1), 101);
    EXPECT_GT(s.twist, 4.0f);
    EXPECT_LT(s.twist, 4.5f);
    EXPECT_EQ(s.x_c(1, 1), 1.0f);
    EXPECT_EQ(s.x_c(1, 50), 0.0f);
    Single maxThick = 0;
    for (int j = 1; j <= s.n_up(1); ++j)
        maxThick = std::max(maxThick, 2 * s.t_half(1, j));
    EXPECT_NEAR(maxThick, 0.15f, 0.002f);
}

TEST(ReadSection, SymmetricFileMirrorsTheUpperSurface)
{
    const auto s = read(example("naca0012.ULF"));
    EXPECT_EQ(s.n_lo(1), 61);
    EXPECT_EQ(s.n_tot(1), 121);
    EXPECT_EQ(s.n_up(1), 61);
    for (int j = 1; j <= 61; ++j) {
        EXPECT_NEAR(s.y_lo(1, j), -s.y_up(1, j), 1e-6f) << j;
        EXPECT_NEAR(s.camb(1, j), 0.0f, 1e-6f);
    }
}

TEST(ReadSection, LeadingEdgeAwayFromTheJunctionOfTheTables)
{
    const auto reference = read(example("naca2412.ULF"));
    Tables t = tablesOf(reference);
    // The upper table starts one point onto the lower surface; the lower table starts there.
    Tables shifted;
    shifted.upper.push_back(t.lower[1]);
    shifted.upper.insert(shifted.upper.end(), t.upper.begin(), t.upper.end());
    shifted.lower.assign(t.lower.begin() + 1, t.lower.end());
    TempDir dir;
    const auto s = read(writeUlf(dir, "shifted.ULF", shifted));
    EXPECT_EQ(s.n_up(1), 61);
    EXPECT_EQ(s.n_lo(1), 60);
    EXPECT_EQ(s.n_tot(1), 121);
    expectSameShape(s, reference, 1e-6f);
}

TEST(ReadSection, LinuxLineEndsReadTheSame)
{
    const auto reference = read(example("naca0010.ULF"));
    std::ifstream in(example("naca0010.ULF"), std::ios::binary);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l.substr(0, l.find('\r')));
    TempDir dir;
    const auto s = read(dir.writeLines("lf.ULF", lines, "\n"));
    expectSameShape(s, reference, 0.0f);
    EXPECT_EQ(s.title_ln(1), reference.title_ln(1));
}

TEST(ReadSection, ASecondShorterReadKeepsTheTailsAndAddsTheAngle)
{
    SectionState s;
    s.f_inp = example("naca4415_mm.ULF");
    read_section(s);
    const float tail = s.x_st(1, 45);
    const float first = s.twist_sec(1);
    s.f_inp = example("naca0010.ULF");
    read_section(s);
    EXPECT_EQ(s.n_up(1), 33);
    EXPECT_EQ(s.x_st(1, 45), tail);
    s.f_inp = example("naca4415_mm.ULF");
    read_section(s);
    EXPECT_NEAR(s.twist_sec(1), 2 * first, 1e-5f);
}

TEST(ReadSection, WindowOfTheLeadingEdgeSearchIsAFifthOfTheUpperCount)
{
    // A contour whose farthest point sits 3 places before the junction of the tables: a
    // window of +-3 (n_u = 13) finds it, a window of +-2 (n_u = 12) finds a point that leaves
    // it ahead of the leading edge, which the read rejects.
    auto make = [](int nu) {
        Tables t;
        t.upper = {{0.02, -0.02}, {0.01, -0.015}, {0.005, -0.01}, {0.0, 0.0}};
        for (int i = 4; i < nu; ++i) {
            const double x = static_cast<double>(i - 3) / (nu - 4);
            t.upper.push_back({x, 0.05 * std::sin(3.141592653589793 * x)});
        }
        t.lower = {{0.02, -0.02}, {0.5, -0.03}, {1.0, 0.0}};
        return t;
    };
    TempDir dir;
    const auto found = read(writeUlf(dir, "n13.ULF", make(13)));
    EXPECT_EQ(found.n_up(1), 10);
    SectionState s;
    s.f_inp = writeUlf(dir, "n12.ULF", make(12));
    EXPECT_THROW(read_section(s), Error);
}

TEST(ReadSection, BadFilesAreRejectedWithFileAndLineAndKeepThePreviousSection)
{
    TempDir dir;
    const std::string head[] = {"title", "free", "0 3 3", "X Y"};
    auto file = [&](const std::string& name, std::vector<std::string> body, const std::string& counts = "0 3 3") {
        std::vector<std::string> lines{head[0], head[1], counts, head[3]};
        lines.insert(lines.end(), body.begin(), body.end());
        return dir.writeLines(name, lines);
    };
    const std::vector<std::string> good{"0 0", "0.5 0.05", "1 0", "X Y", "0 0", "0.5 -0.04", "1 0"};
    struct Case {
        std::string path;
        std::string message;
    } cases[] = {
        {dir.write("empty.ULF", ""), "line 1"},
        {file("short.ULF", {"0 0", "0.5 0.05"}), "line 7: the file ends before upper point 3 of 3"},
        {file("nolower.ULF", {"0 0", "0.5 0.05", "1 0", "X Y", "0 0"}), "line 10: the file ends before lower point 2"},
        {file("many.ULF", good, "0 150 60"), "line 3: the contour has 209 points"},
        {file("one.ULF", good, "0 1 3"), "line 3: the upper surface needs at least 2 points"},
        {file("lone.ULF", good, "0 3 1"), "line 3: the lower surface needs at least 2 points"},
        {file("inf.ULF", {"0 0", "0.5 1e39", "1 0", "X Y", "0 0", "0.5 -0.04", "1 0"}), "line 6: the number is too large"},
        {file("ahead.ULF", {"0 0", "0.3 0.05", "-0.5 0.02", "1 0", "X Y", "0 0", "0.5 -0.04", "0.8 -0.01", "1 0"},
              "0 4 4"),
         "line 7: the point lies ahead of the leading edge"},
        {file("fold.ULF", {"0 0", "0.3 0.05", "0.2 0.06", "1 0", "X Y", "0 0", "0.5 -0.04", "0.8 -0.01", "1 0"},
              "0 4 4"),
         "line 6: the contour folds back"},
        {file("zero.ULF", {"0 0", "0 0", "0 0", "X Y", "0 0", "0 0", "0 0"}), "zero chord"},
        {(fs::temp_directory_path() / "camber-no-such-file.ULF").string(), "cannot open"},
    };
    for (const auto& c : cases) {
        SectionState s;
        s.f_inp = example("naca0010.ULF");
        read_section(s);
        s.cp_win = 1;
        const auto before = tablesOf(s);
        const float twistSec = s.twist_sec(1);
        s.f_inp = c.path;
        try {
            read_section(s);
            ADD_FAILURE() << c.path << " was accepted";
        } catch (const Error& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find(c.path), std::string::npos) << what;
            EXPECT_NE(what.find(c.message), std::string::npos) << "expected \"" << c.message << "\" in: " << what;
        }
        ASSERT_EQ(s.n_up(1), 33) << c.path;
        EXPECT_EQ(s.cp_win, 1);
        EXPECT_EQ(s.twist_sec(1), twistSec);
        const auto after = tablesOf(s);
        for (std::size_t j = 0; j < before.upper.size(); ++j)
            EXPECT_EQ(after.lower[j].y, before.lower[j].y) << c.path << " station " << j + 1;
    }
}

TEST(ReadSection, ShortPointLinesKeepThePreviousValues)
{
    TempDir dir;
    SectionState s;
    s.x_c(1, 2) = 0.5f;
    s.y_c(1, 2) = 0.05f;
    s.f_inp = dir.writeLines("blank.ULF", {"t", "f", "0 3 3", "X Y", "0 0", "", "1 0", "X Y", "0 0", "0.5", "1 0"});
    read_section(s);
    EXPECT_NEAR(s.y_up(1, 2), 0.05f, 1e-6f);
}
