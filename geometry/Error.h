// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>

namespace camber {

/// A failed operation (unreadable file, index beyond a bound, unwritable output).
/// The message is meant for the user and names the file and line where it can.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

} // namespace camber
