// SPDX-License-Identifier: MIT
// Reading a full-size section file (200 contour points) and writing its .gwo block.

#include "geometry/Format.h"
#include "geometry/GwoWriter.h"
#include "geometry/TextFile.h"
#include "shell/SectionReader.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A NACA 4412 with 100 upper and 101 lower points: n_u + n_l - 1 = 200, the largest file.
std::string writeLargestFile()
{
    const auto path = (fs::temp_directory_path() / "camber_bench_200.ULF").string();
    std::vector<std::string> lines{"NACA 4412, 200 points", "bench", "0 100 101", "X Y"};
    auto table = [&lines](int n, double side) {
        for (int i = 0; i < n; ++i) {
            const double x = 0.5 * (1 - std::cos(3.141592653589793 * i / (n - 1)));
            const double t = 0.6 * (0.2969 * std::sqrt(x) - 0.126 * x - 0.3516 * x * x + 0.2843 * x * x * x
                                    - 0.1036 * x * x * x * x);
            const double c = x < 0.4 ? 0.04 / 0.16 * (0.8 * x - x * x) : 0.04 / 0.36 * (0.2 + 0.8 * x - x * x);
            lines.push_back(" " + camber::format_number(x, "0.000000") + "  "
                            + camber::format_number(c + side * t, "0.000000"));
        }
    };
    table(100, 1);
    lines.push_back("X Y");
    table(101, -1);
    camber::write_lines_atomically(path, lines);
    return path;
}

void BM_ReadSection200(benchmark::State& st)
{
    camber::SectionState s;
    s.f_inp = writeLargestFile();
    for (auto _ : st) {
        camber::read_section(s);
        benchmark::DoNotOptimize(s.y_lo(1, 50));
    }
}
BENCHMARK(BM_ReadSection200)->Unit(benchmark::kMicrosecond);

void BM_SaveGwo(benchmark::State& st)
{
    camber::SectionState s;
    s.f_inp = writeLargestFile();
    camber::read_section(s);
    s.f_gwo = (fs::temp_directory_path() / "camber_bench.gwo").string();
    for (auto _ : st)
        camber::save_gwo(s);
}
BENCHMARK(BM_SaveGwo)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
