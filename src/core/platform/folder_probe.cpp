#include "platform/folder_probe.hpp"

#include "platform/localized_text_order.hpp"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <mutex>

namespace sorvin {

struct FolderProbe::Question::Waiter {
    std::function<void(const Answer*)> answer;
    MainQueue::Timer deadline;
    bool cancelled = false;
};

// Where the workers post their answers; emptied when the probe goes, so that a worker that comes
// back from a stalled disk after the program left the main queue posts nothing.
struct FolderProbe::Mailbox {
    std::mutex mutex;
    MainQueue* mainQueue;
};

struct FolderProbe::State {
    MainQueue& mainQueue;
    BackgroundExecutor& executor;
    // The questions with a worker out, and who waits for each answer.
    std::map<Key, std::vector<std::weak_ptr<Question::Waiter>>> out;

    void answered(const Key& key, const Answer& answer) {
        auto node = out.extract(key);
        if (node.empty()) return;
        for (const auto& weak : node.mapped()) {
            const auto waiter = weak.lock();
            if (!waiter || waiter->cancelled) continue;
            waiter->deadline.cancel();
            waiter->answer(&answer);
        }
    }
};

FolderProbe::Question& FolderProbe::Question::operator=(Question&& other) noexcept {
    if (this != &other) {
        cancel();
        waiter_ = std::move(other.waiter_);
    }
    return *this;
}

// The waiter's action is left in place: the question may be cancelled from inside it.
void FolderProbe::Question::cancel() {
    if (!waiter_) return;
    waiter_->cancelled = true;
    waiter_->deadline.cancel();
    waiter_.reset();
}

FolderProbePathKind FolderProbeDisk::kind(const std::filesystem::path& path) const {
    return FolderProbe::readKind(path);
}

FolderProbeListing FolderProbeDisk::listing(const std::filesystem::path& folder) const {
    return FolderProbe::readListing(folder);
}

FolderProbe::FolderProbe(MainQueue& mainQueue, BackgroundExecutor& executor,
                         std::shared_ptr<const FolderProbeDisk> disk)
    : disk_(disk ? std::move(disk) : std::make_shared<const FolderProbeDisk>()), mailbox_(std::make_shared<Mailbox>()), state_(std::make_shared<State>(State{mainQueue, executor, {}})) {
    mailbox_->mainQueue = &mainQueue;
}

FolderProbe::~FolderProbe() {
    const std::lock_guard lock(mailbox_->mutex);
    mailbox_->mainQueue = nullptr;
}

FolderProbe::Question FolderProbe::isFolder(const std::filesystem::path& path, double wait,
                                            std::function<void(std::optional<bool>)> answered) {
    return ask(Kind::pathKind, path, wait, [answered = std::move(answered)](const Answer* answer) {
        answered(answer ? std::optional<bool>(answer->kind == FolderProbePathKind::folder) : std::nullopt);
    });
}

FolderProbe::Question FolderProbe::kindOf(const std::filesystem::path& path, double wait,
                                          std::function<void(std::optional<FolderProbePathKind>)> answered) {
    return ask(Kind::pathKind, path, wait, [answered = std::move(answered)](const Answer* answer) {
        answered(answer ? std::optional(answer->kind) : std::nullopt);
    });
}

FolderProbe::Question FolderProbe::list(const std::filesystem::path& folder, double wait,
                                        std::function<void(std::optional<FolderProbeListing>)> answered) {
    return ask(Kind::listing, folder, wait, [answered = std::move(answered)](const Answer* answer) {
        answered(answer ? std::optional<FolderProbeListing>(answer->listing) : std::nullopt);
    });
}

FolderProbe::Question FolderProbe::ask(Kind kind, const std::filesystem::path& path, double wait,
                                       std::function<void(const Answer*)> answered) {
    auto waiter = std::make_shared<Question::Waiter>();
    waiter->answer = std::move(answered);
    waiter->deadline = state_->mainQueue.postAfter(wait, [weak = std::weak_ptr(waiter)] {
        if (const auto waiting = weak.lock(); waiting && !waiting->cancelled) waiting->answer(nullptr);
    });
    Key key{kind, path.lexically_normal()};
    // "/a/b/" and "/a/b" are one folder.
    if (!key.second.has_filename() && key.second.has_relative_path()) key.second = key.second.parent_path();
    auto [entry, first] = state_->out.try_emplace(key);
    entry->second.push_back(waiter);
    if (first) {
        state_->executor.run(TaskPriority::userInitiated,
                             [disk = disk_, mailbox = mailbox_, weak = std::weak_ptr(state_), key] {
                                 Answer answer;
                                 if (key.first == Kind::pathKind) answer.kind = disk->kind(key.second);
                                 else answer.listing = disk->listing(key.second);
                                 const std::lock_guard lock(mailbox->mutex);
                                 if (!mailbox->mainQueue) return;
                                 mailbox->mainQueue->post([weak, key, answer = std::move(answer)] {
                                     if (const auto state = weak.lock()) state->answered(key, answer);
                                 });
                             });
    }
    return Question(std::move(waiter));
}

// A path that cannot be looked at (a link to nothing, a folder that cannot be entered) counts as
// missing: nothing can be listed there nor written over.
FolderProbePathKind FolderProbe::readKind(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) return FolderProbePathKind::missing;
    return std::filesystem::is_directory(status) ? FolderProbePathKind::folder : FolderProbePathKind::other;
}

// The listing alone tells a folder from a file on most file systems, without asking each entry.
// It is put in order here, off the main thread: a folder may hold tens of thousands of names.
FolderProbeListing FolderProbe::readListing(const std::filesystem::path& folder) {
    FolderProbeListing listing;
    DIR* directory = ::opendir(folder.c_str());
    if (!directory) {
        listing.error = std::error_code(errno, std::generic_category());
        return listing;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(directory);
        if (!entry) {
            if (errno != 0) listing.error = std::error_code(errno, std::generic_category());
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (entry->d_type == DT_DIR) listing.entries.push_back({name, true, false});
        else if (entry->d_type == DT_REG) listing.entries.push_back({name, false, true});
        else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) listing.entries.push_back({name, false, false});
    }
    ::closedir(directory);
    std::vector<std::pair<LocalizedTextOrder::Key, FolderProbeEntry>> keyed;
    keyed.reserve(listing.entries.size());
    for (FolderProbeEntry& entry : listing.entries) {
        LocalizedTextOrder::Key key = LocalizedTextOrder::key(entry.name);
        keyed.emplace_back(std::move(key), std::move(entry));
    }
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    listing.entries.clear();
    for (auto& [key, entry] : keyed) listing.entries.push_back(std::move(entry));
    return listing;
}

} // namespace sorvin
