#include "persistence/selection_stamps.hpp"

#include "persistence/selection_record_photos.hpp"

#include <algorithm>

namespace sorvin::SelectionStamping {

SelectionStamps read(const SelectionJSONValue::Json& document) {
    SelectionStamps stamps;
    const auto* object = SelectionJSONValue::object(SelectionJSONValue::member(document, "stamps"));
    if (!object) return stamps;
    for (const auto& [path, value] : object->items()) {
        if (!value.is_array() || value.size() != 2 || !value[0].is_number_unsigned() || !value[1].is_string())
            continue;
        stamps[path] = {value[0].get<std::uint64_t>(), value[1].get<std::string>()};
    }
    return stamps;
}

nlohmann::ordered_json json(const SelectionStamps& stamps) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const auto& [path, stamp] : stamps)
        object[path] = {stamp.counter, stamp.writer};
    return object;
}

std::uint64_t latest(const SelectionStamps& stamps) {
    std::uint64_t counter = 0;
    for (const auto& entry : stamps)
        counter = std::max(counter, entry.second.counter);
    return counter;
}

namespace {

SelectionStamp stampOf(const SelectionStamps& stamps, const std::string& path) {
    const auto found = stamps.find(path);
    return found == stamps.end() ? SelectionStamp{} : found->second;
}

} // namespace

void merge(SelectionRecord& record, SelectionStamps& stamps, const SelectionRecord& found,
           const SelectionStamps& foundStamps) {
    std::set<std::string> paths = SelectionRecordPhotos::differing(record, found);
    for (const auto& entry : foundStamps)
        paths.insert(entry.first);
    for (const std::string& path : paths) {
        const SelectionStamp theirs = stampOf(foundStamps, path);
        if (stampOf(stamps, path) > theirs) continue;
        SelectionRecordPhotos::set(record, path, SelectionRecordPhotos::of(found, path));
        if (theirs != SelectionStamp{}) stamps[path] = theirs;
    }
}

bool covers(const SelectionRecord& there, const SelectionStamps& thereStamps, const SelectionRecord& known,
            const SelectionStamps& knownStamps) {
    for (const auto& [path, stamp] : knownStamps)
        if (stampOf(thereStamps, path) < stamp) return false;
    for (const std::string& path : SelectionRecordPhotos::differing(there, known))
        if (!(stampOf(thereStamps, path) > stampOf(knownStamps, path))) return false;
    return true;
}

} // namespace sorvin::SelectionStamping
