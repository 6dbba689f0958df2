#include "platform/physical_memory.hpp"

#include <unistd.h>

namespace sorvin::PhysicalMemory {

std::uint64_t bytes() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

} // namespace sorvin::PhysicalMemory
