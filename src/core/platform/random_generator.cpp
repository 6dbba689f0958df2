#include "platform/random_generator.hpp"

#include <memory>
#include <random>

namespace sorvin {

RandomGenerator RandomGenerator::system() {
    auto device = std::make_shared<std::random_device>();
    return RandomGenerator([device] {
        return (static_cast<result_type>((*device)()) << 32) | static_cast<result_type>((*device)());
    });
}

int RandomGenerator::uniform(int lower, int upper) {
    return std::uniform_int_distribution<int>(lower, upper)(*this);
}

} // namespace sorvin
