// SPDX-License-Identifier: MIT
#pragma once

#include "Error.h"

#include <array>
#include <cstddef>
#include <string>

namespace camber {

/// Fixed-size array indexed from 1 to N. An index outside 1..N throws Error, so a count
/// beyond a bound stops the operation instead of corrupting neighbouring data.
template <typename T, int N>
class Array1 {
public:
    Array1() : m_data{} {}

    T& operator()(int i) { return m_data[index(i)]; }
    const T& operator()(int i) const { return m_data[index(i)]; }

    /// Element 1, for passing the array by address.
    T* data() { return m_data.data(); }
    const T* data() const { return m_data.data(); }
    static constexpr int size() { return N; }
    bool operator==(const Array1&) const = default;

private:
    static std::size_t index(int i)
    {
        if (i < 1 || i > N)
            throw Error("index " + std::to_string(i) + " is outside the bounds 1 to " + std::to_string(N));
        return static_cast<std::size_t>(i - 1);
    }
    std::array<T, N> m_data;
};

/// Fixed-size 2-D array indexed (1..N1, 1..N2). The first index varies fastest in memory:
/// element (c, i) lies (c - 1) + N1 * (i - 1) elements after (1, 1), as the solver library expects.
template <typename T, int N1, int N2>
class Array2 {
public:
    Array2() : m_data{} {}

    T& operator()(int a, int b) { return m_data[index(a, b)]; }
    const T& operator()(int a, int b) const { return m_data[index(a, b)]; }

    /// Element (1, 1), for passing the array by address.
    T* data() { return m_data.data(); }
    const T* data() const { return m_data.data(); }
    bool operator==(const Array2&) const = default;

private:
    static std::size_t index(int a, int b)
    {
        if (a < 1 || a > N1 || b < 1 || b > N2)
            throw Error("index (" + std::to_string(a) + ", " + std::to_string(b) + ") is outside the bounds (1 to "
                        + std::to_string(N1) + ", 1 to " + std::to_string(N2) + ")");
        return static_cast<std::size_t>((a - 1) + N1 * (b - 1));
    }
    std::array<T, static_cast<std::size_t>(N1) * N2> m_data;
};

} // namespace camber
