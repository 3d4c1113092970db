// SPDX-License-Identifier: MIT
#include "shell/CommandLine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <vector>

using namespace camber;
using Action = CommandLine::Action;

TEST(CommandLine, ReadsAFileHelpVersionAndRefusesTheRest)
{
    const struct {
        std::vector<std::string> args;
        Action action;
        const char* file;
    } cases[] = {
        {{}, Action::Run, ""},
        {{"wing.ULF"}, Action::Run, "wing.ULF"},
        {{"-"}, Action::Run, "-"},
        {{"--help"}, Action::Help, ""},
        {{"wing.ULF", "-h"}, Action::Help, ""},
        {{"--version"}, Action::Version, ""},
        {{"--bogus", "-v"}, Action::Version, ""},
        {{"--bogus"}, Action::Usage, ""},
        {{"a.ULF", "b.ULF"}, Action::Usage, ""},
    };
    for (const auto& c : cases) {
        const CommandLine line = parse_command_line(c.args);
        EXPECT_EQ(line.action, c.action) << testing::PrintToString(c.args);
        EXPECT_EQ(line.file, c.file) << testing::PrintToString(c.args);
        EXPECT_EQ(line.message.empty(), c.action != Action::Usage) << testing::PrintToString(c.args);
    }
}

namespace {

struct Outcome {
    int status = -1;
    std::string out;
};

Outcome program(const std::string& args)
{
    Outcome r;
    // Only a wrong command line gets as far as the windowing, which needs a platform.
    FILE* pipe = popen(("QT_QPA_PLATFORM=offscreen " + std::string(CAMBER_PROGRAM) + " " + args + " 2>&1").c_str(), "r");
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        r.out += buffer;
    r.status = WEXITSTATUS(pclose(pipe));
    return r;
}

} // namespace

TEST(CommandLine, TheProgramAnswersHelpAndVersionAndRefusesUnknownOptions)
{
    const Outcome version = program("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, version_text());
    const Outcome help = program("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, help_text());
    const Outcome wrong = program("--colour=blue");
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(wrong.out.find("unknown option --colour=blue"), std::string::npos) << wrong.out;
}
