#include "loading/display_ready_cache.hpp"

#include <algorithm>

namespace sorvin {

bool DisplayReadyCache::contains(const DisplayRequest& request) const {
    return std::ranges::any_of(entries_, [&](const Entry& e) { return e.request == request; });
}

DisplayReadyImage DisplayReadyCache::take(const DisplayRequest& request) {
    auto found = std::ranges::find_if(entries_, [&](const Entry& e) { return e.request == request; });
    if (found == entries_.end())
        found =
            std::ranges::find_if(entries_, [&](const Entry& e) { return e.request.showsTheSameAs(request); });
    DisplayReadyImage ready;
    if (found != entries_.end()) {
        ready = std::move(found->ready);
        entries_.erase(found);
    }
    return ready;
}

void DisplayReadyCache::store(DisplayRequest request, DisplayReadyImage ready) {
    if (!ready.image) return;
    std::erase_if(entries_, [&](const Entry& e) { return e.request == request; });
    entries_.push_back({std::move(request), std::move(ready)});
    trim();
}

void DisplayReadyCache::keepOnly(const std::vector<DisplayRequest>& wanted) {
    std::erase_if(entries_,
                  [&](const Entry& e) { return std::ranges::find(wanted, e.request) == wanted.end(); });
}

void DisplayReadyCache::setCapacity(std::size_t capacity) {
    capacity_ = capacity;
    trim();
}

void DisplayReadyCache::trim() {
    if (entries_.size() > capacity_)
        entries_.erase(entries_.begin(),
                       entries_.begin() + static_cast<std::ptrdiff_t>(entries_.size() - capacity_));
}

} // namespace sorvin
