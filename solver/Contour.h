// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

namespace camber::smesh {

inline constexpr double kPi = 3.14159265358979323846;  ///< the solver works in double precision throughout
inline constexpr double kDeg = kPi / 180;  ///< radians per degree

/// A contour point in the solver's double precision.
struct Point {
    double x = 0;
    double y = 0;
};

/// Why a contour cannot be used, or Usable.
enum class ContourProblem { Usable, TooFewPoints, TooManyPoints, NonFinite, ZeroChord, SelfCrossing, NoArea };

/// Checks the contour given to the solver: 3 to 129 finite points, a chord, no two
/// non-neighbouring sides crossing (the closing side across the trailing edge included) and a
/// positive enclosed area when walked from the upper trailing edge round the leading edge.
ContourProblem check_contour(const std::vector<Point>& points);

/// The solver's own panelling of a checked contour: nodes from the upper trailing edge round
/// the leading edge to the lower trailing edge, spaced along a parametric cubic spline through
/// the given points with clustering at the leading and trailing edges.
struct Panelling {
    std::vector<Point> node;     ///< node positions, 0-based
    std::vector<double> s;       ///< arc length of each node along the spline from the upper trailing edge
    int le = 0;                  ///< index of the leading-edge node, or of the node just before it
    double s_le = 0;             ///< arc length of the leading edge
    Point leading_edge;          ///< the point of the contour farthest from the trailing-edge midpoint
    Point trailing_edge;         ///< midpoint of the two trailing-edge points
    double chord = 1;            ///< distance from the leading edge to the trailing-edge midpoint

    /// x/c of node i (0-based), along the chord from the leading edge.
    double xc(std::size_t i) const
    {
        return ((node[i].x - leading_edge.x) * (trailing_edge.x - leading_edge.x) +
                (node[i].y - leading_edge.y) * (trailing_edge.y - leading_edge.y)) /
               (chord * chord);
    }
};

/// How nodes are spaced along each surface from the leading edge (t: fraction of the surface's
/// nodes, f: of its arc length): Cosine, f(t) = w (1 - cos(pi t)) / 2 + (1 - w) t, clustered at
/// both ends; Layers, with more nodes over the first few per cent of the chord, where a laminar
/// separation bubble and transition lie at high lift.
enum class NodeSpacing { Cosine, Layers };

/// Spline through the points and node positions: n_nodes in total (at least 8), of which the
/// leading edge is one.
Panelling repanel(const std::vector<Point>& points, int n_nodes, NodeSpacing spacing = NodeSpacing::Cosine);

/// Points placed as the nodes of repanel, but at the arc lengths of an existing panelling:
/// n_up points from the upper trailing edge to the leading edge and as many back to the lower
/// trailing edge (the leading edge shared), interpolated linearly between the nodes.
/// Returns the arc lengths; used to place the 129 pressure points.
std::vector<double> output_stations(const Panelling& p, int n_per_surface);

/// Local cubic interpolation of node values f at arc length s (clamped to the ends).
double interpolate(const Panelling& p, const std::vector<double>& f, double s);

} // namespace camber::smesh
