// SPDX-License-Identifier: MIT
#pragma once

#include "geometry/SectionState.h"

#include <gtest/gtest.h>

#include <cmath>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace camber::test {

/// A sample section shipped in examples/.
inline std::string example(const std::string& name) { return std::string(CAMBER_EXAMPLES) + "/" + name; }

/// The station of section 1 nearest to chord position x.
inline int stationNear(const SectionState& s, float x)
{
    int best = 1;
    for (int j = 1; j <= s.n_up(1); ++j)
        if (std::fabs(s.x_st(1, j) - x) < std::fabs(s.x_st(1, best) - x))
            best = j;
    return best;
}

/// The whole content of a file, bytes as stored.
inline std::string slurp(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

/// A fresh folder for the running test, removed afterwards.
class TempDir {
public:
    TempDir()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = std::filesystem::temp_directory_path()
                 / ("camber_" + std::string(info->test_suite_name()) + "_" + info->name() + "_"
                    + std::to_string(::getpid()));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }
    /// Writes text as it stands and returns the file's path.
    std::string write(const std::string& name, const std::string& text) const
    {
        std::ofstream(file(name), std::ios::binary) << text;
        return file(name);
    }
    /// Writes lines, each followed by eol, and returns the file's path.
    std::string writeLines(const std::string& name, const std::vector<std::string>& lines,
                           const char* eol = "\r\n") const
    {
        std::string text;
        for (const auto& l : lines)
            text += l + eol;
        return write(name, text);
    }

private:
    std::filesystem::path m_path;
};

} // namespace camber::test
