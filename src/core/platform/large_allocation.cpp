#include "platform/large_allocation.hpp"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
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
// A block not taken again within this time is freed at the next allocation or release.
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

// Gives photo-sized blocks back to the system on a thread of its own. Unmapping one costs the
// thread that does it a millisecond or more on a virtual machine (every processor running the
// program must drop its mappings first), and the main thread frees the images it showed last.
class Reclaimer {
public:
    // Without the room or the thread for that, they are freed here.
    void free(std::vector<KeptBlock>&& blocks) noexcept {
        if (blocks.empty()) return;
        try {
            std::lock_guard lock(mutex_);
            // A child process of a fork has none of its parent's threads: it starts its own.
            if (owner_ != getpid()) {
                std::thread([this] { run(); }).detach();
                owner_ = getpid();
            }
            pending_.insert(pending_.end(), blocks.begin(), blocks.end());
        } catch (...) {
            freeBlocks(blocks);
            return;
        }
        wake_.notify_one();
    }

private:
    [[noreturn]] void run() {
        std::vector<KeptBlock> freeing;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return !pending_.empty(); });
                freeing.swap(pending_);
            }
            freeBlocks(freeing);
            freeing.clear();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<KeptBlock> pending_;
    pid_t owner_ = 0;
};

// Never destroyed, like its thread: bitmaps may still be freed while the program's statics are
// torn down.
Reclaimer& reclaimer() {
    static Reclaimer* instance = new Reclaimer;
    return *instance;
}

// The photo-sized blocks freed lately, oldest first.
class KeptBlocks {
public:
    // A kept block of at least `capacity` bytes and at most a quarter more, or null; `taken` is
    // set to its capacity.
    std::uint8_t* take(std::size_t capacity, std::size_t& taken) {
        std::vector<KeptBlock> stale;
        std::uint8_t* found = nullptr;
        {
            std::lock_guard lock(mutex_);
            dropStale(stale);
            auto best = blocks_.end();
            for (auto it = blocks_.begin(); it != blocks_.end(); ++it) {
                if (it->capacity < capacity || it->capacity > capacity + capacity / 4) continue;
                if (best == blocks_.end() || it->capacity <= best->capacity) best = it;
            }
            if (best != blocks_.end()) {
                found = best->bytes;
                taken = best->capacity;
                bytes_ -= best->capacity;
                blocks_.erase(best);
            }
        }
        reclaimer().free(std::move(stale));
        return found;
    }

    void keep(std::uint8_t* bytes, std::size_t capacity) {
        std::vector<KeptBlock> freed;
        {
            std::lock_guard lock(mutex_);
            dropStale(freed);
            blocks_.push_back({bytes, capacity, std::chrono::steady_clock::now()});
            bytes_ += capacity;
            while (bytes_ > kKeptLimit) {
                bytes_ -= blocks_.front().capacity;
                freed.push_back(blocks_.front());
                blocks_.erase(blocks_.begin());
            }
        }
        reclaimer().free(std::move(freed));
    }

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

private:
    void dropStale(std::vector<KeptBlock>& freed) {
        const auto oldest = std::chrono::steady_clock::now() - kKeptFor;
        while (!blocks_.empty() && blocks_.front().since < oldest) {
            bytes_ -= blocks_.front().capacity;
            freed.push_back(blocks_.front());
            blocks_.erase(blocks_.begin());
        }
    }

    std::mutex mutex_;
    std::vector<KeptBlock> blocks_;
    std::size_t bytes_ = 0;
};

// Never destroyed, for the same reason.
KeptBlocks& keptBlocks() {
    static KeptBlocks* blocks = new KeptBlocks;
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
    try {
        keptBlocks().keep(bytes, capacity);
    } catch (...) { // no room to note it: give it back here
        SORVIN_UNPOISON(bytes, capacity);
        std::free(bytes);
    }
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
