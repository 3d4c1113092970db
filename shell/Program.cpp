// SPDX-License-Identifier: MIT
#include "Program.h"

#include "Form_inp.h"
#include "cp/FrmSmesh.h"
#include "edit_tc/FormEditTC.h"
#include "edit_ul/FormEditUL.h"
#include "ui/Windows.h"

#include <QRadioButton>

namespace camber {

namespace {

// The pressure calculation works for the editor chosen with the start-up window's option,
// which cannot change once an editor has been opened.
bool upperLowerChosen()
{
    auto* option = ui::Windows::get<Form_inp>().findChild<QRadioButton*>(QStringLiteral("Opt_UL_TC(0)"));
    return option && option->isChecked();
}

} // namespace

void connect_windows()
{
    Form_inp::setEditorOpener([](Form_inp::Editor editor) {
        if (editor == Form_inp::Editor::UpperLower)
            edit_ul::FormEditUL::instance().openForEditing();
        else
            edit_tc::FormEditTC::instance().openForEditing();
    });
    cp::FrmSmesh::setOpenEditor([]() -> cp::FlowPanel* {
        if (upperLowerChosen())
            return &edit_ul::FormEditUL::instance();
        return &edit_tc::FormEditTC::instance();
    });
    editor::EditorWindow::setClosedHandler([] {
        if (auto* start = ui::Windows::find<Form_inp>())
            start->enable_file_controls();
    });
}

} // namespace camber
