// Label jobs: parsing a job of many records, and laying out its stickers on
// a canvas that only measures (the cost of the program's own arithmetic,
// without a printer driver).
#include "labels/code39.h"
#include "labels/label_file.h"
#include "labels/label_layout.h"
#include "platform/canvas.h"

#include "null_canvas.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace vel;

std::string Job(int records) {
    std::string job = "0 3 0 5 0 2 0 1 2 3 0 1 0 10 8 6 30;Magazyn\r\n";
    for (int i = 0; i < records; ++i) {
        job += "KOD-" + std::to_string(100000 + i) + "\t" + std::to_string(i % 1000) + ".99 PLN\tTowar numer " +
               std::to_string(i) + "\t\t1\r\n";
    }
    return job;
}


void BM_ParseJob(benchmark::State& state) {
    const std::string job = Job(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        labels::LineReader lines(job);
        std::string line;
        lines.next(line);
        auto header = labels::ReadLabelHeader(line);
        benchmark::DoNotOptimize(header);
        while (lines.next(line)) {
            auto record = labels::ReadLabelRecord(line);
            benchmark::DoNotOptimize(record);
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParseJob)->Arg(1000)->Arg(10000);

void BM_LayOutStickers(benchmark::State& state) {
    const std::string job = Job(static_cast<int>(state.range(0)));
    bench::NullCanvas canvas;
    for (auto _ : state) {
        labels::LineReader lines(job);
        std::string line;
        lines.next(line);
        const auto header = labels::ReadLabelHeader(line);
        const auto frame = *labels::GeneralFrame(header, 600 / 25.4, 4960);
        while (lines.next(line)) {
            const auto r = labels::ReadLabelRecord(line);
            labels::DrawSticker(canvas, frame, r.field[1], r.field[2], r.field[3]);
        }
    }
    benchmark::DoNotOptimize(canvas.fills);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LayOutStickers)->Arg(1000)->Arg(10000);

void BM_Code39Modules(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(labels::Code39Modules("KOD-123456"));
}
BENCHMARK(BM_Code39Modules);

}  // namespace

BENCHMARK_MAIN();
