// Replays fuzz inputs without libFuzzer: every regular file below the paths given is fed to the
// named target once. A crash or a sanitizer report ends the run with the file's name printed.
//
//     sorvin_fuzz_replay <target> <corpus folder> [file or folder]... [--samples <folder>]
//
// The files directly in the corpus folder are the target's committed seeds, each made to reach the
// code the target is for: the run fails when one does not, or when there is none. The files of its
// subfolders ("findings": inputs that once failed, kept so they stay fixed; "refused": inputs the
// code is meant to turn away) and of the further paths (sample photos) are replayed without that
// demand. "--samples" names the sample photos' folder, which $SORVIN_SAMPLES overrides when set.

#include "fuzz_target.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace sorvin::fuzz {

namespace {

std::map<std::string, Entry>& targets() {
    static std::map<std::string, Entry> table;
    return table;
}

std::vector<fs::path> filesBelow(const fs::path& path) {
    std::vector<fs::path> files;
    if (fs::is_regular_file(path)) return {path};
    for (const auto& entry : fs::recursive_directory_iterator(path))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// A file directly in the corpus folder, not in one of its subfolders.
bool isSeed(const fs::path& file, const fs::path& corpus) {
    const fs::path relative = file.lexically_relative(corpus);
    return std::distance(relative.begin(), relative.end()) == 1;
}

} // namespace

bool registerTarget(const char* name, Entry entry) {
    targets().emplace(name, entry);
    return true;
}

} // namespace sorvin::fuzz

int main(int argc, char** argv) {
    using namespace sorvin::fuzz;
    const auto target = argc >= 3 ? targets().find(argv[1]) : targets().end();
    if (target == targets().end()) {
        std::fprintf(stderr, "usage: %s <target> <file or folder>...\ntargets:", argv[0]);
        for (const auto& [name, entry] : targets())
            std::fprintf(stderr, " %s", name.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    const fs::path corpus = argv[2];
    std::vector<fs::path> paths;
    for (int i = 2; i < argc; ++i) {
        if (std::string_view(argv[i]) != "--samples" || i + 1 == argc) {
            paths.emplace_back(argv[i]);
            continue;
        }
        const char* fallback = argv[++i];
        const char* overridden = std::getenv("SORVIN_SAMPLES");
        paths.emplace_back(overridden && *overridden ? overridden : fallback);
        if (!fs::is_directory(paths.back())) {
            std::fprintf(stderr, "sample photos not found: %s is not a folder (set SORVIN_SAMPLES)\n",
                         paths.back().c_str());
            return 2;
        }
    }
    std::size_t replayed = 0, seeds = 0, seedsMissed = 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!fs::exists(paths[i])) {
            std::fprintf(stderr, "no such file or folder: %s\n", paths[i].c_str());
            return 2;
        }
        for (const auto& file : filesBelow(paths[i])) {
            std::fprintf(stderr, "%s\n", file.c_str());
            std::ifstream stream(file, std::ios::binary);
            const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(stream), {}};
            const bool reached = run(target->second, bytes);
            ++replayed;
            if (i != 0 || !isSeed(file, corpus)) continue;
            ++seeds;
            if (!reached) {
                ++seedsMissed;
                std::fprintf(stderr, "%s: this seed does not reach the code under test\n", argv[1]);
            }
        }
    }
    std::printf("%s: %zu inputs replayed, %zu of %zu seeds reached the code under test\n", argv[1], replayed,
                seeds - seedsMissed, seeds);
    if (seeds == 0) std::fprintf(stderr, "%s: no seed in %s\n", argv[1], corpus.c_str());
    return seeds == 0 || seedsMissed > 0 ? 1 : 0;
}
