// SPDX-License-Identifier: MIT
#include "shell/DatImport.h"

#include "geometry/Error.h"
#include "geometry/TextFile.h"
#include "shell/SectionReader.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace camber;
using camber::test::TempDir;

namespace {

// A cambered section with a blunt trailing edge: upper and lower from the leading edge.
std::vector<DatPoint> surface(bool upper, int n)
{
    std::vector<DatPoint> pts;
    for (int i = 0; i < n; ++i) {
        const double beta = 3.141592653589793 * i / (n - 1);
        const double x = 0.5 * (1 - std::cos(beta));
        const double t = 0.6 * (0.2969 * std::sqrt(x) - 0.126 * x - 0.3516 * x * x + 0.2843 * x * x * x - 0.1015 * x * x * x * x);
        const double c = 0.04 * x * (1 - x);
        pts.push_back({x, upper ? c + t : c - t});
    }
    return pts;
}

SectionState readUlf(const std::string& path)
{
    SectionState s;
    s.f_inp = path;
    read_section(s);
    return s;
}

} // namespace

TEST(DatImport, SeligAndLednicerGiveTheSameSection)
{
    const auto up = surface(true, 41), lo = surface(false, 41);
    std::string selig = "test foil\n";
    for (auto it = up.rbegin(); it != up.rend(); ++it)
        selig += " " + std::to_string(it->x) + " " + std::to_string(it->y) + "\n";
    for (std::size_t i = 1; i < lo.size(); ++i)
        selig += "\t" + std::to_string(lo[i].x) + "\t" + std::to_string(lo[i].y) + "\r\n";
    std::string lednicer = "test foil\n41.  41.\n\n";
    for (const auto& p : up)
        lednicer += "  " + std::to_string(p.x) + "  " + std::to_string(p.y) + "\n";
    lednicer += "\n";
    for (const auto& p : lo)
        lednicer += "  " + std::to_string(p.x) + "  " + std::to_string(p.y) + "\n";

    TempDir dir;
    const auto a = read_dat(dir.write("s.dat", selig));
    const auto b = read_dat(dir.write("l.dat", lednicer));
    EXPECT_EQ(a.name, "test foil");
    ASSERT_EQ(a.upper.size(), 41u);
    ASSERT_EQ(a.lower.size(), 41u);
    ASSERT_EQ(b.upper.size(), 41u);
    for (std::size_t i = 0; i < 41; ++i) {
        EXPECT_DOUBLE_EQ(a.upper[i].y, b.upper[i].y);
        EXPECT_DOUBLE_EQ(a.lower[i].y, b.lower[i].y);
    }

    // The written .ULF reads back to the imported shape.
    const auto ulf = dir.file("s.ULF");
    write_lines_atomically(ulf, ulf_lines(a, "s.dat"));
    const auto s = readUlf(ulf);
    EXPECT_EQ(s.n_up(1), 41);
    for (int j = 1; j <= 41; ++j) {
        EXPECT_NEAR(s.x_st(1, j), up[static_cast<std::size_t>(j - 1)].x, 2e-6) << j;
        EXPECT_NEAR(s.y_up(1, j), up[static_cast<std::size_t>(j - 1)].y, 2e-6) << j;
        EXPECT_NEAR(s.y_lo(1, j), lo[static_cast<std::size_t>(j - 1)].y, 2e-6) << j;
    }
}

TEST(DatImport, LargeCoordinatesKeepTheirDigitsWithinTenCharacters)
{
    DatSection big{"mm", {{0, 0}, {1234.5678, 80.25}, {2500, 0}}, {{0, 0}, {1234.5678, -60.125}, {2500, -1.5}}};
    const auto lines = ulf_lines(big, "x");
    for (std::size_t i = 4; i < lines.size(); ++i) {
        if (lines[i].find('X') != std::string::npos)
            continue;
        std::istringstream fields(lines[i]);
        for (std::string field; fields >> field;)
            EXPECT_LE(field.size(), 10u) << lines[i];
    }
    TempDir dir;
    const auto path = dir.file("big.ULF");
    write_lines_atomically(path, ulf_lines(big, "x"));
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("1234.5678"), std::string::npos);
    EXPECT_NE(text.find("-60.1250"), std::string::npos);
}

TEST(DatImport, RejectsWhatIsNotACoordinateFile)
{
    TempDir dir;
    struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"name\n1 0\n0.5 x\n0 0\n", "line 3: expected two numbers"},
        {"name\n1 0\n0.5 0.1 7\n", "line 3: expected two numbers x y, found 3"},
        {"name\n1 0\n", "a section needs at least 3 points"},
        {"name\n0 0\n0.5 0.1\n1 0\n", "the leading edge (smallest x) is an end"},
        {"name\n3. 3.\n0 0\n1 0\n\n0 0\n1 0\n", "announces 3 upper and 3 lower points, the file holds 4"},
    };
    for (const auto& c : cases) {
        try {
            read_dat(dir.write("bad.dat", c.text));
            ADD_FAILURE() << c.text;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("bad.dat"), std::string::npos) << e.what();
        }
    }
}
