// SPDX-License-Identifier: MIT
#pragma once

#include "geometry/FlowSettings.h"

#include <QString>

namespace camber::cp {

/// The flow-condition panel of the open editor, as the pressure calculation reads and
/// writes it: Mach number and angle or lift coefficient in, results out.
class FlowPanel {
public:
    virtual ~FlowPanel() = default;
    /// Text of the Mach number box (Txt_M).
    virtual QString machText() const = 0;
    /// True when the lift coefficient is prescribed (Opt_cl set).
    virtual bool liftPrescribed() const = 0;
    /// Text of the angle of attack box (Txt_alpha), degrees.
    virtual QString alphaText() const = 0;
    /// Text of the prescribed lift coefficient box (Txt_cl).
    virtual QString liftText() const = 0;
    /// Shows the results: lift and drag coefficients, the angle of attack in its box and on the
    /// angle scroll bar (whose change may run the calculation again, nested).
    virtual void showResults(float clift, float cdrag, float alpha) = 0;
    /// The user set new flow conditions in the pressure window: one step of the editor's undo
    /// history, after which the section state's flow settings are these.
    virtual void changeFlow(const FlowSettings& settings) = 0;
    /// Undoes the editor's last step (Ctrl+Z pressed in the pressure window).
    virtual void undo() = 0;
    /// Redoes the editor's last undone step.
    virtual void redo() = 0;
};

} // namespace camber::cp
