// SPDX-License-Identifier: MIT
// One drag step of each editor through the real window, offscreen: the mouse event in, the
// section rebuilt, both plots drawn, the real solver called and the Cp plot drawn. The
// pressure window is open, as when a user watches Cp while dragging.

#include "cp/CpCore.h"
#include "cp/FrmSmesh.h"
#include "edit_tc/FormEditTC.h"
#include "edit_ul/FormEditUL.h"
#include "geometry/SectionState.h"
#include "shell/SectionReader.h"
#include "ui/DrawingSurface.h"
#include "ui/Windows.h"

#include <QApplication>
#include <QCheckBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string examples() { return CAMBER_EXAMPLES; }

double p95(const std::vector<double>& v)
{
    std::vector<double> sorted(v);
    std::sort(sorted.begin(), sorted.end());
    return sorted[static_cast<std::size_t>(0.95 * static_cast<double>(sorted.size() - 1))];
}

// Opens the editor once per kind, ready to drag its thickness-like set's point 4 vertically.
template <typename Editor>
camber::ui::DrawingSurface& openedEditor()
{
    static camber::ui::DrawingSurface* pict = nullptr;
    static bool open = false;
    if (open && pict)
        return *pict;
    camber::ui::Windows::closeAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    camber::state() = camber::SectionState{};
    camber::state().f_inp = examples() + "/naca2412.ULF";
    camber::read_section(camber::state());
    camber::state().mach(1) = camber::kEditingMach;
    camber::state().k_alcl = 0;
    camber::state().alcl(1) = camber::kEditingLift;
    camber::state().flow = camber::FlowSettings{};
    camber::cp::FrmSmesh::setOpenEditor([] { return &Editor::instance(); });
    Editor& editor = Editor::instance();
    editor.openForEditing();
    editor.template findChild<QPushButton*>("Cmd_SMESH")->click();
    editor.template findChild<QRadioButton*>("Opt_TC(1)")->click();
    editor.template findChild<QRadioButton*>("Opt_PT(3)")->click();
    editor.template findChild<QCheckBox*>("Chk_YT(3)")->click();
    pict = editor.template findChild<camber::ui::DrawingSurface*>("Pict_S");
    open = true;
    return *pict;
}

// Answers at once with a flat Cp curve and turbulent layers at the pressure points: what a drag
// step costs without the flow solution.
std::int32_t instantSolver(SmeshSolver*, const SmeshCase* flow, std::int32_t, const double*, const double*,
                           SmeshResult* r)
{
    r->n_cp = SMESH_CP_POINTS;
    for (int i = 0; i < SMESH_CP_POINTS; ++i) {
        r->cp_x[i] = std::abs(i - 64) / 64.0;
        r->cp_y[i] = 0;
        r->cp[i] = 0;
        r->cp_cf[i] = 0.003;
        r->cp_theta[i] = 0.001 * (0.1 + r->cp_x[i]);
        r->cp_dstar[i] = 1.4 * r->cp_theta[i];
    }
    r->transition_upper = 0.3;
    r->transition_lower = 0.5;
    r->separation_upper = r->separation_lower = 1;
    r->cl = flow->target;
    r->alpha = 0;
    r->cd = 0;
    return r->status = 0;
}

// Each repetition times one drag step, so that the statistics are those of single steps.
template <typename Editor>
void dragStep(benchmark::State& st)
{
    camber::ui::DrawingSurface& pict = openedEditor<Editor>();
    static int step = 0;
    for (auto _ : st) {
        // Small moves up and down, as a hand holding a point produces.
        const double y = 0.005 + 0.0005 * (step++ % 8);
        const QPointF at = pict.toPixel({0.5, y});
        QMouseEvent move(QEvent::MouseMove, at, pict.mapToGlobal(at), Qt::NoButton, Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(&pict, &move);
    }
}

void BM_DragStepUpperLower(benchmark::State& st)
{
    camber::set_solver_function(nullptr);
    dragStep<camber::edit_ul::FormEditUL>(st);
}
BENCHMARK(BM_DragStepUpperLower)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(100)
    ->ComputeStatistics("p95", p95)
    ->ReportAggregatesOnly();

void BM_DragStepUpperLowerWithoutSolver(benchmark::State& st)
{
    camber::set_solver_function(&instantSolver);
    dragStep<camber::edit_ul::FormEditUL>(st);
    camber::set_solver_function(nullptr);
}
BENCHMARK(BM_DragStepUpperLowerWithoutSolver)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(100)
    ->ComputeStatistics("p95", p95)
    ->ReportAggregatesOnly();

void BM_DragStepThicknessCamber(benchmark::State& st)
{
    camber::set_solver_function(nullptr);
    dragStep<camber::edit_tc::FormEditTC>(st);
}
BENCHMARK(BM_DragStepThicknessCamber)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(100)
    ->ComputeStatistics("p95", p95)
    ->ReportAggregatesOnly();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
