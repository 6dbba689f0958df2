// Developing the Nikon D1 NEF sample, against LibRaw's own dcraw_emu on the same file in the same
// run: half size for previews, AHD demosaicing, one median pass of colour noise reduction (our
// default of 50), sRGB output, camera white balance. Ours also sharpens and turns the picture.
#include "sample_photos.hpp"
#include "engine/raw_developer.hpp"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

std::filesystem::path nefSample() {
    return sorvin::bench::samplesDir() / "raw" / "nikon_d1.nef";
}

void developOurs(benchmark::State& state, std::optional<int> longEdge) {
    sorvin::RawDevelopmentRequest request;
    request.photoIdentifier = "raw/nikon_d1.nef";
    request.asset.url = nefSample();
    request.asset.orientation = 1;
    request.maximumLongEdge = longEdge;
    for (auto _ : state) {
        auto developed = sorvin::RawDeveloper::develop(request);
        if (!developed) {
            state.SkipWithError("the NEF sample does not develop");
            return;
        }
        benchmark::DoNotOptimize(developed);
    }
}

void runDcrawEmu(benchmark::State& state, bool halfSize, bool median = true) {
    std::vector<std::string> args = {SORVIN_DCRAW_EMU, "-w", "-o", "1", "-q", "3"};
    if (median) args.insert(args.end(), {"-m", "1"});
    if (halfSize) args.push_back("-h");
    args.insert(args.end(), {"-Z", "-", nefSample().string()});
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    if (!std::filesystem::is_regular_file(nefSample())) {
        state.SkipWithError("the NEF sample is missing");
        return;
    }
    argv.push_back(nullptr);
    for (auto _ : state) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const int spawned = posix_spawnp(&pid, SORVIN_DCRAW_EMU, &actions, nullptr, argv.data(), environ);
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

BENCHMARK(BM_OursPreview1024)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OursPreview1006)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DcrawEmuHalfSize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OursNative)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DcrawEmuNative)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DcrawEmuNativeNoMedian)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
