#include "platform/large_allocation.hpp"

#include "platform/thread_priority.hpp"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <new>
#include <pthread.h>
#include <sys/mman.h>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define SORVIN_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SORVIN_ADDRESS_SANITIZER 1
#endif
#endif

// Under the address sanitizer a kept block reads as freed memory, and the slack past what was asked
// for as out of bounds.
#if defined(SORVIN_ADDRESS_SANITIZER)
#include <sanitizer/asan_interface.h>
#define SORVIN_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define SORVIN_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define SORVIN_POISON(address, size) ((void)(address), (void)(size))
#define SORVIN_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace sorvin {

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Blocks from this size on hold a photo's bitmap (a small window shows one of 2 MB): they are
// kept for reuse, and freed on a thread of their own.
constexpr std::size_t kPhotoSized = std::size_t{1} << 20;
// Blocks from this size on ask for huge pages, and are aligned and sized for them.
constexpr std::size_t kHugePageSized = std::size_t{8} << 20;
// The most kept at once: a full-size 24 MP image and a display one.
constexpr std::size_t kKeptLimit = std::size_t{128} << 20;
// A block not taken again within this time is given back: long enough for a photographer who steps
// through a folder by hand, not only with a held key.
constexpr auto kKeptFor = std::chrono::seconds(2);

std::size_t roundedUp(std::size_t count, std::size_t unit) {
    return (count + unit - 1) / unit * unit;
}

// What is allocated for `count` bytes: sizes a kept block can serve more than one bitmap with.
std::size_t capacityFor(std::size_t count) {
    if (count < kPhotoSized) return count;
    return roundedUp(count, count < kHugePageSized ? std::size_t{64} << 10 : kHugePage);
}

struct KeptBlock {
    std::uint8_t* bytes;
    std::size_t capacity;
    std::chrono::steady_clock::time_point since;
};

void freeBlocks(const std::vector<KeptBlock>& blocks) {
    for (const KeptBlock& block : blocks) {
        SORVIN_UNPOISON(block.bytes, block.capacity);
        std::free(block.bytes);
    }
}

// The photo-sized blocks freed lately, oldest first, and the thread that gives blocks back to the
// system: unmapping one costs the thread that does it a millisecond or more on a virtual machine
// (every processor running the program must drop its mappings first), and the main thread frees
// the images it showed last. The thread also gives back the blocks that have not been taken again
// for a while, so an idle program holds none.
class KeptBlocks {
public:
    // A kept block of at least `capacity` bytes and at most a quarter more, or null; `taken` is
    // set to its capacity.
    std::uint8_t* take(std::size_t capacity, std::size_t& taken) {
        std::lock_guard lock(mutex_);
        auto best = blocks_.end();
        for (auto it = blocks_.begin(); it != blocks_.end(); ++it) {
            if (it->capacity < capacity || it->capacity > capacity + capacity / 4) continue;
            if (best == blocks_.end() || it->capacity <= best->capacity) best = it;
        }
        if (best == blocks_.end()) return nullptr;
        taken = best->capacity;
        std::uint8_t* found = best->bytes;
        bytes_ -= best->capacity;
        blocks_.erase(best);
        return found;
    }

    // Past the bound, the oldest kept blocks go back to the system. Without the room or the thread
    // for keeping it, the block is freed here.
    void keep(std::uint8_t* bytes, std::size_t capacity) noexcept {
        bool kept = false;
        try {
            std::lock_guard lock(mutex_);
            startThread();
            blocks_.push_back({bytes, capacity, std::chrono::steady_clock::now()});
            bytes_ += capacity;
            kept = true;
            while (bytes_ > kKeptLimit)
                retireOldest(freeing_);
        } catch (...) {
            if (!kept) {
                SORVIN_UNPOISON(bytes, capacity);
                std::free(bytes);
                return;
            }
        }
        wake_.notify_one();
    }

    // Frees every kept block on the calling thread.
    void releaseAll() {
        std::vector<KeptBlock> freed;
        {
            std::lock_guard lock(mutex_);
            freed.swap(blocks_);
            bytes_ = 0;
        }
        freeBlocks(freed);
    }

