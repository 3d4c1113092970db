// SPDX-License-Identifier: MIT
#pragma once

#include "editor/EditorWindow.h"

namespace camber::edit_tc {

/// The thickness/camber editor: the camber line and the half-thickness are each their initial
/// distribution plus a displacement curve (set 1 the camber over the chord, set 2 the
/// half-thickness over the square root of the chord), and the surfaces are rebuilt from them.
class FormEditTC : public editor::EditorWindow {
    Q_OBJECT
public:
    FormEditTC();

    /// The editor window, created and loaded (not shown) when it does not exist.
    static FormEditTC& instance();

    /// Rebuilds camber, half-thickness and both surfaces of section n_sec from the control points.
    void calc_ss(Integer n_sec);
    /// Frames of the section picture, the camber view and the thickness view.
    void MkFrame_F();
    void MkFrame_C();
    void MkFrame_T();

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
    QString pictFReadoutMask() const override;
};

} // namespace camber::edit_tc
