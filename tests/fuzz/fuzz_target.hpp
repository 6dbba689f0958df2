#pragma once

// A fuzz target is one entry point fed arbitrary bytes. Built for libFuzzer (SORVIN_LIBFUZZER,
// clang) each target is a fuzzer of its own; in the ordinary build every target registers with
// the replay runner, which feeds it the files of its corpus.
//
//     SORVIN_FUZZ_TARGET(scan_cache) { ... use data ... }
//
// A target returns normally for any input, however bad. A broken promise of the code under test
// (a value out of its range, a round trip that changes the data) is reported with fuzz::require,
// which aborts so that both libFuzzer and the replay test see it.

#include <cstddef>
#include <cstdint>
#include <span>

namespace sorvin::fuzz {

using Entry = void (*)(std::span<const std::uint8_t> data);

bool registerTarget(const char* name, Entry entry);

// Aborts with the message when the condition does not hold.
void require(bool condition, const char* message);

} // namespace sorvin::fuzz

#ifdef SORVIN_LIBFUZZER
#define SORVIN_FUZZ_TARGET(name)                                                                   \
    static void name##_fuzz_one(std::span<const std::uint8_t> data);                               \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {            \
        name##_fuzz_one({data, size});                                                             \
        return 0;                                                                                  \
    }                                                                                              \
    static void name##_fuzz_one(std::span<const std::uint8_t> data)
#else
#define SORVIN_FUZZ_TARGET(name)                                                                   \
    static void name##_fuzz_one(std::span<const std::uint8_t> data);                               \
    [[maybe_unused]] static const bool name##_fuzz_registered =                                    \
        sorvin::fuzz::registerTarget(#name, name##_fuzz_one);                                      \
    static void name##_fuzz_one(std::span<const std::uint8_t> data)
#endif
