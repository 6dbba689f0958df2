#include "platform/large_allocation.hpp"

#include <sys/mman.h>

namespace sorvin {

namespace {
constexpr std::size_t kHugePageHintBytes = std::size_t{8} << 20;
} // namespace

std::unique_ptr<std::uint8_t[]> allocateLargeBytes(std::size_t count) {
    auto bytes = std::make_unique_for_overwrite<std::uint8_t[]>(count);
    if (count >= kHugePageHintBytes) {
        constexpr std::uintptr_t kPage = 4096;
        const auto address = reinterpret_cast<std::uintptr_t>(bytes.get());
        const auto begin = (address + kPage - 1) & ~(kPage - 1);
        const auto end = (address + count) & ~(kPage - 1);
        if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
    return bytes;
}

} // namespace sorvin
