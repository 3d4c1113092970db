// SPDX-License-Identifier: MIT
#include "cp/CpCore.h"
#include "geometry/Format.h"
#include "geometry/GwoWriter.h"
#include "shell/SectionReader.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
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

/// A folder for this process's files (ctest runs the tests of this file in parallel
/// processes), removed when the process ends.
class WorkDir {
public:
    WorkDir() : m_path(fs::temp_directory_path() / ("camber_cli_test_" + std::to_string(getpid())))
    {
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~WorkDir() { fs::remove_all(m_path); }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

fs::path workDir()
{
    static const WorkDir dir;
    return dir.path();
}

/// Runs the batch tool with args, under the emulator command emulator when one is given.
Run cli(const std::string& args, const std::string& emulator = "")
{
    const auto errFile = workDir() / "stderr.txt";
    const std::string command =
        (emulator.empty() ? "" : emulator + " ") + std::string(CAMBER_CLI) + " " + args + " 2>" + errFile.string();
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

TEST(Cli, ExportWritesTheSectionAsReadThatConvertAndTheReaderGiveBack)
{
    SectionState original;
    original.f_inp = example("naca4415_mm.ULF");
    read_section(original);
    const auto dat = workDir() / "export.dat";
    const auto ulf = workDir() / "export.ULF";
    const auto converted = workDir() / "converted.ULF";
    for (const auto& out : {dat, ulf}) {
        const auto r = cli("export " + example("naca4415_mm.ULF") + " " + out.string());
        ASSERT_EQ(r.status, 0) << r.err;
    }
    ASSERT_EQ(cli("convert " + dat.string() + " " + converted.string()).status, 0);
    for (const auto& back : {ulf, converted}) {
        SectionState s;
        s.f_inp = back.string();
        read_section(s);
        ASSERT_EQ(s.n_up(1), original.n_up(1)) << back;
        for (int i = 1; i <= s.n_up(1); ++i) {
            EXPECT_NEAR(s.x_st(1, i), original.x_st(1, i), 1e-6) << back << " station " << i;
            EXPECT_NEAR(s.y_up(1, i), original.y_up(1, i), 1e-6) << back << " station " << i;
            EXPECT_NEAR(s.y_lo(1, i), original.y_lo(1, i), 1e-6) << back << " station " << i;
        }
    }

    const auto unknown = workDir() / "export.csv";
    const auto r = cli("export " + example("naca4415_mm.ULF") + " " + unknown.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(unknown.string()), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(unknown));
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

namespace {

/// The numbers of the cp command's one output line, by name.
std::map<std::string, std::string> cpLine(const std::string& out)
{
    std::map<std::string, std::string> fields;
    std::istringstream in(out);
    std::string word;
    while (in >> word) {
        const auto eq = word.find('=');
        if (eq != std::string::npos)
            fields[word.substr(0, eq)] = word.substr(eq + 1);
    }
    return fields;
}

} // namespace

TEST(CliCp, WritesWhatSaveCpWritesAfterTheSameCalculation)
{
    const auto out = workDir() / "cli.cpo";
    const auto r = cli("cp " + example("naca2412.ULF") + " " + out.string() + " --mach 0.5 --cl 0.4 --re 6");
    ASSERT_EQ(r.status, 0) << r.err;
    auto f = cpLine(r.out);
    EXPECT_EQ(f["status"], "0");
    EXPECT_EQ(f["mach"], "0.50");
    EXPECT_EQ(f["cl"], "0.400");
    EXPECT_GT(std::stod(f["cd"]), 0.003);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);

    // The same calculation in this process, through the same loader and writer.
    camber::set_solver_library_path(CAMBER_SMESH_LIBRARY);
    camber::SectionState s;
    s.f_inp = example("naca2412.ULF");
    camber::read_section(s);
    s.mach(1) = 0.5f;
    s.k_alcl = 0;
    s.alcl(1) = 0.4f;
    s.flow.reynolds = 6e6;
    s.f_cpo = (workDir() / "inprocess.cpo").string();
    camber::fill_solver_inputs(s);
    camber::call_solver(s);
    camber::save_cp(s);
    EXPECT_EQ(slurp(out), slurp(s.f_cpo));
    EXPECT_EQ(f["alpha"], camber::format_number(s.alpha, "0.000#"));
}

TEST(CliCp, DefaultsAreTheEditingButtonsAndANegativeStatusExitsWithThree)
{
    // Mach 0.7 and CL 0.5 put a supersonic pocket on the NACA 0012: the transonic method
    // (the default) computes it, the panel method cannot (status -3), yet the file is written.
    const auto out = workDir() / "default.cpo";
    fs::remove(out);
    const auto transonic = cli("cp " + example("naca0012.ULF") + " " + out.string());
    EXPECT_EQ(transonic.status, 0) << transonic.err;
    auto t = cpLine(transonic.out);
    EXPECT_EQ(t["status"], "0");
    EXPECT_EQ(t["mach"], "0.70");
    EXPECT_EQ(t["cl"], "0.500");
    fs::remove(out);
    const auto panel = cli("cp " + example("naca0012.ULF") + " " + out.string() + " --method 1");
    EXPECT_EQ(panel.status, 3) << panel.err;
    EXPECT_EQ(cpLine(panel.out)["status"], "-3");
    EXPECT_NE(panel.err.find("Calc. is not OK"), std::string::npos) << panel.err;
    EXPECT_TRUE(fs::exists(out));
    const auto text = slurp(out);
    EXPECT_NE(text.find("0.7000    "), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4 + 129);
}

TEST(CliCp, AProcessorBelowTheSolversInstructionSetGetsStatusMinusFiveNotACrash)
{
#ifndef CAMBER_OLDER_PROCESSOR
    GTEST_SKIP() << "no emulator of an older x86-64 processor here";
#else
    // The solver's core is built for x86-64-v3; on an emulated processor without AVX2 its entry
    // points must answer before any of the core's code runs, for both methods.
    const auto out = workDir() / "older.cpo";
    for (const std::string method : {"0", "1"}) {
        const auto r = cli("cp " + example("naca0012.ULF") + " " + out.string() + " --method " + method,
                           CAMBER_OLDER_PROCESSOR);
        EXPECT_EQ(r.status, 3) << r.err;
        EXPECT_EQ(cpLine(r.out)["status"], "-5") << r.out;
        EXPECT_NE(r.err.find("Calc. is not OK"), std::string::npos) << r.err;
    }
#endif
}

TEST(CliCp, AngleInviscidAndOptionsReachTheSolver)
{
    const auto out = workDir() / "alpha.cpo";
    const auto r = cli("cp " + example("naca0012.ULF") + " " + out.string() +
                       " --mach 0.3 --alpha 2 --inviscid --level 3 --method 1");
    ASSERT_EQ(r.status, 0) << r.err;
    auto f = cpLine(r.out);
    EXPECT_EQ(f["alpha"], "2.000");
    EXPECT_EQ(f["cd"], "0.00000");
    const auto tripped = cli("cp " + example("naca0012.ULF") + " " + out.string() +
                             " --mach 0.3 --alpha 2 --re 6 --transition 0.05 --method 1");
    const auto free = cli("cp " + example("naca0012.ULF") + " " + out.string() + " --mach 0.3 --alpha 2 --re 6 --method 1");
    EXPECT_GT(std::stod(cpLine(tripped.out)["cd"]), std::stod(cpLine(free.out)["cd"]));
}

TEST(CliCp, FlowOptionsTakeAnyReynoldsNumberNcritAndATransitionPerSurface)
{
    const auto out = workDir() / "flow.cpo";
    const std::string head = "cp " + example("naca2412.ULF") + " " + out.string() + " --mach 0.3 --alpha 2 --method 1";
    const auto low = cli(head + " --re 3.5");
    ASSERT_EQ(low.status, 0) << low.err;
    auto f = cpLine(low.out);
    for (const char* key : {"status", "mach", "alpha", "cl", "cd", "cd_wave", "cd_friction", "cm", "xtr_upper", "xtr_lower"})
        EXPECT_EQ(f.count(key), 1u) << key;
    const double cd = std::stod(f["cd"]), friction = std::stod(f["cd_friction"]);
    EXPECT_GT(friction, 0.0);
    EXPECT_LT(friction, cd);
    // Tripping only the lower surface ahead of where it turns by itself moves that point; the
    // upper one moves only as far as the slightly changed lift moves it.
    auto tripped = cpLine(cli(head + " --re 3.5 --transition 1,0.1").out);
    EXPECT_NEAR(std::stod(tripped["xtr_upper"]), std::stod(f["xtr_upper"]), 0.02);
    EXPECT_LT(std::stod(tripped["xtr_lower"]), std::stod(f["xtr_lower"]));
    EXPECT_NEAR(std::stod(tripped["xtr_lower"]), 0.1, 0.02);
    // A lower Ncrit (a noisier free stream) moves transition forward.
    auto noisy = cpLine(cli(head + " --re 3.5 --ncrit 4").out);
    EXPECT_LT(std::stod(noisy["xtr_upper"]), std::stod(f["xtr_upper"]));
}

TEST(CliCp, AnOptionOutOfRangeIsAUsageErrorNamingIt)
{
    const auto out = workDir() / "never.cpo";
    fs::remove(out);
    for (const auto& [tail, option] : std::vector<std::pair<std::string, std::string>>{
             {"--re 0.01", "--re"}, {"--re 2000", "--re"}, {"--re -6", "--re"}, {"--ncrit 0.5", "--ncrit"},
             {"--ncrit 25", "--ncrit"}, {"--transition 1.5", "--transition"}, {"--transition 0.1,x", "--transition"}}) {
        const auto r = cli("cp " + example("naca0012.ULF") + " " + out.string() + " " + tail);
        EXPECT_EQ(r.status, 2) << tail;
        EXPECT_NE(r.err.find("camber-cli: " + option), std::string::npos) << tail << ": " << r.err;
    }
    EXPECT_FALSE(fs::exists(out));
}

TEST(CliCp, BadInputExitsWithOneAndWrongUsageWithTwo)
{
    const auto out = workDir() / "never.cpo";
    fs::remove(out);
    const auto missing = cli("cp " + (workDir() / "missing.ULF").string() + " " + out.string());
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(fs::exists(out));
    for (const std::string tail : {"--cl 0.5 --alpha 2", "--alpha 2 --cl 0.5", "--mach", "--mach fast", "--level 2.5",
                                   "--frobnicate 1", "--re 1e400"}) {
        const auto r = cli("cp " + example("naca0012.ULF") + " " + out.string() + " " + tail);
        EXPECT_EQ(r.status, 2) << tail;
        EXPECT_NE(r.err.find("usage"), std::string::npos) << tail;
    }
    EXPECT_EQ(cli("cp " + example("naca0012.ULF")).status, 2);
    EXPECT_FALSE(fs::exists(out));
}

/// The case rows of a sweep file, split at the commas, the timing blanked (it never repeats).
std::vector<std::vector<std::string>> sweepRows(const fs::path& file)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream text(slurp(file));
    std::string line;
    std::getline(text, line); // heading
    while (std::getline(text, line)) {
        if (line.rfind("cases=", 0) == 0)
            break;
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');)
            fields.push_back(cell);
        if (fields.size() > 6)
            fields[6].clear();
        rows.push_back(fields);
    }
    return rows;
}

TEST(CliSweep, SameSeedGivesTheSameCasesAndEveryResultIsReported)
{
    const auto first = workDir() / "sweep1.csv", second = workDir() / "sweep2.csv";
    const std::string tail = " --count 6 --seed 11 --method 1";
    const auto a = cli("sweep " + example("naca2412.ULF") + " " + first.string() + tail);
    const auto b = cli("sweep " + example("naca2412.ULF") + " " + second.string() + tail);
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(a.out.rfind("cases=6 ", 0), 0u) << a.out;
    // A case that failed can be rerun: everything but the timing repeats with the seed.
    const auto rows = sweepRows(first);
    EXPECT_EQ(rows, sweepRows(second));
    ASSERT_EQ(rows.size(), 6u);
    for (const auto& f : rows) {
        ASSERT_EQ(f.size(), 10u);
        const int status = std::stoi(f[4]);
        EXPECT_TRUE(status >= -3 && status <= 3) << status;
        EXPECT_EQ(f[5], "1"); // finite
        const double mach = std::stod(f[2]), cl = std::stod(f[3]);
        EXPECT_TRUE(mach >= 0.2 && mach <= 0.85 && cl >= -0.5 && cl <= 1.5) << mach << " " << cl;
    }
    EXPECT_EQ(cli("sweep " + example("naca2412.ULF") + " " + first.string() + " --count 0").status, 2);
}

namespace {

/// The lines of a CSV file, its CR LF line ends taken off.
std::vector<std::string> csvLines(const fs::path& file)
{
    std::vector<std::string> lines;
    std::istringstream text(slurp(file));
    for (std::string line; std::getline(text, line);) {
        EXPECT_EQ(line.back(), '\r');
        line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

} // namespace

TEST(CliPolar, WritesOneLinePerPointInSweepOrderWithTheFlowOptionsOfCp)
{
    const auto out = workDir() / "lift.csv";
    const std::string head = "polar " + example("naca2412.ULF") + " " + out.string();
    const auto r = cli(head + " --mach 0.3 --alpha 6:-2:-2 --method 1 --re 6 --ncrit 7 --transition 0,0.5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "") << "only a Mach sweep has a divergence to print";
    const auto lines = csvLines(out);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "mach,alpha,cl,cd,cd_wave,cd_friction,cm,xtr_upper,xtr_lower,status");
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string angle = format_number(8.0 - 2.0 * static_cast<double>(i), "0.000#");
        EXPECT_EQ(lines[i].rfind("0.300," + angle + ",", 0), 0u) << lines[i];
    }
    // The flow options reach every point: the tripped lower layer turns at x/c 0.5 at the
    // highest angle, where it would stay laminar much further by itself.
    const auto cpRun = cli("cp " + example("naca2412.ULF") + " " + (workDir() / "lift.cpo").string() +
                           " --mach 0.3 --alpha 6 --method 1 --re 6 --ncrit 7 --transition 0,0.5");
    auto cpFields = cpLine(cpRun.out);
    EXPECT_NEAR(std::stod(cpFields["xtr_lower"]), 0.5, 0.02);
    std::vector<std::string> first;
    std::istringstream cells(lines[1]);
    for (std::string cell; std::getline(cells, cell, ',');)
        first.push_back(cell);
    ASSERT_EQ(first.size(), 10u);
    EXPECT_NEAR(std::stod(first[8]), 0.5, 0.02);
    EXPECT_NEAR(std::stod(first[2]), std::stod(cpFields["cl"]), 1e-4) << "the same case as cp";
}

TEST(CliPolar, AMachSweepPrintsTheDivergenceAndAFailedPointExitsWithThree)
{
    // The panel method refuses the supersonic points at the end of this sweep (status -3).
    const auto out = workDir() / "mach.csv";
    const auto r = cli("polar " + example("naca0012.ULF") + " " + out.string() +
                       " --mach 0.3:0.8:0.1 --cl 0.5 --method 1 --level 1");
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("Calc. is not OK"), std::string::npos) << r.err;
    const auto lines = csvLines(out);
    ASSERT_EQ(lines.size(), 7u) << "every point written, the failed ones too";
    EXPECT_EQ(lines[1].rfind("0.300,", 0), 0u);
    EXPECT_EQ(lines[6].rfind("0.800,", 0), 0u);
    EXPECT_EQ(lines[6].substr(lines[6].rfind(',')), ",-3");
    EXPECT_EQ(lines[1].substr(lines[1].rfind(',')), ",0");
    EXPECT_EQ(r.out.rfind("divergence_mach=", 0), 0u) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
}

TEST(CliPolar, SweepsOneOptionAndRefusesEverythingElseWithoutWriting)
{
    const auto out = workDir() / "never.csv";
    fs::remove(out);
    const std::string head = "polar " + example("naca0012.ULF") + " " + out.string() + " ";
    for (const auto& [tail, says] : std::vector<std::pair<std::string, std::string>>{
             {"--mach 0.6:0.8:0.1 --alpha 2", "--cl"},
             {"--mach 0.6 --cl 0.5", "--cl takes a sweep"},
             {"--mach 0.6:0.8:0.1 --cl 0:1:0.1", "--cl takes a number"},
             {"--mach 0.6:0.8:0 --cl 0.5", "--mach"},
             {"--mach 0.8:0.6:0.1 --cl 0.5", "--mach"},
             {"--mach 0.6:0.8 --cl 0.5", "--mach"},
             {"--mach 0.5 --cl 0:1000:0.1", "--cl"},
             {"--mach 0.5 --alpha 0:4:x", "--alpha"},
             {"--mach 0.5 --cl 0:1:0.5 --re 0.001", "--re"},
             {"--cl 0:1:0.5", "usage"},
             {"--mach 0.5 --cl 0:1:0.5 --alpha 2", "usage"}}) {
        const auto r = cli(head + tail);
        EXPECT_EQ(r.status, 2) << tail;
        EXPECT_NE(r.err.find(says), std::string::npos) << tail << ": " << r.err;
    }
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(cli("polar " + (workDir() / "missing.ULF").string() + " " + out.string() + " --mach 0.5 --cl 0:1:0.5")
                  .status,
              1);
    EXPECT_FALSE(fs::exists(out));
}
