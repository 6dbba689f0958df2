#pragma once

#include "persistence/selection_save_values.hpp"

#include <string>
#include <unordered_map>
#include <unordered_set>

namespace sorvin::test {

// What a save takes, from tables in the shape a record is read in (a SelectionRecord or a
// SelectionLoadResult). The brightness is not taken: a save derives it from the exposure.
template <typename Record>
SelectionSaveValues saveValuesOf(const Record& record) {
    const auto shared = [](const auto& table) {
        using Value = typename std::decay_t<decltype(table)>::mapped_type;
        return SharedPathMap<Value>(std::unordered_map<std::string, Value>(table.begin(), table.end()));
    };
    return {record.cursor,
            SharedPathSet(std::unordered_set<std::string>(record.hearts.begin(), record.hearts.end())),
            shared(record.rotations),
            shared(record.crops),
            shared(record.params),
            shared(record.paramsRaw),
            shared(record.sources),
            shared(record.retouchesB)};
}

} // namespace sorvin::test
