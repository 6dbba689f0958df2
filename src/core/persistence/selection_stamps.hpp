#pragma once

#include "persistence/selection_json_value.hpp"
#include "persistence/selection_record.hpp"

#include <compare>
#include <cstdint>
#include <map>
#include <string>

namespace sorvin {

// When a photo's values were last changed, as copies of the program that write one record without
// a shared lock order their changes: a counter each copy keeps above every one it has seen (so a
// change made after another was seen is later than it) and the copy's own mark, which orders two
// changes made at once. No clock is read: two computers' clocks do not order two saves.
struct SelectionStamp {
    std::uint64_t counter = 0;
    std::string writer;

    auto operator<=>(const SelectionStamp&) const = default;
};

// The stamps of a record's photos, by path. A photo whose values went back to the defaults keeps
// its stamp, so that the change is not undone by an older record that still holds them.
using SelectionStamps = std::map<std::string, SelectionStamp>;

namespace SelectionStamping {

// The "stamps" member of a record's document ({"path": [counter, "writer"]}); entries of another
// shape are left out, as a photo never stamped.
SelectionStamps read(const SelectionJSONValue::Json& document);
nlohmann::ordered_json json(const SelectionStamps& stamps);

// The highest counter among the stamps.
std::uint64_t latest(const SelectionStamps& stamps);

// Photo by photo, the values of whichever side changed the photo later go into `record`; a photo
// that neither stamped takes the values of `found` (the record on disk).
void merge(SelectionRecord& record, SelectionStamps& stamps, const SelectionRecord& found,
           const SelectionStamps& foundStamps);

// Whether `there` holds everything `known` does: every value either the same or changed later
// there, and every change as late.
bool covers(const SelectionRecord& there, const SelectionStamps& thereStamps, const SelectionRecord& known,
            const SelectionStamps& knownStamps);

} // namespace SelectionStamping

} // namespace sorvin
