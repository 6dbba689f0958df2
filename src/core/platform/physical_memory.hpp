#pragma once

#include <cstdint>

namespace sorvin::PhysicalMemory {

// The machine's physical memory in bytes; 0 when the system does not say.
std::uint64_t bytes();

} // namespace sorvin::PhysicalMemory