    std::size_t bytes() {
        std::lock_guard lock(mutex_);
        return bytes_;
    }

    // Around a fork: the child gets the list whole, and fresh locks in place of the ones the
    // parent's thread may have been waiting on; it has none of its parent's threads, so it starts
    // its own when it first keeps a block.
    void beforeFork() { mutex_.lock(); }
    void afterForkInParent() { mutex_.unlock(); }
    void afterForkInChild() {
        new (&mutex_) std::mutex;
        new (&wake_) std::condition_variable;
        threadStarted_ = false;
    }

private:
    // Moves the oldest kept block to the blocks to give back.
    void retireOldest(std::vector<KeptBlock>& into) {
        into.push_back(blocks_.front());
        bytes_ -= blocks_.front().capacity;
        blocks_.erase(blocks_.begin());
    }

    void startThread() {
        if (threadStarted_) return;
        std::thread([this] { run(); }).detach();
        threadStarted_ = true;
    }

    // The thread runs below the main thread: unmapping a photo's block can take it several
    // milliseconds, which must not be taken from a step.
    [[noreturn]] void run() {
        runBelowMainThread();
        std::vector<KeptBlock> freeing;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                if (blocks_.empty())
                    wake_.wait(lock, [this] { return !freeing_.empty() || !blocks_.empty(); });
                else
                    wake_.wait_until(lock, blocks_.front().since + kKeptFor,
                                     [this] { return !freeing_.empty(); });
                const auto oldest = std::chrono::steady_clock::now() - kKeptFor;
                while (!blocks_.empty() && blocks_.front().since <= oldest)
                    retireOldest(freeing);
                freeing.insert(freeing.end(), freeing_.begin(), freeing_.end());
                freeing_.clear();
            }
            freeBlocks(freeing);
            freeing.clear();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<KeptBlock> blocks_;
    std::vector<KeptBlock> freeing_; // for the thread to give back
    std::size_t bytes_ = 0;
    bool threadStarted_ = false;
};

// Never destroyed, like its thread: bitmaps may still be freed while the program's statics are
// torn down.
KeptBlocks& keptBlocks() {
    static KeptBlocks* blocks = [] {
        auto* made = new KeptBlocks;
        pthread_atfork([] { keptBlocks().beforeFork(); }, [] { keptBlocks().afterForkInParent(); },
                       [] { keptBlocks().afterForkInChild(); });
        return made;
    }();
    return *blocks;
}
} // namespace

void LargeBytesRelease::operator()(std::uint8_t* bytes) const noexcept {
    if (!bytes) return;
    if (capacity < kPhotoSized) {
        std::free(bytes);
        return;
    }
    SORVIN_POISON(bytes, capacity);
    keptBlocks().keep(bytes, capacity);
}

LargeBytes allocateLargeBytes(std::size_t count) {
    const std::size_t capacity = capacityFor(count);
    if (capacity >= kPhotoSized) {
        std::size_t taken = 0;
        if (std::uint8_t* bytes = keptBlocks().take(capacity, taken)) {
            SORVIN_UNPOISON(bytes, count);
            return LargeBytes(bytes, LargeBytesRelease{taken});
        }
    }

    void* bytes = capacity >= kHugePageSized ? std::aligned_alloc(kHugePage, capacity)
                                             : std::malloc(capacity ? capacity : 1);
    if (!bytes) throw std::bad_alloc();
    if (capacity >= kHugePageSized) madvise(bytes, capacity, MADV_HUGEPAGE);
    SORVIN_POISON(static_cast<std::uint8_t*>(bytes) + count, capacity - count);
    return LargeBytes(static_cast<std::uint8_t*>(bytes), LargeBytesRelease{capacity});
}

void releaseKeptLargeBytes() {
    keptBlocks().releaseAll();
}

std::size_t keptLargeBytes() {
    return keptBlocks().bytes();
}

} // namespace sorvin
