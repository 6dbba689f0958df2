#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace sorvin {

// Uninitialised bytes for a bitmap or a plane. A fresh photo-sized block costs one page fault (and
// one page of clearing by the kernel) per 4 KiB on first touch, which outweighs copying it; blocks
// of 8 MiB and more ask for huge pages, one fault per 2 MiB. Only a hint: where the system has none,
// nothing changes.
std::unique_ptr<std::uint8_t[]> allocateLargeBytes(std::size_t count);

} // namespace sorvin
