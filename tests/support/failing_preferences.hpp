#pragma once

#include "platform/atomic_file.hpp"
#include "platform/defaults_store.hpp"

#include <climits>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace sorvin::test {

// The system fails one step of every read of a preferences file with an error number while it
// lives (or until stopped): every time, or the first `times` times, as a share that blinks.
class FailingPreferences {
public:
    FailingPreferences(std::filesystem::path file, DefaultsStore::FileStep step, int error,
                       int times = INT_MAX)
        : failures_(std::make_shared<int>(0)) {
        DefaultsStore::setFileStepHookForTesting(
            [file = std::move(file), step, error, times, failures = failures_](
                const std::filesystem::path& path, DefaultsStore::FileStep at) -> std::error_code {
                if (path != file || at != step || *failures >= times) return {};
                ++*failures;
                return {error, std::generic_category()};
            });
    }
    ~FailingPreferences() { stop(); }
    FailingPreferences(const FailingPreferences&) = delete;
    FailingPreferences& operator=(const FailingPreferences&) = delete;

    void stop() { DefaultsStore::setFileStepHookForTesting({}); }
    // How many calls failed so far.
    int failures() const { return *failures_; }

private:
    std::shared_ptr<int> failures_;
};

// A preferences file as the previous version wrote it: settings of every kind, recent folders and
// two presets, all away from their defaults.
inline std::string previousVersionPreferences() {
    return AtomicFile::read(SORVIN_TEST_DATA_DIR "/previous_version_preferences.json");
}

} // namespace sorvin::test
