// Developing the Nikon D1 NEF sample, against LibRaw's own dcraw_emu on the same file in the same
// run: half size for previews, AHD demosaicing, one median pass, sRGB output, camera white balance.
#include "platform/raw_filter.hpp"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

std::filesystem::path nefSample() {
    return std::filesystem::path(SORVIN_SAMPLES_DIR) / "raw" / "nikon_d1.nef";
}

void developOurs(benchmark::State& state, float scale) {
    for (auto _ : state) {
        auto filter = sorvin::RawFilter::make(nefSample());
        if (!filter) {
            state.SkipWithError("the NEF sample does not open");
            return;
        }
        auto& p = filter->properties();
        p.scaleFactor = scale;
        p.exposure = 0.76f;
        p.boostShadowAmount = 0.9f;
        p.sharpnessAmount = 1.0f;
        p.colorNoiseReductionAmount = 0.5f;
        auto image = filter->outputImage();
        if (!image) state.SkipWithError("development failed");
        benchmark::DoNotOptimize(image);
    }
}

void runDcrawEmu(benchmark::State& state, bool halfSize) {
    std::vector<std::string> args = {"dcraw_emu", "-w", "-o", "1", "-q", "3", "-m", "1"};
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
        const int spawned = posix_spawnp(&pid, "dcraw_emu", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            state.SkipWithError("dcraw_emu (package libraw-bin) did not run");
            return;
        }
    }
}

void BM_OursPreview1024(benchmark::State& state) {
    developOurs(state, 1024.0f / 2012.0f);
}
void BM_OursHalfSize(benchmark::State& state) {
    developOurs(state, 0.5f);
}
void BM_DcrawEmuHalfSize(benchmark::State& state) {
    runDcrawEmu(state, true);
}
void BM_OursNative(benchmark::State& state) {
    developOurs(state, 1.0f);
}
void BM_DcrawEmuNative(benchmark::State& state) {
    runDcrawEmu(state, false);
}

BENCHMARK(BM_OursPreview1024)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OursHalfSize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DcrawEmuHalfSize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OursNative)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DcrawEmuNative)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
