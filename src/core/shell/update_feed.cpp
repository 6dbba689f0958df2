#include "shell/update_feed.hpp"

#include <charconv>
#include <nlohmann/json.hpp>
#include <vector>

namespace sorvin {

namespace {

// The numeric parts of a version, or none when it holds anything else.
std::optional<std::vector<unsigned long>> parts(std::string_view version) {
    version = version.substr(0, version.find('-'));
    std::vector<unsigned long> result;
    while (true) {
        unsigned long part = 0;
        const auto [next, error] = std::from_chars(version.data(), version.data() + version.size(), part);
        if (error != std::errc() || next == version.data()) return std::nullopt;
        result.push_back(part);
        version.remove_prefix(static_cast<std::size_t>(next - version.data()));
        if (version.empty()) return result;
        if (version.front() != '.') return std::nullopt;
        version.remove_prefix(1);
    }
}

} // namespace

std::optional<UpdateFeed> UpdateFeed::parse(std::string_view json) {
    const nlohmann::json feed = nlohmann::json::parse(json, nullptr, false);
    if (!feed.is_object()) return std::nullopt;
    const auto version = feed.find("version");
    if (version == feed.end() || !version->is_string() || !parts(version->get<std::string>()))
        return std::nullopt;
    UpdateFeed result{version->get<std::string>(), {}};
    if (const auto url = feed.find("url"); url != feed.end() && url->is_string())
        result.url = url->get<std::string>();
    return result;
}

bool UpdateFeed::isNewer(std::string_view candidate, std::string_view current) {
    const auto a = parts(candidate);
    const auto b = parts(current);
    if (!a) return false;
    if (!b) return true;
    for (std::size_t i = 0; i < std::max(a->size(), b->size()); ++i) {
        const unsigned long x = i < a->size() ? (*a)[i] : 0;
        const unsigned long y = i < b->size() ? (*b)[i] : 0;
        if (x != y) return x > y;
    }
    return false;
}

} // namespace sorvin
