// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace camber {

/// All geometry, flow values and pressure data are held and computed in this type.
using Single = float;
/// Counts, indices and control-point numbers.
using Integer = std::int16_t;
/// The solver library's integer arguments.
using Long = std::int32_t;

/// Text of exactly 80 characters: shorter text is padded with spaces, longer text is cut.
class Text80 {
public:
    Text80() { m_chars.fill(' '); }
    explicit Text80(std::string_view text)
    {
        m_chars.fill(' ');
        text.copy(m_chars.data(), m_chars.size());
    }
    /// All 80 characters, trailing blanks included.
    std::string str() const { return std::string(m_chars.data(), m_chars.size()); }
    bool operator==(const Text80&) const = default;

private:
    std::array<char, 80> m_chars;
};

} // namespace camber
