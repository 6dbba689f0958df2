#include "platform/defaults_value.hpp"

namespace sorvin {

std::optional<double> DefaultsValue::number() const {
    if (const auto* i = integer()) return static_cast<double>(*i);
    if (const auto* d = floating()) return *d;
    return std::nullopt;
}

std::optional<std::vector<std::string>> DefaultsValue::textList() const {
    const auto* items = list();
    if (!items) return std::nullopt;
    std::vector<std::string> texts;
    texts.reserve(items->size());
    for (const auto& item : *items) {
        const auto* t = item.text();
        if (!t) return std::nullopt;
        texts.push_back(*t);
    }
    return texts;
}

} // namespace sorvin
