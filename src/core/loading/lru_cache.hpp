#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace sorvin {

// A small cache that drops its least recently used entry when it grows past its capacity. Every
// hit and insertion takes a fresh reading of a clock that is never reset, so no two entries are
// ever equally old. Each operation holds the cache's lock, so any thread may use it.
template <typename Key, typename Value>
class LRUCache {
public:
    explicit LRUCache(std::size_t capacity) : capacity_(capacity) {}
    LRUCache(const LRUCache&) = delete;
    LRUCache& operator=(const LRUCache&) = delete;

    std::size_t capacity() const { return capacity_; }

    // A hit makes the entry the most recently used; a miss changes nothing.
    std::optional<Value> value(const Key& key) {
        std::lock_guard guard(lock_);
        const auto found = storage_.find(key);
        if (found == storage_.end()) return std::nullopt;
        found->second.lastAccess = ++clock_;
        return found->second.value;
    }

    // Replacing the value of a stored key never evicts.
    void insert(Value value, const Key& key) {
        std::lock_guard guard(lock_);
        storage_.insert_or_assign(key, Entry{std::move(value), ++clock_});
        if (storage_.size() > capacity_) eraseOldest();
    }

    // Drops the least recently used entry when the cache is full, so that the value about to be
    // made for a new key can take the memory of the one it would evict anyway.
    void makeRoomForOne() {
        std::lock_guard guard(lock_);
        if (!storage_.empty() && storage_.size() >= capacity_) eraseOldest();
    }

    // Leaves the order of the entries alone, so planning work never reorders the cache.
    bool contains(const Key& key) const {
        std::lock_guard guard(lock_);
        return storage_.contains(key);
    }

    // The value without making it the most recently used.
    std::optional<Value> peek(const Key& key) const {
        std::lock_guard guard(lock_);
        const auto found = storage_.find(key);
        if (found == storage_.end()) return std::nullopt;
        return found->second.value;
    }

    template <typename Visit>
    void forEach(Visit visit) const {
        std::lock_guard guard(lock_);
        for (const auto& [key, entry] : storage_)
            visit(entry.value);
    }

    void removeAll() {
        std::lock_guard guard(lock_);
        storage_.clear();
    }

    std::size_t count() const {
        std::lock_guard guard(lock_);
        return storage_.size();
    }

private:
    void eraseOldest() {
        auto oldest = storage_.begin();
        for (auto it = storage_.begin(); it != storage_.end(); ++it) {
            if (it->second.lastAccess < oldest->second.lastAccess) oldest = it;
        }
        storage_.erase(oldest);
    }

    struct Entry {
        Value value;
        std::uint64_t lastAccess;
    };
    const std::size_t capacity_;
    mutable std::mutex lock_;
    std::unordered_map<Key, Entry> storage_;
    std::uint64_t clock_ = 0;
};

} // namespace sorvin
