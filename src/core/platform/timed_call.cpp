#include "platform/timed_call.hpp"

#include <map>

namespace sorvin {

namespace {

struct Keys {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<CallProgress>> out;
};

// Never destroyed: a thread that a stalled mount let go after the program began to end still
// finds it.
Keys& keys() {
    static Keys* const all = new Keys;
    return *all;
}

} // namespace

bool CallProgress::waitWhileAnswering(std::unique_lock<std::mutex>& lock, Clock::duration wait) {
    while (!ended) {
        // An answer that came meanwhile moves the end of the wait.
        const auto until = lastAnswer + wait;
        if (Clock::now() >= until) return false;
        changed.wait_until(lock, until);
    }
    return true;
}

void DiskQuestions::asking(int subject) {
    const std::lock_guard lock(progress_->mutex);
    progress_->asking = subject;
}

void DiskQuestions::answered() {
    const std::lock_guard lock(progress_->mutex);
    progress_->lastAnswer = CallProgress::Clock::now();
}

std::shared_ptr<CallProgress> TimedCallKeys::claim(const std::string& key,
                                                   const std::shared_ptr<CallProgress>& progress) {
    const std::lock_guard lock(keys().mutex);
    const auto [at, claimed] = keys().out.try_emplace(key, progress);
    if (claimed) return nullptr;
    return at->second;
}

void TimedCallKeys::release(const std::string& key) {
    const std::lock_guard lock(keys().mutex);
    keys().out.erase(key);
}

} // namespace sorvin
