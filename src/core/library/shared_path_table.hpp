#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace sorvin {

// A table keyed by relative path (an unordered set or map of them) whose copies share their
// entries until one of them changes. The entries are spread over a fixed number of buckets by the
// hash of their path; a change copies the one bucket it falls in when a copy still shares it. So a
// copy of the tables of 20,000 photos takes a few hundred pointer copies, and a save can take one
// on the main thread and write it on another while the library goes on changing its own.
//
// Iterating never copies anything, and yields read-only entries; only find() on a table that may
// change, operator[], emplace, insert and erase give write access.
template <typename Bucket>
class SharedPathTable {
public:
    using key_type = std::string;
    using value_type = typename Bucket::value_type;
    using size_type = std::size_t;
    static constexpr std::size_t kBucketCount = 256;

private:
    using Buckets = std::array<std::shared_ptr<Bucket>, kBucketCount>;

public:
    template <bool Const>
    class Iterator {
        using Inner = std::conditional_t<Const, typename Bucket::const_iterator, typename Bucket::iterator>;

    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = typename Bucket::value_type;
        using difference_type = std::ptrdiff_t;
        using reference = decltype(*std::declval<Inner>());
        using pointer = decltype(std::declval<Inner>().operator->());

        Iterator() = default;
        // Write access turns into read access, never the other way.
        template <bool OtherConst>
            requires(Const && !OtherConst)
        Iterator(const Iterator<OtherConst>& other)
            : buckets_(other.buckets_), index_(other.index_), inner_(other.inner_) {}

        reference operator*() const { return *inner_; }
        pointer operator->() const { return inner_.operator->(); }
        Iterator& operator++() {
            ++inner_;
            skipEmpty();
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++*this;
            return before;
        }
        template <bool OtherConst>
        bool operator==(const Iterator<OtherConst>& other) const {
            return index_ == other.index_ && (index_ == kBucketCount || inner_ == other.inner_);
        }

    private:
        friend class SharedPathTable;
        template <bool>
        friend class Iterator;

        Iterator(const Buckets* buckets, std::size_t index, Inner inner)
            : buckets_(buckets), index_(index), inner_(inner) {
            skipEmpty();
        }
        // Moves on from the end of a bucket to the first entry of the next one that has any.
        void skipEmpty() {
            while (index_ < kBucketCount && inner_ == (*buckets_)[index_]->end()) {
                do {
                    ++index_;
                } while (index_ < kBucketCount && !(*buckets_)[index_]);
                if (index_ < kBucketCount) inner_ = (*buckets_)[index_]->begin();
            }
            if (index_ == kBucketCount) inner_ = Inner();
        }

        const Buckets* buckets_ = nullptr;
        std::size_t index_ = kBucketCount;
        Inner inner_{};
    };
    using iterator = Iterator<false>;
    using const_iterator = Iterator<true>;

    SharedPathTable() = default;
    explicit SharedPathTable(const Bucket& entries) {
        for (const auto& entry : entries)
            insert(entry);
    }
    // A plain table of the same entries.
    operator Bucket() const {
        Bucket all;
        all.reserve(size_);
        for (const auto& entry : *this)
            all.insert(entry);
        return all;
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    bool contains(const std::string& key) const { return find(key) != end(); }
    std::size_t count(const std::string& key) const { return contains(key) ? 1 : 0; }

    const_iterator begin() const {
        for (std::size_t i = 0; i < kBucketCount; ++i)
            if (buckets_[i]) return const_iterator(&buckets_, i, buckets_[i]->cbegin());
        return end();
    }
    const_iterator end() const { return const_iterator(); }

    const_iterator find(const std::string& key) const {
        const std::size_t i = bucketOf(key);
        if (!buckets_[i]) return end();
        const auto found = std::as_const(*buckets_[i]).find(key);
        if (found == buckets_[i]->cend()) return end();
        return const_iterator(&buckets_, i, found);
    }
    // Write access to the entry: its bucket becomes this table's own.
    iterator find(const std::string& key) {
        const std::size_t i = bucketOf(key);
        if (!std::as_const(*this).contains(key)) return iterator();
        return iterator(&buckets_, i, writable(i).find(key));
    }

    template <typename B = Bucket>
    const typename B::mapped_type& at(const std::string& key) const {
        const auto found = find(key);
        if (found == end()) throw std::out_of_range("no entry for " + key);
        return found->second;
    }
    template <typename B = Bucket>
    typename B::mapped_type& operator[](const std::string& key) {
        const auto [entry, inserted] = writable(bucketOf(key)).try_emplace(key);
        size_ += inserted;
        return entry->second;
    }

    template <typename... Rest>
    bool emplace(const std::string& key, Rest&&... rest) {
        const bool inserted = writable(bucketOf(key)).emplace(key, std::forward<Rest>(rest)...).second;
        size_ += inserted;
        return inserted;
    }
    bool insert(const value_type& entry) {
        const bool inserted = writable(bucketOf(keyOf(entry))).insert(entry).second;
        size_ += inserted;
        return inserted;
    }
    std::size_t erase(const std::string& key) {
        if (!std::as_const(*this).contains(key)) return 0;
        writable(bucketOf(key)).erase(key);
        --size_;
        return 1;
    }
    // An entry found for writing.
    void erase(iterator entry) {
        (*buckets_[entry.index_]).erase(entry.inner_);
        --size_;
    }

private:
    static const std::string& keyOf(const std::string& key) { return key; }
    template <typename Mapped>
    static const std::string& keyOf(const std::pair<const std::string, Mapped>& entry) {
        return entry.first;
    }
    static std::size_t bucketOf(const std::string& key) { return std::hash<std::string>{}(key) % kBucketCount; }

    // The bucket, made this table's own first when a copy shares it. Copies are read and dropped
    // on other threads too, but a bucket only this table holds stays so: a copy comes from this
    // table, on the thread that changes it. The fence orders the change after the last reads of
    // a copy dropped elsewhere.
    Bucket& writable(std::size_t i) {
        auto& bucket = buckets_[i];
        if (!bucket)
            bucket = std::make_shared<Bucket>();
        else if (bucket.use_count() > 1)
            bucket = std::make_shared<Bucket>(*bucket);
        else
            afterDroppedCopies(bucket);
        return *bucket;
    }

    // ThreadSanitizer does not follow fences: in its build, a weak reference locked for a moment
    // acquires the count itself, which each copy released as it was dropped.
    static void afterDroppedCopies([[maybe_unused]] const std::shared_ptr<Bucket>& bucket) {
#if defined(__SANITIZE_THREAD__)
        (void)std::weak_ptr<Bucket>(bucket).lock();
#else
        std::atomic_thread_fence(std::memory_order_acquire);
#endif
    }

    Buckets buckets_;
    std::size_t size_ = 0;
};

using SharedPathSet = SharedPathTable<std::unordered_set<std::string>>;
template <typename T>
using SharedPathMap = SharedPathTable<std::unordered_map<std::string, T>>;

} // namespace sorvin
