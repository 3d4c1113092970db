// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace camber {

/// Formats a number through a display mask: '0' is a digit always shown, '#' a digit shown
/// only when significant, '.' the decimal point, any other character is copied. The value is
/// rounded (halves away from zero) to the mask's decimal places; a negative value gets a
/// leading minus sign unless it rounds to zero. Example: format_number(0.4, "0.00#") is "0.40".
std::string format_number(double value, std::string_view mask);

/// The leading decimal number of a text: optional sign, digits with an optional point,
/// optional exponent with E or D; blanks and tabs inside are skipped; the point is the
/// separator whatever the locale; 0 when the text does not begin with a number.
double text_to_number(std::string_view text);

/// Nearest integer, halves to the even neighbour (2.5 gives 2, 3.5 gives 4).
long round_half_even(double value);

/// A text line of blanks over which fields are written, left-aligned, 10 characters at most.
class FixedLine {
public:
    /// A line of width blanks.
    explicit FixedLine(int width) : m_line(static_cast<std::size_t>(width), ' ') {}
    /// Writes text at 1-based column col, cut to 10 characters and to the line's end.
    FixedLine& put(int col, std::string_view text);
    const std::string& str() const { return m_line; }

private:
    std::string m_line;
};

} // namespace camber
