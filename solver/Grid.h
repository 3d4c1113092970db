// SPDX-License-Identifier: MIT
#pragma once

#include "Contour.h"

#include <array>
#include <vector>

namespace camber::smesh {

/// Body-fitted O-grid about a section for the full-potential method, split into triangles.
/// Nodes (i, j): i = 0 .. ni - 1 counter-clockwise round the section starting at the trailing
/// edge (the point the wake cut leaves from), j = 0 on the wall .. nj - 1 on the far-field
/// circle. The grid line i = 0 is the wake cut: an element that closes the ring sees the values
/// of the nodes on it lowered by the circulation (the potential jump across the wake).
struct OGrid {
    int ni = 0, nj = 0;
    std::vector<Point> node;   ///< node (i, j) at index i + ni j, unit-chord frame
    int upper_te = 0;          ///< ring index of the upper trailing-edge point
    int lower_te = 0;          ///< ring index of the lower trailing-edge point (ni for a sharp edge)
    std::vector<int> ring_of_node; ///< ring index of each panelling node (0-based)
    Point centre;              ///< where the far-field vortex sits (quarter chord)
    double radius = 15;        ///< far-field radius, chords

    /// Linear P1 triangles: nodes[k] a node index, shifted[k] true when the element sees that
    /// node from below the wake cut.
    struct Triangle {
        std::array<int, 3> nodes{};
        std::array<bool, 3> shifted{};
        std::array<double, 3> gx{}, gy{}; ///< gradients of the three shape functions, 1/chord
        double area = 0;                  ///< chord^2
        std::array<int, 3> neighbour{-1, -1, -1}; ///< across the edge opposite node k, or -1
    };
    std::vector<Triangle> tri;
    bool ok = false;           ///< false when no unfolded grid could be built for the contour

    int index(int i, int j) const { return i + ni * j; }
    /// The triangle of quad (i, j) that has the edge (i, j)-(i + 1, j); on j = 0 that edge is a wall panel.
    int lowTriangle(int i, int j) const { return 2 * (i + ni * j); }
};

/// Builds the grid about a panelling in the unit-chord frame (leading edge at the origin,
/// trailing edge near (1, 0)). A blunt trailing edge gets three ring points on its base, the
/// middle one the start of the wake cut. nj layers reach the far-field circle of the given radius
/// (chords) about the quarter chord; the first layer is first_spacing chords thick.
OGrid build_o_grid(const Panelling& p, int nj, double radius, double first_spacing);

} // namespace camber::smesh
