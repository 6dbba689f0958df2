// Developing the Nikon D1 NEF sample, against LibRaw's own dcraw_emu on the same file in the same
// run: half size for previews, AHD demosaicing, one median pass of colour noise reduction (our
// default of 50), sRGB output, camera white balance. Ours also sharpens and turns the picture.
// The same for the X-Trans RAF sample (the same picture in a 6 × 6 pattern), and for X-Trans files
// of 26 and 40 megapixels made from it at run time (large_xtrans_raf.hpp): ours demosaics them in
// pieces, so that they develop to the same pixels every time; dcraw_emu on LibRaw's threads, and
// on one. Ours runs with the program's allocator settings.
#include "engine/raw_developer.hpp"
#include "large_xtrans_raf.hpp"
#include "platform/memory_return.hpp"
#include "sample_photos.hpp"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

std::filesystem::path nefSample() {
    return sorvin::bench::samplesDir() / "raw" / "nikon_d1.nef";
}
std::filesystem::path xTransSample() {
    return sorvin::bench::samplesDir() / "raw" / "constructed_fujifilm_xtrans_uncompressed.raf";
}

void developOurs(benchmark::State& state, std::optional<int> longEdge,
                 const std::filesystem::path& file = nefSample()) {
    static const bool configured = [] {
        sorvin::MemoryReturn::configureAllocator(); // as the program does at start
        return true;
    }();
    benchmark::DoNotOptimize(configured);
    if (file.empty()) {
        state.SkipWithError("the large file could not be made");
        return;
    }
    sorvin::RawDevelopmentRequest request;
    request.photoIdentifier = file.filename().string();
    request.asset.url = file;
    request.asset.orientation = 1;
    request.maximumLongEdge = longEdge;
    for (auto _ : state) {
        auto developed = sorvin::RawDeveloper::develop(request);
        if (!developed) {
            state.SkipWithError("the sample does not develop");
            return;
        }
        benchmark::DoNotOptimize(developed);
    }
}

void runDcrawEmu(benchmark::State& state, bool halfSize, bool median = true,
                 const std::filesystem::path& file = nefSample(), bool oneThread = false) {
    std::vector<std::string> args = {SORVIN_DCRAW_EMU, "-w", "-o", "1", "-q", "3"};
    if (median) args.insert(args.end(), {"-m", "1"});
    if (halfSize) args.push_back("-h");
    args.insert(args.end(), {"-Z", "-", file.string()});
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    if (!std::filesystem::is_regular_file(file)) {
        state.SkipWithError("the sample is missing");
        return;
    }
    argv.push_back(nullptr);
    std::vector<std::string> variables;
    for (char** v = environ; *v; ++v) {
        if (std::string_view(*v).substr(0, 16) != "OMP_NUM_THREADS=") variables.emplace_back(*v);
    }
    if (oneThread) variables.emplace_back("OMP_NUM_THREADS=1");
    std::vector<char*> envp;
    for (auto& v : variables)
        envp.push_back(v.data());
    envp.push_back(nullptr);
    for (auto _ : state) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const int spawned = posix_spawnp(&pid, SORVIN_DCRAW_EMU, &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            state.SkipWithError("LibRaw's dcraw_emu did not run");
            return;
        }
    }
}

void BM_OursPreview1024(benchmark::State& state) {
    developOurs(state, 1024);
}
void BM_OursPreview1006(benchmark::State& state) {
    developOurs(state, 1006);
}
void BM_DcrawEmuHalfSize(benchmark::State& state) {
    runDcrawEmu(state, true);
}
void BM_OursNative(benchmark::State& state) {
    developOurs(state, std::nullopt);
}
void BM_DcrawEmuNative(benchmark::State& state) {
    runDcrawEmu(state, false);
}
// The cheapest comparable run: no colour noise reduction at all.
void BM_DcrawEmuNativeNoMedian(benchmark::State& state) {
    runDcrawEmu(state, false, false);
}

void BM_OursXTransPreview1024(benchmark::State& state) {
    developOurs(state, 1024, xTransSample());
}
void BM_OursXTransNative(benchmark::State& state) {
    developOurs(state, std::nullopt, xTransSample());
}
void BM_DcrawEmuXTransNative(benchmark::State& state) {
    runDcrawEmu(state, false, true, xTransSample());
}
void BM_DcrawEmuXTransNativeOneThread(benchmark::State& state) {
    runDcrawEmu(state, false, true, xTransSample(), true);
}

// 26 MP (6240 × 4160) and 40 MP (7728 × 5152), the sizes of Fujifilm's X-Trans bodies.
void BM_OursXTransLargeNative(benchmark::State& state) {
    developOurs(
        state, std::nullopt,
        sorvin::bench::largeXTransRaf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
}
void BM_DcrawEmuXTransLargeNative(benchmark::State& state) {
    const auto file =
        sorvin::bench::largeXTransRaf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    if (file.empty()) {
        state.SkipWithError("the large file could not be made");
        return;
    }
    runDcrawEmu(state, false, true, file);
}

BENCHMARK(BM_OursPreview1024)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OursPreview1006)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DcrawEmuHalfSize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OursNative)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DcrawEmuNative)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DcrawEmuNativeNoMedian)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OursXTransPreview1024)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OursXTransNative)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DcrawEmuXTransNative)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DcrawEmuXTransNativeOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK(BM_OursXTransLargeNative)
    ->ArgNames({"width", "height"})
    ->Args({6240, 4160})
    ->Args({7728, 5152})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_DcrawEmuXTransLargeNative)
    ->ArgNames({"width", "height"})
    ->Args({6240, 4160})
    ->Args({7728, 5152})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
