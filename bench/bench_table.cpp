// The Level Table window's model on a 2 MiB sample image: opening it and
// switching through the three characters (297 record reads), and a fill of
// all 99 levels of one column with its single flush (99 record reads for the
// undo step, 99 record writes, one fsync, 99 record reads to show the result).
// The same fill's writes and flush alone, without the model, for comparison.
//
// The image file goes to $THORNWAKE_BENCH_DIR, or else the system's temporary
// folder.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QUndoStack>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>

#include "level_edits.h"
#include "rom_file.h"
#include "sample_image.h"
#include "table/level_table_model.h"

namespace {

namespace fs = std::filesystem;
using namespace thornwake;

std::string FreshSample() {
    const char* chosen = std::getenv("THORNWAKE_BENCH_DIR");
    const fs::path path = (chosen ? fs::path(chosen) : fs::temp_directory_path()) /
                          ("thornwake-bench-table-" + std::to_string(::getpid()) + ".sfc");
    const std::vector<std::uint8_t> image = MakeSampleImage();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    return path.string();
}

struct Image {
    std::string path = FreshSample();
    RomFile file;
    QUndoStack history;
    Image() { (void)file.Open(path); }
    ~Image() {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
};

void BM_OpenAndSwitchCharacters(benchmark::State& state) {
    Image image;
    if (!image.file.IsOpen()) return state.SkipWithError("cannot open the image");
    for (auto _ : state) {
        LevelTableModel model(image.file, image.history, CharacterId::Hero);
        for (CharacterId character : AllCharacters) model.setCharacter(character);
        benchmark::DoNotOptimize(model.value(98, StatField::WIS));
    }
}

void BM_Fill99Levels(benchmark::State& state) {
    Image image;
    if (!image.file.IsOpen()) return state.SkipWithError("cannot open the image");
    LevelTableModel model(image.file, image.history, CharacterId::Sprite);
    model.setCharacter(CharacterId::Sprite);
    std::vector<int> levels(LevelCount);
    std::iota(levels.begin(), levels.end(), 0);
    int turn = 0;
    for (auto _ : state) {
        // Every run changes all 99 records, so every run writes them.
        model.fill(levels, StatField::HP, 100 + turn % 2, 9999, Curve::SCurve);
        ++turn;
    }
    if (image.history.count() != turn) state.SkipWithError("a fill was refused");
}

void BM_Fill99LevelsWritesAlone(benchmark::State& state) {
    Image image;
    if (!image.file.IsOpen()) return state.SkipWithError("cannot open the image");
    std::vector<CellEdit> cells;
    const std::vector<int> values = CurveValues(Curve::SCurve, 100, 9999, LevelCount);
    for (int level = 0; level < LevelCount; ++level) cells.push_back({level, StatField::HP, values[level]});
    const auto change = PrepareChange(image.file, CharacterId::Sprite, cells);
    if (!change) return state.SkipWithError(change.message().c_str());
    for (auto _ : state) {
        if (!WriteRecords(image.file, change.value()).ok()) return state.SkipWithError("write failed");
    }
}

BENCHMARK(BM_OpenAndSwitchCharacters)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Fill99Levels)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Fill99LevelsWritesAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
