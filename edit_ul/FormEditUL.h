// SPDX-License-Identifier: MIT
#pragma once

#include "editor/EditorWindow.h"

namespace camber::edit_ul {

/// The upper/lower editor: each surface is its initial shape plus a displacement curve whose
/// seven control points the user picks and drags (set 1 the lower surface, set 2 the upper).
class FormEditUL : public editor::EditorWindow {
    Q_OBJECT
public:
    FormEditUL();

    /// The editor window, created and loaded (not shown) when it does not exist.
    static FormEditUL& instance();

    /// Rebuilds the surfaces, half-thickness and camber of section n_sec from the control points.
    void calc_ss(Integer n_sec);
    /// Frame of the surface plot in Pict_S.
    void MkFrame_Y();
    /// Frame of the distribution plot in Pict_F: mode 0 half-thickness, otherwise camber.
    void MkFrame_TC(Integer mode);

protected:
    ControlSet controlSet(int set) override;
    Integer& selectedPoint(int set) override;
    void initControlPoints() override;
    void calcSs() override;
    void setBoxes() override;
    void plotF() override;
    void plotS() override;
    void pointOptionClicked(int set, int index) override;
    void redrawAfterResize() override;
};

} // namespace camber::edit_ul
