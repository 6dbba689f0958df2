#include "platform/memory_return.hpp"

#include "platform/large_allocation.hpp"

#include <malloc.h>

namespace sorvin::MemoryReturn {

namespace {
constexpr int kOwnMappingBytes = 256 * 1024;
} // namespace

void configureAllocator() {
    // Fixing the threshold also keeps it from moving.
    mallopt(M_MMAP_THRESHOLD, kOwnMappingBytes);
}

void releaseFreeHeapMemory() {
    malloc_trim(0);
}

void trim() {
    releaseKeptLargeBytes();
    releaseFreeHeapMemory();
}

} // namespace sorvin::MemoryReturn
