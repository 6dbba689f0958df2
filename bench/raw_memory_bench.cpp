// Memory of full-size X-Trans developments of 26 and 40 megapixels (built at run time from the
// X-Trans sample, see large_xtrans_raf.hpp), against LibRaw's dcraw_emu on the same file in the
// same run. Each side runs in a process of its own. Counters:
// - peak_MB: the process's peak resident size (getrusage's maxrss), program and all;
// - kept_MB (ours only): resident once the developments' results are dropped, after
//   `developments` developments, as the program keeps it between photos;
// - start_MB (ours only): resident before the first development.
// dcraw_emu runs with LibRaw's threads, AHD, one median pass, sRGB and camera white balance.
#include "engine/raw_developer.hpp"
#include "large_xtrans_raf.hpp"
#include "platform/memory_return.hpp"
#include "process_memory.hpp"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace sorvin {
namespace {

struct Figures {
    double startMB = 0, peakMB = 0, keptMB = 0;
    bool developed = false;
};

double residentMegabytes() {
    return static_cast<double>(bench::statusKilobytes("VmRSS:")) / 1024;
}

double megabytes(const rusage& usage) {
    return static_cast<double>(usage.ru_maxrss) / 1024; // kilobytes on Linux
}

// In the child: as the program develops a photo at full size, `count` times.
Figures developInThisProcess(const std::filesystem::path& file, int count) {
    MemoryReturn::configureAllocator(); // as the program does at start
    Figures figures;
    figures.startMB = residentMegabytes();
    RawDevelopmentRequest request;
    request.photoIdentifier = file.filename().string();
    request.asset.url = file;
    request.asset.orientation = 1;
    figures.developed = true;
    for (int i = 0; i < count; ++i)
        figures.developed = RawDeveloper::develop(request).has_value() && figures.developed;
    figures.keptMB = residentMegabytes();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    figures.peakMB = megabytes(usage);
    return figures;
}

void Ours(benchmark::State& state) {
    const auto file =
        bench::largeXTransRaf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const int count = static_cast<int>(state.range(2));
    if (file.empty()) return state.SkipWithError("the large RAF could not be made");
    Figures figures;
    for (auto _ : state) {
        int channel[2];
        if (pipe(channel) != 0) return state.SkipWithError("no pipe");
        const pid_t child = fork();
        if (child == 0) {
            close(channel[0]);
            const Figures measured = developInThisProcess(file, count);
            const ssize_t written = write(channel[1], &measured, sizeof measured);
            _exit(written == static_cast<ssize_t>(sizeof measured) ? 0 : 1);
        }
        close(channel[1]);
        if (read(channel[0], &figures, sizeof figures) != static_cast<ssize_t>(sizeof figures) ||
            !figures.developed)
            state.SkipWithError("the development did not finish");
        close(channel[0]);
        waitpid(child, nullptr, 0);
    }
    state.counters["start_MB"] = figures.startMB;
    state.counters["peak_MB"] = figures.peakMB;
    state.counters["kept_MB"] = figures.keptMB;
    state.counters["developments"] = count;
}

void DcrawEmu(benchmark::State& state) {
    const auto file =
        bench::largeXTransRaf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    if (file.empty()) return state.SkipWithError("the large RAF could not be made");
    std::vector<std::string> args = {SORVIN_DCRAW_EMU, "-w", "-o", "1", "-q", "3", "-m", "1", "-Z", "-",
                                     file.string()};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    double peak = 0;
    for (auto _ : state) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const int spawned = posix_spawnp(&pid, SORVIN_DCRAW_EMU, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        rusage usage{};
        if (spawned != 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            return state.SkipWithError("LibRaw's dcraw_emu did not run");
        peak = megabytes(usage);
    }
    state.counters["peak_MB"] = peak;
}

// 26 MP (6240 × 4160) and 40 MP (7728 × 5152), the sizes of Fujifilm's X-Trans bodies.
BENCHMARK(Ours)
    ->ArgNames({"width", "height", "developments"})
    ->Args({6240, 4160, 1})
    ->Args({6240, 4160, 10})
    ->Args({7728, 5152, 1})
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(DcrawEmu)
    ->ArgNames({"width", "height"})
    ->Args({6240, 4160})
    ->Args({7728, 5152})
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

} // namespace
} // namespace sorvin
