#pragma once

#include <cstdint>
#include <functional>
#include <limits>

namespace sorvin {

// A source of random bits that callers hand in, so that tests can draw from a seeded or scripted
// sequence and the application from the system's generator. Meets the standard's uniform random
// bit generator requirements.
class RandomGenerator {
public:
    using result_type = std::uint64_t;

    explicit RandomGenerator(std::function<result_type()> next) : next_(std::move(next)) {}
    // Backed by the operating system's entropy source.
    static RandomGenerator system();

    static constexpr result_type min() { return 0; }
    static constexpr result_type max() { return std::numeric_limits<result_type>::max(); }
    result_type operator()() { return next_(); }

    // An integer drawn uniformly, without bias, from lower ... upper (both included).
    int uniform(int lower, int upper);

private:
    std::function<result_type()> next_;
};

} // namespace sorvin
