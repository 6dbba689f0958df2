#pragma once

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace sorvin::test {

// The sample photo corpus: $SORVIN_SAMPLES when set, else the project's own samples/ folder. A
// missing folder ends the run with one message rather than failing tests one by one.
inline std::filesystem::path samplesDir() {
    static const std::filesystem::path folder = [] {
        const char* overridden = std::getenv("SORVIN_SAMPLES");
        const std::filesystem::path chosen = overridden && *overridden ? overridden : SORVIN_SAMPLES_DIR;
        if (!std::filesystem::is_directory(chosen)) {
            std::fprintf(stderr, "sample photos not found: %s is not a folder (set SORVIN_SAMPLES)\n",
                         chosen.c_str());
            std::exit(2);
        }
        return chosen;
    }();
    return folder;
}

inline std::filesystem::path sample(const std::string& relative) {
    return samplesDir() / relative;
}

// Kills a process of the test's own and waits for it, so that no zombie or stray writer is left.
inline void killAndReap(pid_t& process) {
    if (process <= 0) return;
    ::kill(process, SIGKILL);
    ::waitpid(process, nullptr, 0);
    process = -1;
}

// The id of a process that has ended, for the leftovers of a killed one.
inline pid_t endedProcessId() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// A fresh folder below the system's temporary folder (or the given one), removed with everything
// in it at the end.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::filesystem::path& parent = std::filesystem::temp_directory_path()) {
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (;;) {
            path_ = parent / ("sorvin-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(path_)) break;
        }
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& relative) const { return path_ / relative; }

private:
    std::filesystem::path path_;
};

} // namespace sorvin::test
