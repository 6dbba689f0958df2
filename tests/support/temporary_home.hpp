#pragma once

#include "support/scoped_environment.hpp"

#include <filesystem>
#include <utility>

namespace sorvin::test {

// Points the program's preference, data and cache folders into a temporary home for the test; the
// preferences elsewhere when a folder is given for them.
class TemporaryHome {
public:
    explicit TemporaryHome(const std::filesystem::path& home, const std::filesystem::path& config = {}) {
        for (const auto& [name, value] : {std::pair{"HOME", home},
                                          {"XDG_CONFIG_HOME", config.empty() ? home / ".config" : config},
                                          {"XDG_DATA_HOME", home / ".local/share"},
                                          {"XDG_CACHE_HOME", home / ".cache"}}) {
            std::filesystem::create_directories(value);
            environment_.set(name, value);
        }
    }

private:
    ScopedEnvironment environment_;
};

} // namespace sorvin::test
