// SPDX-License-Identifier: MIT
#include "geometry/GwoWriter.h"
#include "shell/SectionReader.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace camber;
using camber::test::example;
using camber::test::slurp;
namespace fs = std::filesystem;

namespace {

struct Run {
    int status = -1;
    std::string out;
    std::string err;
};

// One folder per test process (ctest runs the tests of this file in parallel), removed at exit.
struct WorkDir {
    fs::path path = fs::temp_directory_path() / ("camber_cli_test_" + std::to_string(getpid()));
    WorkDir()
    {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~WorkDir() { fs::remove_all(path); }
};

fs::path workDir()
{
    static const WorkDir dir;
    return dir.path;
}

Run cli(const std::string& args)
{
    const auto errFile = workDir() / "stderr.txt";
    const std::string command = std::string(CAMBER_CLI) + " " + args + " 2>" + errFile.string();
    Run r;
    FILE* pipe = popen(command.c_str(), "r");
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, pipe))
        r.out.append(buf, n);
    const int raw = pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.err = slurp(errFile);
    return r;
}

} // namespace

TEST(Cli, GwoIsByteForByteWhatSaveWritesAfterARead)
{
    const auto out = workDir() / "cli.gwo";
    const auto r = cli("gwo " + example("naca2412.ULF") + " " + out.string());
    ASSERT_EQ(r.status, 0) << r.err;

    SectionState s;
    s.f_inp = example("naca2412.ULF");
    read_section(s);
    s.f_gwo = (workDir() / "direct.gwo").string();
    save_gwo(s);
    EXPECT_EQ(slurp(out), slurp(s.f_gwo));
    EXPECT_EQ(slurp(out).substr(0, 9), "NACA 2412");
}

TEST(Cli, InfoPrintsOneNameValuePerLine)
{
    const auto r = cli("info " + example("naca4415_mm.ULF"));
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::map<std::string, std::string> values;
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        ASSERT_NE(eq, std::string::npos) << line;
        values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    for (const char* key : {"title", "n_up", "n_lo", "n_tot", "twist", "max_thickness", "max_thickness_x", "xsing",
                            "ysing", "trail", "slopt", "x_min", "x_max", "y_min", "y_max"})
        EXPECT_EQ(values.count(key), 1u) << key;
    EXPECT_EQ(values["n_up"], "50");
    EXPECT_EQ(values["n_lo"], "51");
    EXPECT_NEAR(std::stod(values["twist"]), 4.4, 0.05);
    EXPECT_NEAR(std::stod(values["max_thickness"]), 0.15, 0.002);
    EXPECT_NEAR(std::stod(values["max_thickness_x"]), 0.3, 0.03);
}

TEST(Cli, BadInputFailsWithFileAndLineAndLeavesTheOutputAlone)
{
    const auto bad = workDir() / "bad.ULF";
    std::ofstream(bad) << "title\nfree\n0 3 3\nX Y\n0 0\n";
    const auto out = workDir() / "kept.gwo";
    std::ofstream(out) << "previous";
    const auto r = cli("gwo " + bad.string() + " " + out.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(bad.string() + ": line 6"), std::string::npos) << r.err;
    EXPECT_EQ(slurp(out), "previous");

    const auto fresh = workDir() / "fresh.ULF";
    const auto c = cli("convert " + (workDir() / "missing.dat").string() + " " + fresh.string());
    EXPECT_EQ(c.status, 1);
    EXPECT_FALSE(fs::exists(fresh));
}

TEST(Cli, WrongUsageExitsWithTwo)
{
    for (const char* args : {"", "gwo onlyone", "frobnicate a b", "info a b"}) {
        const auto r = cli(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("usage"), std::string::npos);
    }
}

TEST(Cli, ConvertWritesASectionFileTheReaderAccepts)
{
    const auto dat = workDir() / "foil.dat";
    std::ofstream(dat) << "foil\n1.0 0.001\n0.5 0.06\n0.1 0.04\n0.0 0.0\n0.1 -0.03\n0.5 -0.04\n1.0 -0.001\n";
    const auto ulf = workDir() / "foil.ULF";
    const auto r = cli("convert " + dat.string() + " " + ulf.string());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto info = cli("info " + ulf.string());
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("n_up=4"), std::string::npos) << info.out;
}
