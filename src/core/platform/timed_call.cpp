#include "platform/timed_call.hpp"

#include <set>

namespace sorvin {

namespace {

struct Keys {
    std::mutex mutex;
    std::set<std::string> out;
};

// Never destroyed: a thread that a stalled mount let go after the program began to end still
// finds it.
Keys& keys() {
    static Keys* const all = new Keys;
    return *all;
}

} // namespace

bool TimedCallKeys::claim(const std::string& key) {
    const std::lock_guard lock(keys().mutex);
    return keys().out.insert(key).second;
}

void TimedCallKeys::release(const std::string& key) {
    const std::lock_guard lock(keys().mutex);
    keys().out.erase(key);
}

} // namespace sorvin
