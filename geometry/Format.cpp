// SPDX-License-Identifier: MIT
#include "Format.h"

#include <cassert>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <cstdlib>

namespace camber {

std::string format_number(double value, std::string_view mask)
{
    const auto point = mask.find('.');
    const std::string_view intMask = mask.substr(0, point);
    const std::string_view fracMask = point == std::string_view::npos ? std::string_view{} : mask.substr(point + 1);

    int decimals = 0, shownDecimals = 0, intZeros = 0;
    for (char ch : fracMask) {
        if (ch == '0' || ch == '#')
            ++decimals;
        if (ch == '0')
            shownDecimals = decimals;
    }
    for (char ch : intMask)
        intZeros += ch == '0';

    // Rounding the exact value of the number scaled to whole units of the last decimal.
    double scale = 1.0;
    for (int i = 0; i < decimals; ++i)
        scale *= 10.0;
    const double scaled = std::round(std::fabs(value) * scale);

    std::string digits;
    if (std::isfinite(scaled)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.0f", scaled);
        digits = buf;
    } else {
        digits = "0";
    }
    if (static_cast<int>(digits.size()) <= decimals)
        digits.insert(0, static_cast<std::size_t>(decimals + 1) - digits.size(), '0');
    std::string intDigits = digits.substr(0, digits.size() - static_cast<std::size_t>(decimals));
    std::string fracDigits = digits.substr(digits.size() - static_cast<std::size_t>(decimals));

    // Integer part: no leading zeros beyond the mask's zeros.
    const auto firstNonZero = intDigits.find_first_not_of('0');
    intDigits = firstNonZero == std::string::npos ? std::string{} : intDigits.substr(firstNonZero);
    if (static_cast<int>(intDigits.size()) < intZeros)
        intDigits.insert(0, static_cast<std::size_t>(intZeros) - intDigits.size(), '0');
    // Decimal part: no trailing zeros beyond the mask's zeros.
    while (static_cast<int>(fracDigits.size()) > shownDecimals && fracDigits.back() == '0')
        fracDigits.pop_back();

    // Copied characters keep their place before, between or after the integer digits.
    std::string out;
    const auto firstDigit = intMask.find_first_of("0#");
    if (firstDigit == std::string_view::npos) {
        out = std::string(intMask) + intDigits;
    } else {
        const auto lastDigit = intMask.find_last_of("0#");
        out = std::string(intMask.substr(0, firstDigit)) + intDigits + std::string(intMask.substr(lastDigit + 1));
    }
    if (point != std::string_view::npos) {
        out += '.';
        std::size_t used = 0;
        for (char ch : fracMask) {
            if (ch == '0' || ch == '#') {
                if (used < fracDigits.size())
                    out += fracDigits[used++];
            } else {
                out += ch;
            }
        }
    }
    // A value that rounds to zero is shown without a sign.
    if (value < 0 && digits.find_first_not_of('0') != std::string::npos)
        out.insert(0, 1, '-');
    return out;
}

double text_to_number(std::string_view text)
{
    // Blanks and tabs are skipped anywhere inside the number.
    std::string compact;
    compact.reserve(text.size());
    for (char ch : text)
        if (ch != ' ' && ch != '\t')
            compact += ch;

    std::size_t i = 0;
    std::string number;
    if (i < compact.size() && (compact[i] == '+' || compact[i] == '-'))
        number += compact[i++];
    bool anyDigit = false;
    while (i < compact.size() && std::isdigit(static_cast<unsigned char>(compact[i]))) {
        number += compact[i++];
        anyDigit = true;
    }
    if (i < compact.size() && compact[i] == '.') {
        number += compact[i++];
        while (i < compact.size() && std::isdigit(static_cast<unsigned char>(compact[i]))) {
            number += compact[i++];
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return 0.0;
    if (i < compact.size() && (compact[i] == 'E' || compact[i] == 'e' || compact[i] == 'D' || compact[i] == 'd')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < compact.size() && (compact[j] == '+' || compact[j] == '-'))
            exponent += compact[j++];
        bool expDigit = false;
        while (j < compact.size() && std::isdigit(static_cast<unsigned char>(compact[j]))) {
            exponent += compact[j++];
            expDigit = true;
        }
        if (expDigit)
            number += exponent;
    }
    // from_chars reads the point whatever the process locale (a Qt program takes the user's).
    const char* first = number.data();
    if (*first == '+')
        ++first;
    double result = 0.0;
    std::from_chars(first, number.data() + number.size(), result);
    return result;
}

long round_half_even(double value)
{
    const double lower = std::floor(value);
    const double diff = value - lower;
    double result = lower;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(lower, 2.0) != 0.0))
        result = lower + 1.0;
    return static_cast<long>(result);
}

FixedLine& FixedLine::put(int col, std::string_view text)
{
    assert(col >= 1);
    const auto start = static_cast<std::size_t>(col - 1);
    const std::string_view field = text.substr(0, 10);
    for (std::size_t i = 0; i < field.size() && start + i < m_line.size(); ++i)
        m_line[start + i] = field[i];
    return *this;
}

} // namespace camber
