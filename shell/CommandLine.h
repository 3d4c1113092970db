// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace camber {

/// What the program's command line asks for.
struct CommandLine {
    enum class Action {
        Run,     ///< open the start-up window, reading file when one is given
        Help,    ///< print help_text() and end
        Version, ///< print version_text() and end
        Usage    ///< a wrong command line: print message and help_text() and end with status 2
    };
    Action action = Action::Run;
    std::string file;
    std::string message;
};

/// Reads the arguments after the program name: -h or --help, -v or --version (either wins over
/// everything else), and at most one section file. Anything else starting with "-" is a usage
/// error.
CommandLine parse_command_line(const std::vector<std::string>& arguments);

/// The text of --help.
std::string help_text();
/// The text of --version: the program's name and version.
std::string version_text();

} // namespace camber
