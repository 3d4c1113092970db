// SPDX-License-Identifier: MIT
#pragma once

#include "cp/CpCore.h"
#include "cp/FrmSmesh.h"
#include "geometry/SectionState.h"
#include "shell/SectionReader.h"
#include "support/FakeSolver.h"
#include "support/QtTestSupport.h"
#include "support/TestSupport.h"
#include "ui/DrawingSurface.h"
#include "ui/Windows.h"

#include <QLineEdit>

#include <gtest/gtest.h>

#include <cmath>

namespace camber::test {

/// Reads an example into the program's section state with the flow case of the editing
/// button (Mach 0.7, lift coefficient 0.5 prescribed).
inline void readForEditing(const char* file)
{
    state() = SectionState{};
    state().f_inp = example(file);
    read_section(state());
    state().mach(1) = kEditingMach;
    state().k_alcl = 0;
    state().alcl(1) = kEditingLift;
    state().flow = FlowSettings{};
}

/// An editor opened on NACA 2412 as the editing button opens it, with the stand-in solver.
template <typename Editor>
class EditorFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        readForEditing("naca2412.ULF");
        FakeSolver::calls = 0;
        FakeSolver::status = 0;
        set_solver_function(&FakeSolver::solve);
        cp::FrmSmesh::setOpenEditor([] { return &Editor::instance(); });
        editor().openForEditing();
    }
    void TearDown() override
    {
        ui::Windows::closeAll();
        processDeferred();
        set_solver_function(nullptr);
    }

    static Editor& editor() { return Editor::instance(); }
    template <typename T>
    static T* control(const char* name)
    {
        auto* c = editor().template findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    static QString text(const char* name) { return control<QLineEdit>(name)->text(); }
    static ui::DrawingSurface* pict(const char* name = "Pict_S") { return control<ui::DrawingSurface>(name); }
    /// A mouse event at user coordinates (x, y) of a picture.
    static void send(const char* picture, QEvent::Type type, double x, double y, Qt::MouseButton button,
                     Qt::MouseButtons buttons)
    {
        auto* p = pict(picture);
        sendMouse(p, type, p->toPixel({x, y}), button, buttons);
    }
    static void press(double x, double y, Qt::MouseButton button = Qt::LeftButton)
    {
        send("Pict_S", QEvent::MouseButtonPress, x, y, button, button);
    }
    /// One mouse move over Pict_S with the right button held: a drag step.
    static void rightDrag(double x, double y) { send("Pict_S", QEvent::MouseMove, x, y, Qt::NoButton, Qt::RightButton); }
};

} // namespace camber::test
