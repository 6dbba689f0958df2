#pragma once

#include "export/exporter_destination.hpp"
#include "platform/file_path.hpp"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>

namespace sorvin::test {

// The questions that the destination checks and the export ask of places under one mount point,
// answered as a slow mount answers them (each after `perQuestion`) or as a silent one does: not
// until the object goes, or 30 s at most, so that a test that waits on it fails late instead of
// hanging. Questions still out when the object goes are let go and keep nothing of it.
class HeldMountQuestions {
public:
    enum class Kind { slow, silent };

    HeldMountQuestions(const std::filesystem::path& mountPoint, Kind kind,
                       std::chrono::milliseconds perQuestion = std::chrono::seconds(2))
        : shared_(std::make_shared<Shared>()) {
        Exporter::setMountQuestionHookForTesting(
            [shared = shared_, at = FilePath::standardized(mountPoint), kind, perQuestion](const std::filesystem::path& place) {
                const auto where = FilePath::standardized(place);
                if (where != at && !FilePath::isInside(where, at)) return;
                std::unique_lock lock(shared->mutex);
                ++shared->asked;
                const auto wait = kind == Kind::slow ? perQuestion : std::chrono::milliseconds(30'000);
                shared->released.wait_for(lock, wait, [&] { return shared->letGo; });
            });
    }
    ~HeldMountQuestions() {
        Exporter::setMountQuestionHookForTesting({});
        const std::lock_guard lock(shared_->mutex);
        shared_->letGo = true;
        shared_->released.notify_all();
    }
    HeldMountQuestions(const HeldMountQuestions&) = delete;
    HeldMountQuestions& operator=(const HeldMountQuestions&) = delete;

    int asked() const {
        const std::lock_guard lock(shared_->mutex);
        return shared_->asked;
    }

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable released;
        bool letGo = false;
        int asked = 0;
    };
    std::shared_ptr<Shared> shared_;
};

} // namespace sorvin::test
