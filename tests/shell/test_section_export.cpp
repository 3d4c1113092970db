// SPDX-License-Identifier: MIT
#include "shell/SectionExport.h"

#include "geometry/Error.h"
#include "geometry/TextFile.h"
#include "shell/SectionReader.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>

using namespace camber;
using camber::test::TempDir;

namespace {

std::unique_ptr<SectionState> readFile(const std::string& path)
{
    auto s = std::make_unique<SectionState>();
    s->f_inp = path;
    read_section(*s);
    return s;
}

// What the batch tool's convert does with a Selig file: the section file it writes.
std::string convertedSelig(const TempDir& dir, const std::string& dat)
{
    const std::string ulf = dir.file("converted.ULF");
    write_lines_atomically(ulf, ulf_lines(read_dat(dat), dat));
    return ulf;
}

void expectSameStations(const SectionState& a, const SectionState& b, const std::string& what)
{
    ASSERT_EQ(a.n_up(1), b.n_up(1)) << what;
    for (int i = 1; i <= a.n_up(1); ++i) {
        EXPECT_NEAR(a.x_st(1, i), b.x_st(1, i), 1e-6) << what << " station " << i;
        EXPECT_NEAR(a.y_up(1, i), b.y_up(1, i), 1e-6) << what << " station " << i;
        EXPECT_NEAR(a.y_lo(1, i), b.y_lo(1, i), 1e-6) << what << " station " << i;
    }
}

} // namespace

TEST(SectionExport, ReadingAnExportBackGivesTheStations)
{
    TempDir dir;
    for (const char* example : {"naca0010.ULF", "naca2412.ULF", "naca4415_mm.ULF"}) {
        for (const bool edited : {false, true}) {
            auto s = readFile(test::example(example));
            if (edited) {
                // A bump on the upper surface, as the editors make one.
                for (int i = 2; i < s->n_up(1); ++i)
                    s->y_up(1, i) += 0.02f * std::sin(3.14159265f * s->x_st(1, i));
            }
            const std::string what = std::string(example) + (edited ? " edited" : " as read");
            export_section(*s, dir.file("wing.ULF"));
            expectSameStations(*s, *readFile(dir.file("wing.ULF")), what + " through .ULF");
            export_section(*s, dir.file("wing.dat"));
            expectSameStations(*s, *readFile(convertedSelig(dir, dir.file("wing.dat"))), what + " through .dat");
        }
    }
}

TEST(SectionExport, SeligRunsFromTheUpperTrailingEdgeRoundTheNose)
{
    DatSection section{"wing", {{0, 0}, {0.5, 0.05}, {1, 0.001}}, {{0, 0}, {0.5, -0.04}, {1, -0.001}}};
    const std::vector<std::string> expected{"wing",
                                            " 1.00000000  0.00100000",
                                            " 0.50000000  0.05000000",
                                            " 0.00000000  0.00000000",
                                            " 0.50000000  -0.0400000",
                                            " 1.00000000  -0.0010000"};
    EXPECT_EQ(selig_lines(section), expected);
}

TEST(SectionExport, RefusesAnUnknownFormAndKeepsAnExistingFileOnFailure)
{
    TempDir dir;
    auto s = readFile(test::example("naca2412.ULF"));
    const std::string kept = dir.write("wing.dat", "kept\n");
    const struct {
        std::string path;
        const char* cause;
    } failures[] = {{dir.file("wing.txt"), ".dat (Selig) or .ULF"},
                    {dir.file("no/such/folder/wing.dat"), "cannot write"},
                    {dir.file("folder.dat"), "folder"}};
    std::filesystem::create_directory(dir.file("folder.dat"));
    for (const auto& f : failures) {
        try {
            export_section(*s, f.path);
            ADD_FAILURE() << f.path << " was written";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(f.path), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(f.cause), std::string::npos) << e.what();
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("wing.txt")));
    EXPECT_EQ(test::slurp(kept), "kept\n");
    EXPECT_THROW(export_section(SectionState{}, dir.file("empty.dat")), Error) << "nothing read yet";
}
