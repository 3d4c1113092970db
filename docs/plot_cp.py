#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Draws pressure files (the batch tool's Cp format) as one SVG plot, -Cp upwards, and prints
where the flow passes back through sonic speed on each surface (the shock foot).

usage: plot_cp.py OUT.svg TITLE FILE.cpo[:LABEL] ...
"""
import sys


def read(path):
    lines = open(path).read().splitlines()
    mach = float(lines[2].split()[0])
    pts = [tuple(float(v) for v in l.split()[:3]) for l in lines[4:] if l.strip()]
    return mach, pts


def critical_cp(m):
    return ((2 / 2.4 * (1 + 0.2 * m * m)) ** 3.5 - 1) / (0.7 * m * m)


def shocks(mach, pts):
    """x/c where Cp rises through the critical value going aft, per surface (upper, lower)."""
    cps = critical_cp(mach)
    le = min(range(len(pts)), key=lambda i: pts[i][0])
    upper = list(reversed(pts[: le + 1]))
    lower = pts[le:]
    found = []
    for surface in (upper, lower):
        xs = []
        for a, b in zip(surface, surface[1:]):
            if a[2] < cps <= b[2] and b[0] > a[0]:
                xs.append(a[0] + (cps - a[2]) / (b[2] - a[2]) * (b[0] - a[0]))
        found.append(xs[-1] if xs else None)
    return found


def main():
    out, title, files = sys.argv[1], sys.argv[2], sys.argv[3:]
    w, h, m = 640, 400, 50
    colours = ["#1f4e9c", "#c0392b", "#27ae60", "#8e44ad"]
    curves, lo, hi = [], -1.2, 1.6
    for k, entry in enumerate(files):
        path, _, label = entry.partition(":")
        mach, pts = read(path)
        curves.append((label or path, mach, pts, colours[k % len(colours)]))
        hi = max(hi, max(-p[2] for p in pts) + 0.1)
        lo = min(lo, min(-p[2] for p in pts) - 0.1)
        up, down = shocks(mach, pts)
        print(f"{label or path}: M {mach}, upper shock x/c {up}, lower shock x/c {down}")

    def sx(x):
        return m + x * (w - 2 * m)

    def sy(v):
        return h - m - (v - lo) / (hi - lo) * (h - 2 * m)

    svg = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" font-family="sans-serif" font-size="12">',
           f'<rect width="{w}" height="{h}" fill="white"/>',
           f'<text x="{w / 2}" y="20" text-anchor="middle">{title}</text>',
           f'<line x1="{sx(0)}" y1="{sy(0)}" x2="{sx(1)}" y2="{sy(0)}" stroke="#999"/>',
           f'<line x1="{sx(0)}" y1="{sy(lo)}" x2="{sx(0)}" y2="{sy(hi)}" stroke="#999"/>',
           f'<text x="{sx(0) - 8}" y="{sy(hi) + 4}" text-anchor="end">-Cp</text>',
           f'<text x="{sx(1)}" y="{sy(lo) + 16}" text-anchor="end">x/c</text>']
    for v in range(int(lo * 2) - 1, int(hi * 2) + 2):
        if lo <= v / 2 <= hi:
            svg.append(f'<text x="{sx(0) - 6}" y="{sy(v / 2) + 4}" text-anchor="end">{v / 2:g}</text>')
    for k, (label, mach, pts, colour) in enumerate(curves):
        cps = -critical_cp(mach)
        svg.append(f'<line x1="{sx(0)}" y1="{sy(cps)}" x2="{sx(1)}" y2="{sy(cps)}" stroke="{colour}" stroke-dasharray="4 4"/>')
        poly = " ".join(f"{sx(x):.1f},{sy(-cp):.1f}" for x, _, cp in pts)
        svg.append(f'<polyline points="{poly}" fill="none" stroke="{colour}" stroke-width="1.5"/>')
        svg.append(f'<text x="{w - m}" y="{40 + 16 * k}" text-anchor="end" fill="{colour}">{label}</text>')
    svg.append("</svg>")
    open(out, "w").write("\n".join(svg) + "\n")


if __name__ == "__main__":
    main()
