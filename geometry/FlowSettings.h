// SPDX-License-Identifier: MIT
#pragma once

#include "Types.h"

namespace camber {

/// The editors' flow case when an editor opens: Mach 0.7 at a prescribed lift coefficient of 0.5.
inline constexpr Single kEditingMach = 0.7f;
inline constexpr Single kEditingLift = 0.5f;

/// How a calculation is made beyond its Mach number and angle or lift: the method, the
/// Reynolds number and the boundary layers' transition. The defaults are those of the editing
/// button; the batch tool starts from them too.
struct FlowSettings {
    Long method = 0;              ///< 0 the transonic full-potential method, 1 the panel method
    double reynolds = 30e6;       ///< Reynolds number based on the chord
    bool viscous = true;          ///< boundary layers and wake (drag); false inviscid
    Long level = 2;               ///< resolution, 1 coarse to 3 fine
    double ncrit = 9;             ///< critical amplification factor of the e^N transition method
    double transition_upper = 0;  ///< forced transition x/c of the upper surface; 0 free
    double transition_lower = 0;  ///< the same on the lower surface

    bool operator==(const FlowSettings&) const = default;
};

} // namespace camber
