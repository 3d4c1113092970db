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
    camber::state().mach(1) = 0.7f;
    camber::state().k_alcl = 0;
    camber::state().alcl(1) = 0.5f;
    camber::state().sm_opt1 = 30;
    camber::state().sm_opt2 = 1;
    camber::state().sm_opt3 = 2;
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

// Answers at once with a flat Cp curve: what a drag step costs without the flow solution.
void instantSolver(const std::int32_t*, const std::int32_t*, const std::int32_t*, const float*, const float* alcl,
                   const std::int32_t*, const std::int32_t*, const std::int32_t*, const std::int32_t*, const float*,
                   const float*, const float*, std::int32_t* n_cp, float* cp_x, float* cp_y, float* cp, float*,
                   float* alpha, float* clift, float* cdrag, float*, float*, std::int32_t* sm_stat)
{
    *n_cp = 129;
    for (int i = 0; i < 129; ++i) {
        cp_x[i] = static_cast<float>(std::abs(i - 64)) / 64.0f;
        cp_y[i] = 0;
        cp[10 * i] = 0;
    }
    *clift = alcl[0];
    *alpha = 0;
    *cdrag = 0;
    sm_stat[0] = 0;
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
