// Replays fuzz inputs without libFuzzer: every regular file below the paths given is fed to the
// named target once. A crash or a sanitizer report ends the run with the file's name printed.
//
//     sorvin_fuzz_replay <target> <file or folder>...

#include "fuzz_target.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
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
    std::size_t replayed = 0;
    for (int i = 2; i < argc; ++i) {
        if (!fs::exists(argv[i])) {
            std::fprintf(stderr, "no such file or folder: %s\n", argv[i]);
            return 2;
        }
        for (const auto& file : filesBelow(argv[i])) {
            std::fprintf(stderr, "%s\n", file.c_str());
            std::ifstream stream(file, std::ios::binary);
            const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(stream), {}};
            target->second(bytes);
            ++replayed;
        }
    }
    std::printf("%s: %zu inputs replayed\n", argv[1], replayed);
    return 0;
}
