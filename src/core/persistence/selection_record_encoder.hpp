#pragma once

#include "persistence/selection_record.hpp"

#include <string>

namespace sorvin::SelectionRecordEncoder {

// The record as the version-2 text of its file, byte for byte the same for the same record:
// photos in code point order of their paths, each photo's fields in a fixed order, and only
// what differs from the defaults. The record's version, scales and brightness are not written.
// Throws std::system_error (illegal byte sequence) when a text of the record is not UTF-8;
// nothing is returned then.
std::string encode(const SelectionRecord& record);

} // namespace sorvin::SelectionRecordEncoder
