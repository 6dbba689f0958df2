#include "platform/folder_probe.hpp"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace sorvin {

namespace {

namespace fs = std::filesystem;

// As many links as the system follows in one path.
constexpr int kMostLinks = 40;

// "/a/b/" and "/a/./b" are "/a/b"; a relative path is taken from the working folder.
fs::path normal(const fs::path& path) {
    std::error_code ignored;
    fs::path result = (path.is_absolute() ? path : fs::absolute(path, ignored)).lexically_normal();
    if (!result.has_filename() && result.has_relative_path()) result = result.parent_path();
    return result;
}

} // namespace

// How many questions not cancelled wait for the answer about a path; the walk reads it before
// each call, and gives up once nobody waits.
struct FolderProbe::Interest {
    std::atomic<int> waiting = 0;
};

struct FolderProbe::Question::Waiter {
    std::function<void(const Answer*)> answer;
    MainQueue::Timer deadline;
    double wait = 0;
    double askedAt = 0;
    bool cancelled = false;
    std::shared_ptr<Interest> interest;

    void letGo() {
        if (interest) --interest->waiting;
        interest.reset();
    }
    ~Waiter() { letGo(); }
};

// Where the workers post their answers and hand their walks on; emptied when the probe goes, so
// that a worker that comes back from a stalled disk after the program left the main queue posts
// nothing and hands nothing to an executor that may be gone.
struct FolderProbe::Mailbox {
    std::mutex mutex;
    MainQueue* mainQueue = nullptr;
    BackgroundExecutor* executor = nullptr;
};

// A question's way down its path, on the workers: what is walked (no link in it), its kind, the
// names still ahead (the next last), and the links followed so far.
struct FolderProbe::Walk {
    std::shared_ptr<const FolderProbeDisk> disk;
    std::shared_ptr<Mailbox> mailbox;
    std::weak_ptr<State> state;
    std::shared_ptr<Interest> interest;
    Key key;
    fs::path at{"/"};
    FolderProbePathKind kind = FolderProbePathKind::folder;
    std::vector<std::string> ahead;
    int links = 0;

    // Walks on as far as the calls are `on`'s disk's, and hands the walk to the next call's disk.
    void goOn(DiskId on);
    void handOver(DiskId next);
    void tell(std::function<void(State&)> told) const;
    void answer(Answer answer) const;
    void fail(std::error_code error) const;
};

struct FolderProbe::State : std::enable_shared_from_this<State> {
    // The questions with a walk out, who waits for each answer, and when the disk last answered
    // one of the walk's calls.
    struct Out {
        std::vector<std::weak_ptr<Question::Waiter>> waiters;
        std::shared_ptr<Interest> interest;
        double lastAnswer = 0;
    };

    State(MainQueue& mainQueue, BackgroundExecutor& executor, std::shared_ptr<const FolderProbeDisk> disk,
          std::shared_ptr<Mailbox> mailbox)
        : mainQueue(mainQueue), executor(executor), disk(std::move(disk)), mailbox(std::move(mailbox)) {}

    MainQueue& mainQueue;
    BackgroundExecutor& executor;
    std::shared_ptr<const FolderProbeDisk> disk;
    std::shared_ptr<Mailbox> mailbox;
    std::map<Key, Out> out;

    // The walk starts among the questions of the disk its first call asks (the mount table tells
    // it; the path is normal, so the first call is about its first name).
    void start(const Key& key, std::shared_ptr<Interest> interest) {
        Walk walk{disk, mailbox, weak_from_this(), std::move(interest), key, "/", FolderProbePathKind::folder, {}, 0};
        for (const fs::path& name : key.second.relative_path()) walk.ahead.push_back(name.string());
        std::reverse(walk.ahead.begin(), walk.ahead.end());
        const DiskId first = disk->diskOf(walk.ahead.empty() ? walk.at : walk.at / walk.ahead.back());
        executor.runOnDisk(TaskPriority::userInitiated, first, [walk = std::move(walk), first]() mutable { walk.goOn(first); });
    }

    void answered(const Key& key, const Answer& answer) {
        auto node = out.extract(key);
        if (node.empty()) return;
        for (const auto& weak : node.mapped().waiters) {
            const auto waiter = weak.lock();
            if (!waiter || waiter->cancelled) continue;
            waiter->deadline.cancel();
            waiter->answer(&answer);
        }
    }

    void answering(const Key& key) {
        if (const auto found = out.find(key); found != out.end()) found->second.lastAnswer = mainQueue.now();
    }

    // The walk gave up, nobody waiting: unless a question came for the path meanwhile, which
    // starts it again.
    void dropped(const Key& key) {
        const auto found = out.find(key);
        if (found == out.end()) return;
        if (found->second.interest->waiting > 0) start(key, found->second.interest);
        else out.erase(found);
    }

    // The wait counts from the question, or from the disk's last answer to its walk when that came
    // later.
    static void arm(const std::shared_ptr<Question::Waiter>& waiter, double seconds, const std::weak_ptr<State>& state,
                    MainQueue& mainQueue, const Key& key) {
        waiter->deadline = mainQueue.postAfter(seconds, [weak = std::weak_ptr(waiter), state, &mainQueue, key] {
            const auto waiting = weak.lock();
            if (!waiting || waiting->cancelled) return;
            if (const auto probe = state.lock()) {
                double from = waiting->askedAt;
                if (const auto found = probe->out.find(key); found != probe->out.end())
                    from = std::max(from, found->second.lastAnswer);
                const double left = from + waiting->wait - mainQueue.now();
                if (left > 1e-9) {
                    arm(waiting, left, state, mainQueue, key);
                    return;
                }
            }
            waiting->answer(nullptr);
        });
    }
};

