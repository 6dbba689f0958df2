#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace sorvin {

// Gives a block from allocateLargeBytes back: photo-sized blocks are kept a short while for the
// next bitmap of about the same size, the others are freed.
struct LargeBytesRelease {
    std::size_t capacity = 0;
    void operator()(std::uint8_t* bytes) const noexcept;
};

using LargeBytes = std::unique_ptr<std::uint8_t[], LargeBytesRelease>;

// Uninitialised bytes for a bitmap, a plane or a file read whole. A fresh photo-sized block costs
// one page fault (and one page of clearing by the kernel) per 4 KiB on first touch, which outweighs
// copying it; blocks of 8 MiB and more ask for huge pages, one fault per 2 MiB. Only a hint: where
// the system has none, nothing changes.
//
// Walking a folder frees and makes bitmaps of the same few sizes at every step. On a virtual machine,
// faulting fresh memory in at that rate holds up the memory accesses of every other thread (the
// main thread's paint among them) for tens of milliseconds, and unmapping a block costs the thread
// that does it a millisecond or more. So freed blocks of 1 MiB and more are kept, already resident,
// for the next bitmap of about their size; they are freed on a thread of their own when they have
// not been taken for a while, when more are kept than a bound, and on releaseKeptLargeBytes.
LargeBytes allocateLargeBytes(std::size_t count);

// Frees every block kept for reuse: after a folder is closed or the image caches are emptied.
void releaseKeptLargeBytes();

// Bytes of the blocks kept for reuse now.
std::size_t keptLargeBytes();

} // namespace sorvin
