#pragma once

// A fuzz target is one entry point fed arbitrary bytes. Built for libFuzzer (SORVIN_LIBFUZZER,
// clang) each target is a fuzzer of its own; in the ordinary build every target registers with
// the replay runner, which feeds it the files of its corpus.
//
//     SORVIN_FUZZ_TARGET(scan_cache) { ... use data ... fuzz::reached(); ... }
//
// A target returns normally for any input, however bad. A broken promise of the code under test
// (a value out of its range, a round trip that changes the data) is reported with fuzz::require,
// which aborts so that both libFuzzer and the replay test see it.
//
// A target calls fuzz::reached() once its input got through to the code it is for: the parser
// took it and gave a result, which the target then checks. Every committed seed must get there
// (the replay fails for one that does not, and so does scripts/fuzz before it fuzzes), so a
// target whose inputs are all turned away before its parser fails instead of testing nothing.

#include <cstddef>
#include <cstdint>
#include <span>

namespace sorvin::fuzz {

using Entry = void (*)(std::span<const std::uint8_t> data);

bool registerTarget(const char* name, Entry entry);

// Aborts with the message when the condition does not hold.
void require(bool condition, const char* message);

// The input being run reached the code under test.
void reached();

// Runs the target on one input; true when the input reached the code under test.
bool run(Entry entry, std::span<const std::uint8_t> data);

// libFuzzer's entry: runs the input and counts it. With SORVIN_FUZZ_SEEDS set in the environment
// an input that does not reach the code under test ends the process with an error; at exit the
// process tells how many of its inputs reached it.
void runFuzzerInput(const char* name, Entry entry, std::span<const std::uint8_t> data);

} // namespace sorvin::fuzz

#ifdef SORVIN_LIBFUZZER
#define SORVIN_FUZZ_TARGET(name)                                                                   \
    static void name##_fuzz_one(std::span<const std::uint8_t> data);                               \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {            \
        sorvin::fuzz::runFuzzerInput(#name, name##_fuzz_one, {data, size});                        \
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
