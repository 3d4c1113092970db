// SPDX-License-Identifier: MIT
#pragma once

#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace camber {

/// Reads a text file line by line, counting lines for error messages. Lines may end in
/// CR LF or LF; the CR never reaches the caller.
class LineReader {
public:
    /// Opens path; throws Error naming the file when it cannot be opened.
    explicit LineReader(const std::string& path);
    /// The next line without its line end; throws Error "FILE: line N: ..." naming what was
    /// expected when the file ends early.
    std::string next(const std::string& expected);
    /// The next line, or nothing at the end of the file.
    std::optional<std::string> tryNext();
    /// Number of the line last returned (1-based).
    int lineNumber() const { return m_line; }
    /// An Error message "FILE: line N: what" for the line last returned.
    std::string where(const std::string& what) const;

private:
    std::string m_path;
    std::ifstream m_in;
    int m_line = 0;
};

/// Writes lines, each ended with eol (CR LF unless told), to path so that it is replaced whole
/// or not at all: the text goes to a temporary file in the same folder that is renamed over
/// path. Throws Error naming the file on failure; an existing file is then left as it was.
void write_lines_atomically(const std::string& path, const std::vector<std::string>& lines,
                            const char* eol = "\r\n");

} // namespace camber
