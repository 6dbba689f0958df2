#include "fuzz_support.hpp"
#include "fuzz_target.hpp"

#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace sorvin::fuzz {

void require(bool condition, const char* message) {
    if (condition) return;
    std::fprintf(stderr, "fuzz target: %s\n", message);
    std::abort();
}

namespace {

bool inputReached = false;

struct FuzzerCounts {
    const char* name = nullptr;
    unsigned long long inputs = 0;
    unsigned long long reached = 0;
};

FuzzerCounts fuzzerCounts;

void reportFuzzerCounts() {
    std::fprintf(stderr, "%s: %llu of %llu inputs reached the code under test\n", fuzzerCounts.name,
                 fuzzerCounts.reached, fuzzerCounts.inputs);
}

} // namespace

void reached() { inputReached = true; }

bool run(Entry entry, std::span<const std::uint8_t> data) {
    inputReached = false;
    entry(data);
    return inputReached;
}

void runFuzzerInput(const char* name, Entry entry, std::span<const std::uint8_t> data) {
    static const bool seedsOnly = std::getenv("SORVIN_FUZZ_SEEDS") != nullptr;
    if (!fuzzerCounts.name) {
        fuzzerCounts.name = name;
        std::atexit(reportFuzzerCounts);
    }
    ++fuzzerCounts.inputs;
    if (run(entry, data)) {
        ++fuzzerCounts.reached;
    } else if (seedsOnly) {
        std::fprintf(stderr, "%s: a seed does not reach the code under test\n", name);
        std::_Exit(1);
    }
}

MemoryFile::MemoryFile(std::span<const std::uint8_t> data) {
    fd_ = memfd_create("fuzz-input", MFD_CLOEXEC);
    require(fd_ >= 0, "memfd_create failed");
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd_, data.data() + written, data.size() - written);
        require(n > 0, "writing the memory file failed");
        written += static_cast<std::size_t>(n);
    }
}

MemoryFile::~MemoryFile() { ::close(fd_); }

TemporaryFolder::TemporaryFolder(std::string_view label) {
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string name = (base / ("sorvin-fuzz-" + std::string(label) + "-XXXXXX")).string();
    require(mkdtemp(name.data()) != nullptr, "no temporary folder");
    path_ = name;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path MemoryFile::path() const { return "/proc/self/fd/" + std::to_string(fd_); }

} // namespace sorvin::fuzz
