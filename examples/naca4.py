#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes a NACA 4-digit section as a .ULF file the way the sample NACA sections were made.

    examples/naca4.py 4412 > examples/naca4412.ULF

Published thickness and camber-line formulas with the closed trailing edge (last thickness
coefficient -0.1036 instead of -0.1015), 61 points per surface at cosine-spaced stations of the
camber line, each surface from the leading edge (0, 0) to the trailing edge (1, 0), six
decimals, CR LF line ends. It reproduces examples/naca2412.ULF byte for byte.
"""
import math
import sys


def surfaces(digits, n=61):
    m, p, t = int(digits[0]) / 100, int(digits[1]) / 10, int(digits[2:]) / 100
    upper, lower = [], []
    for i in range(n):
        x = 0.5 * (1 - math.cos(math.pi * i / (n - 1)))
        yt = 5 * t * (0.2969 * math.sqrt(x) - 0.1260 * x - 0.3516 * x**2 + 0.2843 * x**3 - 0.1036 * x**4)
        if m == 0:
            yc, slope = 0.0, 0.0
        elif x < p:
            yc, slope = m / p**2 * (2 * p * x - x * x), 2 * m / p**2 * (p - x)
        else:
            yc, slope = m / (1 - p) ** 2 * ((1 - 2 * p) + 2 * p * x - x * x), 2 * m / (1 - p) ** 2 * (p - x)
        theta = math.atan(slope)
        upper.append((x - yt * math.sin(theta), yc + yt * math.cos(theta)))
        lower.append((x + yt * math.sin(theta), yc - yt * math.cos(theta)))
    return upper, lower


def main():
    if len(sys.argv) != 2 or len(sys.argv[1]) != 4 or not sys.argv[1].isdigit():
        sys.exit("usage: naca4.py DIGITS   (for example 4412; the .ULF file goes to standard output)")
    digits = sys.argv[1]
    upper, lower = surfaces(digits)
    lines = [f"NACA {digits}, 61+61 points", "section coordinates", "0 61 61", "     X          Y"]
    lines += [f" {x:.6f}  {y:.6f}" for x, y in upper]
    lines += ["     X          Y   (lower)"]
    lines += [f" {x:.6f}  {y:.6f}" for x, y in lower]
    sys.stdout.buffer.write(("\r\n".join(lines) + "\r\n").encode())


if __name__ == "__main__":
    main()
