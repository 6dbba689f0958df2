#include "persistence/selection_stamps.hpp"

#include "platform/json_text.hpp"

#include <algorithm>

namespace sorvin::SelectionStamping {

SelectionStamps read(const SelectionJSONValue::Json& document) {
    SelectionStamps stamps;
    const auto* object = SelectionJSONValue::object(SelectionJSONValue::member(document, "stamps"));
    if (!object) return stamps;
    // The parsed object is in path order already: each entry goes at the end.
    for (const auto& [path, value] : object->items()) {
        if (!value.is_array() || value.size() != 2 || !value[0].is_number_unsigned() || !value[1].is_string())
            continue;
        const auto counter = value[0].get<std::uint64_t>();
        if (counter >= kCounterLimit) continue;
        stamps.emplace_hint(stamps.end(), path, SelectionStamp{counter, value[1].get<std::string>()});
    }
    return stamps;
}

bool noted(const SelectionJSONValue::Json& document) {
    return SelectionJSONValue::object(SelectionJSONValue::member(document, "stamps")) != nullptr;
}

std::string text(const SelectionStamps& stamps, int indent) {
    const std::string inner(static_cast<std::size_t>(indent) + 2, ' ');
    std::string out = "{";
    bool first = true;
    for (const auto& [path, stamp] : stamps) {
        out += first ? "\n" : ",\n";
        first = false;
        out += inner;
        JsonText::appendQuoted(out, path);
        out += ": [";
        out += std::to_string(stamp.counter);
        out += ", ";
        JsonText::appendQuoted(out, stamp.writer);
        out += ']';
    }
    if (!first) out += "\n" + std::string(static_cast<std::size_t>(indent), ' ');
    out += '}';
    return out;
}

std::uint64_t latest(const SelectionStamps& stamps) {
    std::uint64_t counter = 0;
    for (const auto& entry : stamps)
        counter = std::max(counter, entry.second.counter);
    return counter;
}

std::uint64_t after(std::uint64_t counter) {
    return counter + 1 >= kCounterLimit ? kCounterLimit - 1 : counter + 1;
}

} // namespace sorvin::SelectionStamping
