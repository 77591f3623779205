// Time of converting the bank's real 2024 archive into its rate file: the
// whole conversion on disk, and the load and build in memory alone.
#include "rates/rate_archive.h"
#include "rates/rates.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

// The published test data lie beside the source tree; VEL_TESTDATA may name them.
fs::path SharedDir() {
    if (const char* dir = std::getenv("VEL_TESTDATA"); dir && *dir) return dir;
    return fs::path(__FILE__).parent_path() / ".." / ".." / "shared";
}
const fs::path kArchive = SharedDir() / "testdata" / "nbp" / "archiwum_tab_a_2024.csv";

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void BM_ConvertRealArchiveOnDisk(benchmark::State& state) {
    const fs::path dir = fs::temp_directory_path() / "vel-rates-bench";
    fs::create_directories(dir);
    fs::copy_file(kArchive, dir / "archiwum_tab_a_2024.csv", fs::copy_options::overwrite_existing);
    vel::rates::ConvertRequest request;
    request.archive = "archiwum_tab_a_2024.csv";
    request.folder = dir.string();
    for (auto _ : state) {
        const vel::rates::ConvertResult result = vel::rates::ConvertArchiveFile(request);
        if (!result.ok()) state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(result.blocks);
    }
    fs::remove_all(dir);
}
BENCHMARK(BM_ConvertRealArchiveOnDisk)->Unit(benchmark::kMillisecond);

void BM_LoadAndBuildInMemory(benchmark::State& state) {
    const std::string bytes = ReadBytes(kArchive);
    vel::rates::ArchiveTable table;
    for (auto _ : state) {
        table.load(bytes);
        const vel::rates::RateFileBuild build = vel::rates::BuildRateFile(table, {});
        benchmark::DoNotOptimize(build.file.bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_LoadAndBuildInMemory)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
