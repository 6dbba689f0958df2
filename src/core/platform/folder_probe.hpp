#pragma once

#include "platform/background_executor.hpp"
#include "platform/main_queue.hpp"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace sorvin {

// One entry of a folder that is a folder or a file, or may be one: the listing tells folders and
// plain files apart, except for links and entries whose kind it does not give, which must be asked.
struct FolderProbeEntry {
    std::string name;
    bool listedAsFolder = false;
    bool listedAsFile = false;
};

// What is at a path, following links.
enum class FolderProbePathKind { missing, folder, other };

// What listing a folder gave: its folders, files and entries that may be either (devices, pipes
// and sockets are left out), in the order people expect names in, or why it could not be read.
struct FolderProbeListing {
    std::vector<FolderProbeEntry> entries;
    std::error_code error;
};

// Where the probe's questions are answered: the file system, unless a test stands in for a disk
// that answers late or not at all. Called on the workers, also after the probe is gone.
class FolderProbeDisk {
public:
    virtual ~FolderProbeDisk() = default;
    virtual FolderProbePathKind kind(const std::filesystem::path& path) const;
    virtual FolderProbeListing listing(const std::filesystem::path& folder) const;
};

// Asks the disk about paths off the main thread, each question with a time limit, so that a share
// or a mount that stopped answering holds a worker, never the main thread. A question still out
// for a path is not asked again: a later one waits for the same answer, and a stalled path holds
// one worker, not more. Nobody waits for the workers; what they find once the probe is gone is
// dropped. Main thread only.
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
    // answer, and with the answer when it comes, however late.
    [[nodiscard]] Question isFolder(const std::filesystem::path& path, double wait,
                                    std::function<void(std::optional<bool>)> answered);
    [[nodiscard]] Question kindOf(const std::filesystem::path& path, double wait,
                                  std::function<void(std::optional<FolderProbePathKind>)> answered);
    [[nodiscard]] Question list(const std::filesystem::path& folder, double wait,
                                std::function<void(std::optional<FolderProbeListing>)> answered);

    // The work behind each question, done on the worker.
    static FolderProbePathKind readKind(const std::filesystem::path& path);
    static FolderProbeListing readListing(const std::filesystem::path& folder);

private:
    enum class Kind { pathKind, listing };
    using Key = std::pair<Kind, std::filesystem::path>;
    struct Answer {
        FolderProbePathKind kind = FolderProbePathKind::missing;
        FolderProbeListing listing;
    };
    struct Mailbox;
    struct State;

    Question ask(Kind kind, const std::filesystem::path& path, double wait,
                 std::function<void(const Answer*)> answered);

    std::shared_ptr<const FolderProbeDisk> disk_;
    std::shared_ptr<Mailbox> mailbox_;
    std::shared_ptr<State> state_;
};

} // namespace sorvin
