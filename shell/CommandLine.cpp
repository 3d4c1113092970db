// SPDX-License-Identifier: MIT
#include "CommandLine.h"

namespace camber {

CommandLine parse_command_line(const std::vector<std::string>& arguments)
{
    CommandLine line;
    for (const std::string& a : arguments) {
        if (a == "-h" || a == "--help")
            return {CommandLine::Action::Help, {}, {}};
        if (a == "-v" || a == "--version")
            return {CommandLine::Action::Version, {}, {}};
    }
    for (const std::string& a : arguments) {
        if (a.size() > 1 && a.front() == '-')
            return {CommandLine::Action::Usage, {}, "unknown option " + a};
        if (!line.file.empty())
            return {CommandLine::Action::Usage, {}, "one section file at a time, not " + line.file + " and " + a};
        line.file = a;
    }
    return line;
}

std::string help_text()
{
    return "usage: camber [FILE.ULF]\n"
           "Reshape a wing section with the mouse and watch its pressure distribution, lift and drag.\n"
           "\n"
           "  FILE.ULF       read this section file at start, as if picked and read in the start-up\n"
           "                 window (its folder becomes the current one, where Save writes)\n"
           "  -h, --help     print this help and end\n"
           "  -v, --version  print the version and end\n";
}

std::string version_text() { return std::string("camber ") + CAMBER_VERSION + "\n"; }

} // namespace camber
