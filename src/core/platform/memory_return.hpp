#pragma once

namespace sorvin::MemoryReturn {

// Called once at start, before any thread: every block of 256 KiB or more (every bitmap of a
// photo) gets a mapping of its own, which goes back to the system the moment it is freed. The C
// library otherwise raises that threshold after the first large block is freed and keeps later
// photos in its heaps, where freed pixels stay resident.
void configureAllocator();

// Hands the free memory of the C library's heaps back to the system, that of every thread's heap
// included: after work that passed large blocks through many threads (whatever the allocator's
// large-block threshold, a block a thread freed may stay resident in its heap).
void releaseFreeHeapMemory();

// Hands the photo-sized blocks kept for reuse and the free memory of the C library's heaps back to
// the system: after a folder is closed or the image caches are emptied.
void trim();

} // namespace sorvin::MemoryReturn
