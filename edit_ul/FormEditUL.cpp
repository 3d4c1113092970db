// SPDX-License-Identifier: MIT
#include "FormEditUL.h"

#include "UlDeform.h"
#include "UlPlots.h"
#include "geometry/ControlPoints.h"
#include "ui/Windows.h"

namespace camber::edit_ul {

namespace {

editor::EditorLayout designedLayout()
{
    editor::EditorLayout l;
    l.caption = QStringLiteral("Pict_UL(Wing Section)");
    l.clientWidth = 8400;
    l.clientHeight = 8385;
    l.lblClift = {"Lbl_Clift", "Lift coef.=", {0, 120, 975, 255}};
    l.txtClift = {"Txt_Clift", "", {1080, 120, 855, 288}};
    l.lblCdrag = {"Lbl_Cdrag", "Drag coef.=", {0, 360, 855, 255}};
    l.txtCdrag = {"Txt_Cdrag", "", {1080, 360, 855, 288}};
    l.lblYmax = {"Lbl_ymax", "Max thickness=", {2040, 120, 1215, 255}};
    l.txtYthick = {"Txt_ythick", "", {3240, 120, 852, 288}};
    l.lblXmax = {"Lbl_xmax", "Max. th. pos.=", {2040, 360, 1215, 255}};
    l.txtXthick = {"Txt_xthick", "", {3240, 360, 852, 288}};
    l.legend1 = {"Lbl_def1", "Blue Line - Thickness distribbution", {4440, 120, 3255, 255}};
    l.legend2 = {"Lbl_def2", "Red Line - Camber distribution", {4440, 360, 3255, 255}};
    l.lblM = {"Lbl_M", "Mach=", {1200, 720, 615, 255}};
    l.txtM = {"Txt_M", "0.7", {2160, 720, 855, 285}};
    l.hscrM = {3000, 840, 1335, 135};
    l.machSmallChange = 5;
    l.machLargeChange = 5;
    l.lblAl = {"Lbl_Al", "Alpha=", {4680, 720, 615, 255}};
    l.txtAlpha = {"Txt_alpha", "0.4", {5640, 720, 855, 285}};
    l.hscrA = {6480, 840, 1335, 135};
    l.labelX = {"Label_x", "x=", {120, 720, 975, 255}};
    l.labelY = {"Label_y", "y=", {120, 960, 975, 255}};
    l.frmCp = {"Frm_cp", "Cp calculat. ", {0, 1320, 1092, 2295}};
    l.cmdSmesh = {"Cmd_SMESH", "Plot Cp", {120, 240, 852, 372}};
    l.cmdCpSave = {"Cmd_CpSave", "Cp Save", {120, 720, 855, 375}};
    l.lblAlpha = {"Lbl_alpha", "Alpha", {120, 1200, 495, 255}};
    l.optAlpha = {720, 1200, 255, 255};
    l.lblCl = {"Lbl_cl", "C lift", {120, 1560, 495, 255}};
    l.optCl = {720, 1560, 255, 255};
    l.txtCl = {"Txt_cl", "0.5", {120, 1920, 852, 285}};
    l.set2Frame = {"Frm_YU", "Upper S", {120, 3600, 972, 2292}, "Lbl2"};
    l.set1Frame = {"Frm_cmb", "Lower S", {120, 6000, 972, 2292}, "Lbl1"};
    l.optTC0 = {720, 6240, 252, 252};
    l.optTC1 = {720, 3840, 252, 252};
    l.pictF = {1200, 1080, 7080, 3015};
    l.pictS = {1200, 4200, 7095, 4092};
    return l;
}

} // namespace

FormEditUL::FormEditUL() : EditorWindow(designedLayout()) {}

FormEditUL& FormEditUL::instance()
{
    auto& window = ui::Windows::get<FormEditUL>();
    window.ensureLoaded();
    return window;
}

void FormEditUL::calc_ss(Integer n_sec) { edit_ul::calc_ss(state(), n_sec); }

void FormEditUL::MkFrame_Y() { edit_ul::MkFrame_Y(pictS(), activeSet()); }

void FormEditUL::MkFrame_TC(Integer mode) { edit_ul::MkFrame_TC(pictF(), mode); }

ControlSet FormEditUL::controlSet(int set) { return ul_set(state(), set); }

Integer& FormEditUL::selectedPoint(int set) { return set == 1 ? state().k_cp1 : state().k_cp2; }

void FormEditUL::initControlPoints() { init_cp_ul(state()); }

void FormEditUL::calcSs() { calc_ss(state().k_sec); }

void FormEditUL::setBoxes() { set_boxes_ul(state(), state().k_sec, activeSet() == 1); }

void FormEditUL::plotF() { Plot_F(pictF(), state()); }

void FormEditUL::plotS() { Plot_S(pictS(), state(), shownSet()); }

void FormEditUL::pointOptionClicked(int set, int index)
{
    // Choosing a point of a set also makes that set the active one.
    selectedPoint(set) = static_cast<Integer>(index + 1);
    plotS();
    optionTC().setValue(set - 1, true);
}

void FormEditUL::redrawAfterResize()
{
    calcSs();
    plotF();
    plotS();
}

} // namespace camber::edit_ul