void FolderProbe::Walk::goOn(DiskId on) {
    for (;;) {
        if (interest->waiting.load() == 0) {
            tell([key = key](State& state) { state.dropped(key); });
            return;
        }
        if (!ahead.empty() && kind != FolderProbePathKind::folder) return fail(make_error_code(std::errc::not_a_directory));
        if (!ahead.empty() && (ahead.back().empty() || ahead.back() == "." || ahead.back() == "..")) {
            if (ahead.back() == "..") at = at.parent_path();
            ahead.pop_back();
            continue;
        }
        if (ahead.empty() && key.first == Kind::pathKind) return answer(Answer{kind, {}});
        const fs::path next = ahead.empty() ? at : at / ahead.back();
        if (const DiskId nextDisk = disk->diskOf(next); nextDisk != on) return handOver(nextDisk);
        if (ahead.empty()) return answer(Answer{kind, disk->listing(at, [this] { tell([key = key](State& state) { state.answering(key); }); })});

        const FolderProbeNode node = disk->node(next);
        tell([key = key](State& state) { state.answering(key); });
        ahead.pop_back();
        if (node.linkTarget) {
            if (node.linkTarget->empty()) return fail(make_error_code(std::errc::no_such_file_or_directory));
            if (++links > kMostLinks) return fail(make_error_code(std::errc::too_many_symbolic_link_levels));
            if (node.linkTarget->is_absolute()) at = "/";
            std::vector<std::string> names;
            for (const fs::path& name : node.linkTarget->relative_path()) names.push_back(name.string());
            ahead.insert(ahead.end(), names.rbegin(), names.rend());
            continue;
        }
        if (node.kind == FolderProbePathKind::missing)
            return fail(node.error ? node.error : make_error_code(std::errc::no_such_file_or_directory));
        at = next;
        kind = node.kind;
    }
}

void FolderProbe::Walk::handOver(DiskId next) {
    const std::shared_ptr<Mailbox> box = mailbox;
    const std::lock_guard lock(box->mutex);
    if (!box->executor) return;
    box->executor->runOnDisk(TaskPriority::userInitiated, next,
                             [walk = std::move(*this), next]() mutable { walk.goOn(next); });
}

void FolderProbe::Walk::tell(std::function<void(State&)> told) const {
    const std::lock_guard lock(mailbox->mutex);
    if (!mailbox->mainQueue) return;
    mailbox->mainQueue->post([state = state, told = std::move(told)] {
        if (const auto probe = state.lock()) told(*probe);
    });
}

void FolderProbe::Walk::answer(Answer answer) const {
    tell([key = key, answer = std::move(answer)](State& state) { state.answered(key, answer); });
}

// A path that cannot be looked at (a link to nothing, a folder that cannot be entered) counts as
// missing: nothing can be listed there nor written over. A listing says why.
void FolderProbe::Walk::fail(std::error_code error) const {
    Answer failed;
    failed.listing.error = error;
    answer(std::move(failed));
}

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
    waiter_->letGo();
    waiter_.reset();
}

FolderProbe::FolderProbe(MainQueue& mainQueue, BackgroundExecutor& executor,
                         std::shared_ptr<const FolderProbeDisk> disk)
    : disk_(disk ? std::move(disk) : std::make_shared<const FolderProbeDisk>()), mailbox_(std::make_shared<Mailbox>()),
      state_(std::make_shared<State>(mainQueue, executor, disk_, mailbox_)) {
    mailbox_->mainQueue = &mainQueue;
    mailbox_->executor = &executor;
}

FolderProbe::~FolderProbe() {
    const std::lock_guard lock(mailbox_->mutex);
    mailbox_->mainQueue = nullptr;
    mailbox_->executor = nullptr;
}

FolderProbe::Question FolderProbe::isFolder(const fs::path& path, double wait,
                                            std::function<void(std::optional<bool>)> answered) {
    return ask(Kind::pathKind, path, wait, [answered = std::move(answered)](const Answer* answer) {
        answered(answer ? std::optional<bool>(answer->kind == FolderProbePathKind::folder) : std::nullopt);
    });
}

FolderProbe::Question FolderProbe::kindOf(const fs::path& path, double wait,
                                          std::function<void(std::optional<FolderProbePathKind>)> answered) {
    return ask(Kind::pathKind, path, wait, [answered = std::move(answered)](const Answer* answer) {
        answered(answer ? std::optional(answer->kind) : std::nullopt);
    });
}

FolderProbe::Question FolderProbe::list(const fs::path& folder, double wait,
                                        std::function<void(std::optional<FolderProbeListing>)> answered) {
    return ask(Kind::listing, folder, wait, [answered = std::move(answered)](const Answer* answer) {
        answered(answer ? std::optional<FolderProbeListing>(answer->listing) : std::nullopt);
    });
}

FolderProbe::Question FolderProbe::ask(Kind kind, const fs::path& path, double wait,
                                       std::function<void(const Answer*)> answered) {
    State& state = *state_;
    const Key key{kind, normal(path)};
    auto [entry, first] = state.out.try_emplace(key);
    State::Out& out = entry->second;
    if (first) {
        out.interest = std::make_shared<Interest>();
        out.lastAnswer = state.mainQueue.now();
    }
    auto waiter = std::make_shared<Question::Waiter>();
    waiter->answer = std::move(answered);
    waiter->wait = wait;
    waiter->askedAt = state.mainQueue.now();
    waiter->interest = out.interest;
    ++out.interest->waiting;
    out.waiters.push_back(waiter);
    State::arm(waiter, wait, state_, state.mainQueue, key);
    if (first) state.start(key, out.interest);
    return Question(std::move(waiter));
}

} // namespace sorvin
