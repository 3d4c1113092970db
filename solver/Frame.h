// SPDX-License-Identifier: MIT
#pragma once

#include "Solver.h"

#include <optional>
#include <vector>

namespace camber::smesh {

/// The result for a flow case or contour that no method can use: status kUnusableContour, the
/// angle the prescribed one where it is finite, the outputs filled as fill_fallback does. Nothing
/// when both are usable.
std::optional<FlowResult> unusable_input(const std::vector<Point>& given, const FlowCase& flow);

/// A contour in the frame the methods solve in: its leading edge at the origin and its chord 1,
/// both as a panelling of a given node count finds them (the boundary layers' Reynolds number
/// refers to that chord). Results go back to the caller's units by origin and scale.
struct UnitChord {
    std::vector<Point> points; ///< the contour's points in the unit-chord frame, in the caller's order
    Point origin;              ///< the leading edge, caller's units
    double scale = 1;          ///< the chord, caller's units
};

/// The contour given (upper trailing edge round the leading edge to the lower trailing edge) in
/// the unit-chord frame of its panelling with nodes nodes.
UnitChord to_unit_chord(const std::vector<Point>& given, int nodes);

/// Values at the nodes of a unit-chord panelling (one per node, index as the nodes'), or null
/// where a method has none: those outputs are left as they are.
struct NodeValues {
    const std::vector<double>* cp = nullptr;
    const std::vector<double>* local_mach = nullptr;
    const std::vector<double>* cf = nullptr;
    const std::vector<double>* dstar = nullptr; ///< unit-chord frame
    const std::vector<double>* theta = nullptr; ///< unit-chord frame
};

/// Writes the output points of r (kOutputPoints, from the upper trailing edge round the nose)
/// from the panelling p of the contour in frame: their positions and the values given, positions
/// and thicknesses in the caller's units.
void write_outputs(const Panelling& p, const UnitChord& frame, const NodeValues& values, FlowResult& r);

} // namespace camber::smesh
