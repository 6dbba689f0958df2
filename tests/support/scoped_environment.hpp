#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sorvin::test {

// Sets or clears environment variables for the life of the object and puts back what was there
// before, so that a test's variables never leak into the tests after it (nor send them to write in
// the home of whoever runs the tests). The time zone is re-read on both sides.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            apply(it->first, it->second);
    }

    ScopedEnvironment& set(const std::string& name, const std::string& value) { return change(name, value); }
    ScopedEnvironment& clear(const std::string& name) { return change(name, std::nullopt); }

private:
    ScopedEnvironment& change(const std::string& name, const std::optional<std::string>& value) {
        const char* before = std::getenv(name.c_str());
        saved_.emplace_back(name, before ? std::optional<std::string>(before) : std::nullopt);
        apply(name, value);
        return *this;
    }

    static void apply(const std::string& name, const std::optional<std::string>& value) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
        if (name == "TZ") ::tzset();
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace sorvin::test
