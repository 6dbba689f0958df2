#pragma once

#include "persistence/selection_json_value.hpp"

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
// its stamp while it is in the folder, so that the change is not undone by an older record that
// still holds them.
using SelectionStamps = std::map<std::string, SelectionStamp>;

namespace SelectionStamping {

// No copy counts this far: a counter at or above it was damaged, and is read as none, so that a
// stamp near the end of the range never wraps a copy's counter round to zero or outranks every
// later change.
inline constexpr std::uint64_t kCounterLimit = std::uint64_t{1} << 62;

// The "stamps" member of a record's document ({"path": [counter, "writer"]}); entries of another
// shape, and damaged counters, are left out, as a photo never stamped.
SelectionStamps read(const SelectionJSONValue::Json& document);
// Whether the document has the member at all: written by a version that stamps its changes.
bool noted(const SelectionJSONValue::Json& document);

// The member's value as text, one photo a line at the given indent, in path order.
std::string text(const SelectionStamps& stamps, int indent);

// The highest counter among the stamps.
std::uint64_t latest(const SelectionStamps& stamps);
// The counter after this one; it stays below kCounterLimit.
std::uint64_t after(std::uint64_t counter);

} // namespace SelectionStamping

} // namespace sorvin
