// SPDX-License-Identifier: MIT
#include "TextFile.h"

#include "Error.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace camber {

LineReader::LineReader(const std::string& path) : m_path(path), m_in(path, std::ios::binary)
{
    if (!m_in)
        throw Error(path + ": cannot open the file (" + std::strerror(errno) + ")");
}

std::string LineReader::next(const std::string& expected)
{
    auto line = tryNext();
    if (!line)
        throw Error(m_path + ": line " + std::to_string(m_line + 1) + ": the file ends before " + expected);
    return *line;
}

std::optional<std::string> LineReader::tryNext()
{
    std::string line;
    if (!std::getline(m_in, line))
        return std::nullopt;
    ++m_line;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::string LineReader::where(const std::string& what) const
{
    return m_path + ": line " + std::to_string(m_line) + ": " + what;
}

void write_lines_atomically(const std::string& path, const std::vector<std::string>& lines, const char* eol)
{
    namespace fs = std::filesystem;
    const fs::path target(path);
    if (fs::is_directory(target))
        throw Error(path + ": cannot write the file: it is a folder");
    fs::path temp = target;
    temp += ".partial";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            throw Error(path + ": cannot write the file (" + std::strerror(errno) + ")");
        for (const auto& line : lines)
            out << line << eol;
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            fs::remove(temp, ignored);
            throw Error(path + ": writing the file failed");
        }
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw Error(path + ": cannot replace the file (" + ec.message() + ")");
    }
}

} // namespace camber
