// MaxAll on a 2 MiB sample image against the floor: the positioned writes
// MaxAll made in one recorded run (same offsets, sizes, bytes and order)
// repeated with plain pwrite on the same kind of file, and the single fsync
// MaxAll makes at the end. The floor
// without that fsync is shown too, for what the flush itself costs.
//
// The image files go to $THORNWAKE_BENCH_DIR, or else the system's temporary
// folder; both files lie in the same folder.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "level_tables.h"
#include "maximize.h"
#include "rom_file.h"
#include "sample_image.h"

namespace {

namespace fs = std::filesystem;
using thornwake::LevelTablesBegin;

struct Write {
    off_t offset;
    std::vector<unsigned char> bytes;
};

// While set, every pwrite and fsync of this program is written down here, so
// the floor repeats exactly the writes MaxAll made.
struct Capture {
    std::vector<Write> writes;
    int flushes = 0;
};
Capture* capturing = nullptr;

}  // namespace

extern "C" {
ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    if (capturing) {
        const auto* bytes = static_cast<const unsigned char*>(buffer);
        capturing->writes.push_back({offset, {bytes, bytes + count}});
    }
    return ::syscall(SYS_pwrite64, fd, buffer, count, offset);
}
int fsync(int fd) {
    if (capturing) ++capturing->flushes;
    return static_cast<int>(::syscall(SYS_fsync, fd));
}
}

namespace {

fs::path BenchFolder() {
    static const fs::path folder = [] {
        const char* chosen = std::getenv("THORNWAKE_BENCH_DIR");
        fs::path base = chosen ? fs::path(chosen) : fs::temp_directory_path();
        fs::path dir = base / ("thornwake-bench-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        return dir;
    }();
    return folder;
}

std::string FreshSample(const char* name) {
    const fs::path path = BenchFolder() / name;
    const std::vector<std::uint8_t> image = thornwake::MakeSampleImage();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    return path.string();
}

void BM_MaxAll(benchmark::State& state) {
    thornwake::RomFile file;
    if (!file.Open(FreshSample("maxall.sfc")).ok()) return state.SkipWithError("cannot open the image");
    int callbacks = 0;
    const thornwake::ProgressCallback progress = [&] {
        ++callbacks;
        return true;
    };
    for (auto _ : state) {
        const auto outcome = thornwake::MaxAll(file, progress);
        if (!outcome.ok()) return state.SkipWithError(outcome.error.message().c_str());
    }
    benchmark::DoNotOptimize(callbacks);
}

// The writes of one MaxAll run on a fresh image, in the order made.
const Capture& MaxAllCalls() {
    static const Capture calls = [] {
        Capture capture;
        thornwake::RomFile file;
        if (!file.Open(FreshSample("capture.sfc")).ok()) return capture;
        capturing = &capture;
        const auto outcome = thornwake::MaxAll(file, [] { return true; });
        capturing = nullptr;
        if (!outcome.ok()) capture = {};
        return capture;
    }();
    return calls;
}

void PwriteFloor(benchmark::State& state, bool withFsync) {
    const std::vector<Write>& writes = MaxAllCalls().writes;
    if (writes.empty()) return state.SkipWithError("cannot record MaxAll's writes");
    const int fd = ::open(FreshSample(withFsync ? "floor.sfc" : "floor-nofsync.sfc").c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return state.SkipWithError("cannot open the image");
    for (auto _ : state) {
        for (const Write& w : writes) {
            if (::pwrite(fd, w.bytes.data(), w.bytes.size(), w.offset) != static_cast<ssize_t>(w.bytes.size())) {
                ::close(fd);
                return state.SkipWithError("pwrite failed");
            }
        }
        if (withFsync && ::fsync(fd) != 0) {
            ::close(fd);
            return state.SkipWithError("fsync failed");
        }
    }
    ::close(fd);
}

void BM_PwriteFloor(benchmark::State& state) { PwriteFloor(state, true); }
void BM_PwriteFloorNoFsync(benchmark::State& state) { PwriteFloor(state, false); }

BENCHMARK(BM_MaxAll)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PwriteFloor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PwriteFloorNoFsync)->Unit(benchmark::kMillisecond)->UseRealTime();

// The console report, plus each benchmark's real time per run (the median
// when repetitions are asked for) for the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const std::string& name = run.run_name.function_name;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Iteration && !medians_.count(name)) {
                times_[name] = run.GetAdjustedRealTime();
            }
            if (median) {
                medians_[name] = true;
                times_[name] = run.GetAdjustedRealTime();
            }
        }
    }
    double Time(const std::string& name) const {
        const auto found = times_.find(name);
        return found == times_.end() ? 0 : found->second;
    }

private:
    std::map<std::string, double> times_;
    std::map<std::string, bool> medians_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::printf("Image files in %s (set THORNWAKE_BENCH_DIR to choose)\n", BenchFolder().c_str());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double maxAll = reporter.Time("BM_MaxAll");
    const double floor = reporter.Time("BM_PwriteFloor");
    const double floorNoFsync = reporter.Time("BM_PwriteFloorNoFsync");
    std::size_t bytes = 0;
    for (const Write& w : MaxAllCalls().writes) bytes += w.bytes.size();
    std::printf(
        "\nMaxAll: %zu positioned writes (%zu bytes) and %d fsync, recorded from one run;"
        " the floor makes exactly these\n",
        MaxAllCalls().writes.size(), bytes, MaxAllCalls().flushes);
    if (maxAll > 0 && floor > 0) {
        std::printf("MaxAll / floor (same pwrites + the same one fsync): %.2fx  (goal: at most 1.5x)\n",
                    maxAll / floor);
    }
    if (maxAll > 0 && floorNoFsync > 0) {
        std::printf("MaxAll / floor without the fsync:                   %.2fx\n", maxAll / floorNoFsync);
    }
    std::error_code ignored;
    fs::remove_all(BenchFolder(), ignored);
    return 0;
}
