// SPDX-License-Identifier: MIT
#include "FormEditTC.h"

#include "TcDeform.h"
#include "TcPlots.h"
#include "geometry/ControlPoints.h"
#include "ui/Windows.h"

namespace camber::edit_tc {

namespace {

editor::EditorLayout designedLayout()
{
    editor::EditorLayout l;
    l.caption = QStringLiteral("Pict_TC(Wing Section)");
    l.clientWidth = 8400;
    l.clientHeight = 8280;
    l.lblClift = {"Lbl_Clift", "Lift coef.=", {0, 0, 855, 255}};
    l.txtClift = {"Txt_Clift", "", {960, 0, 855, 288}};
    l.lblCdrag = {"Lbl_Cdrag", "Drag coef.=", {0, 240, 855, 255}};
    l.txtCdrag = {"Txt_Cdrag", "", {960, 240, 855, 288}};
    l.lblXmax = {"Lbl_xmax", "Max. th. pos.=", {1920, 0, 1215, 255}};
    l.txtXthick = {"Txt_xthick", "", {3120, 0, 852, 288}};
    l.lblYmax = {"Lbl_ymax", "Max thickness=", {1920, 240, 1215, 255}};
    l.txtYthick = {"Txt_ythick", "", {3120, 240, 852, 288}};
    l.legend1 = {"Label2", "Black line - initial geometry", {4680, 0, 3135, 255}};
    l.legend2 = {"Label1", "Blue line   - modificated geometry", {4680, 240, 3135, 255}};
    l.legendFontNamed = true;
    l.labelX = {"Label_x", "x=", {0, 600, 975, 255}};
    l.labelY = {"Label_y", "y=", {0, 840, 975, 255}};
    l.lblM = {"Lbl_M", "Mach=", {1200, 600, 615, 255}};
    l.txtM = {"Txt_M", "0.7", {2160, 600, 735, 285}};
    l.hscrM = {2880, 720, 1455, 135};
    // An arrow click changes the Mach number by 0.001, a click beside the thumb by 0.005.
    l.machSmallChange = 1;
    l.machLargeChange = 5;
    l.lblAl = {"Label3", "Alpha=", {4800, 600, 615, 255}};
    l.txtAlpha = {"Txt_alpha", "0.5", {5640, 600, 735, 285}};
    l.hscrA = {6360, 720, 1335, 135};
    l.frmCp = {"Frm_cp", "Airfoil CP ", {0, 1320, 975, 2055}};
    l.cmdSmesh = {"Cmd_SMESH", "Plot Cp", {120, 240, 735, 252}};
    l.cmdCpSave = {"Cmd_CpSave", "Cp Save", {120, 600, 735, 375}};
    l.lblAlpha = {"Lbl_alpha", "Alpha", {120, 1080, 495, 255}};
    l.optAlpha = {600, 1080, 255, 255};
    l.lblCl = {"Lbl_cl", "C lift", {120, 1440, 492, 252}};
    l.optCl = {600, 1440, 255, 255};
    l.txtCl = {"Txt_cl", "0.5", {120, 1680, 735, 285}};
    l.set2Frame = {"Frm_thk", "Thickness", {0, 3480, 972, 2292}, "Lbl2"};
    l.set1Frame = {"Frm_cmb", "Camber", {0, 5880, 972, 2292}, "Lbl1"};
    l.optTC0 = {600, 6120, 252, 252};
    l.optTC1 = {600, 3720, 252, 252};
    l.pictF = {1080, 960, 7215, 3015};
    l.pictS = {1080, 4080, 7215, 4092};
    return l;
}

} // namespace

FormEditTC::FormEditTC() : EditorWindow(designedLayout()) {}

FormEditTC& FormEditTC::instance()
{
    auto& window = ui::Windows::get<FormEditTC>();
    window.ensureLoaded();
    return window;
}

void FormEditTC::calc_ss(Integer n_sec) { edit_tc::calc_ss(state(), n_sec); }

void FormEditTC::MkFrame_F() { edit_tc::MkFrame_F(pictF()); }
void FormEditTC::MkFrame_C() { edit_tc::MkFrame_C(pictS()); }
void FormEditTC::MkFrame_T() { edit_tc::MkFrame_T(pictS()); }

ControlSet FormEditTC::controlSet(int set) { return tc_set(state(), set); }

Integer& FormEditTC::selectedPoint(int set) { return set == 1 ? state().k_tcp1 : state().k_tcp2; }

void FormEditTC::initControlPoints() { init_cp_tc(state()); }

void FormEditTC::calcSs() { calc_ss(state().k_sec); }

void FormEditTC::setBoxes() { set_boxes_tc(state(), state().k_sec, activeSet() == 1); }

void FormEditTC::plotF() { Plot_F(pictF(), state()); }

void FormEditTC::plotS()
{
    if (activeSet() == 1)
        Plot_C(pictS(), state());
    else
        Plot_T(pictS(), state());
}

void FormEditTC::pointOptionClicked(int set, int index)
{
    // Only the selection changes; the red marker follows at the next redraw.
    selectedPoint(set) = static_cast<Integer>(index + 1);
}

void FormEditTC::redrawAfterResize()
{
    // The section is not rebuilt here: until the first drag step the pictures show the
    // distributions as read.
    plotF();
    setBoxes();
    plotS();
}

QString FormEditTC::pictFReadoutMask() const { return QStringLiteral("#0.000##"); }

} // namespace camber::edit_tc
