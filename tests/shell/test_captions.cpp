// SPDX-License-Identifier: MIT
// Every caption of every window shows whole with the fonts of the machine the tests run on.
#include "cp/FrmSmesh.h"
#include "edit_tc/FormEditTC.h"
#include "edit_ul/FormEditUL.h"
#include "shell/Form_inp.h"
#include "shell/Program.h"
#include "support/EditorFixture.h"
#include "ui/Captions.h"
#include "ui/Windows.h"
#include "viewer/Form_PW.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

using namespace camber;

namespace {

struct Shown {
    const char* window;
    QWidget* (*open)();
};

template <typename W>
QWidget* window()
{
    return &ui::Windows::get<W>();
}

// The pressure window after a calculation, so that its read-outs hold their numbers.
QWidget* pressureWindow()
{
    auto& editor = edit_ul::FormEditUL::instance();
    editor.openForEditing();
    cp::FrmSmesh::setOpenEditor([] { return &edit_ul::FormEditUL::instance(); });
    ui::Windows::get<cp::FrmSmesh>().showModeless();
    return &ui::Windows::get<cp::FrmSmesh>();
}

QString textOf(const QWidget* w)
{
    if (const auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (const auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (const auto* g = qobject_cast<const QGroupBox*>(w))
        return g->title();
    if (const auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text();
    if (const auto* c = qobject_cast<const QComboBox*>(w))
        return c->currentText();
    return {};
}

} // namespace

class Captions : public ::testing::TestWithParam<Shown> {
protected:
    void SetUp() override
    {
        test::readForEditing("naca2412.ULF");
        test::FakeSolver::status = 0;
        set_solver_function(&test::FakeSolver::solve);
    }
    void TearDown() override
    {
        ui::Windows::closeAll();
        test::processDeferred();
        set_solver_function(nullptr);
    }
};

TEST_P(Captions, EveryControlShowsItsTextWhole)
{
    QWidget* w = GetParam().open();
    w->show();
    int walked = 0;
    for (const QWidget* control : w->findChildren<QWidget*>()) {
        if (textOf(control).isEmpty())
            continue;
        ++walked;
        EXPECT_TRUE(ui::captionFits(control))
            << GetParam().window << ": " << control->objectName().toStdString() << " \""
            << textOf(control).toStdString() << "\" at " << control->font().pointSizeF() << " points";
        EXPECT_GE(control->font().pointSizeF(), 6.0) << control->objectName().toStdString();
    }
    EXPECT_GT(walked, 3) << "the window has captions";
}

INSTANTIATE_TEST_SUITE_P(AllWindows, Captions,
                         ::testing::Values(Shown{"Form_inp", &window<Form_inp>}, Shown{"Form_PW", &window<Form_PW>},
                                           Shown{"Form_Edit_UL", &window<edit_ul::FormEditUL>},
                                           Shown{"Form_Edit_TC", &window<edit_tc::FormEditTC>},
                                           Shown{"Frm_SMESH", &pressureWindow}),
                         [](const auto& info) { return std::string(info.param.window); });
