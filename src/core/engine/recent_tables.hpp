#pragma once

#include <array>
#include <cstddef>
#include <mutex>
#include <optional>
#include <utility>

namespace sorvin {

// The few tables of one kind built last, by the values they were built from: a development with
// the values of one of them takes a copy instead of building the table again. Safe to share
// between threads; the oldest table gives way to a new one.
template <typename Key, typename Table, std::size_t kCount>
class RecentTables {
public:
    template <typename Build>
    Table get(const Key& key, const Build& build) {
        {
            std::lock_guard guard(lock_);
            for (const auto& entry : entries_) {
                if (entry && entry->first == key) return entry->second;
            }
        }
        Table table = build();
        std::lock_guard guard(lock_);
        entries_[next_] = std::pair<Key, Table>(key, table);
        next_ = (next_ + 1) % kCount;
        return table;
    }

private:
    std::mutex lock_;
    std::array<std::optional<std::pair<Key, Table>>, kCount> entries_;
    std::size_t next_ = 0;
};

} // namespace sorvin
