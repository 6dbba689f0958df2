#pragma once

#include "platform/background_executor.hpp"
#include "platform/folder_probe_disk.hpp"
#include "platform/main_queue.hpp"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>

namespace sorvin {

// Asks the disk about paths off the main thread, each question with a time limit, so that a share
// or a mount that stopped answering holds a worker, never the main thread. A question walks its
// path a name at a time, each call handed to the executor as work of the disk it asks (links are
// read where they lie and followed): a question about a link into a share that stopped answering
// waits among that share's questions, never before a disk that answers. A question still out for
// a path is not asked again: a later one waits for the same answer, and a stalled path holds one
// worker, not more. A question nobody waits for any more asks the disk nothing more. Nobody waits
// for the workers; what they find once the probe is gone is dropped. Main thread only.
class FolderProbe {
public:
    // A question asked: its answers stop coming once it is cancelled or destroyed.
    class Question {
    public:
        Question() = default;
        Question(Question&&) noexcept = default;
        Question& operator=(Question&& other) noexcept;
        ~Question() { cancel(); }
        void cancel();
        bool isOut() const { return waiter_ != nullptr; }

    private:
        friend class FolderProbe;
        struct Waiter;
        explicit Question(std::shared_ptr<Waiter> waiter) : waiter_(std::move(waiter)) {}
        std::shared_ptr<Waiter> waiter_;
    };

    FolderProbe(MainQueue& mainQueue, BackgroundExecutor& executor, std::shared_ptr<const FolderProbeDisk> disk = {});
    ~FolderProbe();
    FolderProbe(const FolderProbe&) = delete;
    FolderProbe& operator=(const FolderProbe&) = delete;

    // `answered` runs on the main thread: with none once `wait` seconds have passed without an
    // answer of the disk (counted from the last of the calls the question made, not from its
    // start), and with the answer when it comes, however late.
    [[nodiscard]] Question isFolder(const std::filesystem::path& path, double wait,
                                    std::function<void(std::optional<bool>)> answered);
    [[nodiscard]] Question kindOf(const std::filesystem::path& path, double wait,
                                  std::function<void(std::optional<FolderProbePathKind>)> answered);
    [[nodiscard]] Question list(const std::filesystem::path& folder, double wait,
                                std::function<void(std::optional<FolderProbeListing>)> answered);

private:
    enum class Kind { pathKind, listing };
    using Key = std::pair<Kind, std::filesystem::path>;
    struct Answer {
        FolderProbePathKind kind = FolderProbePathKind::missing;
        FolderProbeListing listing;
    };
    struct Mailbox;
    struct Interest;
    struct Walk;
    struct State;

    Question ask(Kind kind, const std::filesystem::path& path, double wait,
                 std::function<void(const Answer*)> answered);
    static void walkOn(Walk walk, DiskId on);

    std::shared_ptr<const FolderProbeDisk> disk_;
    std::shared_ptr<Mailbox> mailbox_;
    std::shared_ptr<State> state_;
};

} // namespace sorvin
