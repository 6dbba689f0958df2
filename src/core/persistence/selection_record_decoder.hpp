#pragma once

#include "persistence/selection_json_value.hpp"
#include "persistence/selection_record.hpp"

namespace sorvin::SelectionRecordDecoder {

// The record held by a parsed record file of version 1 or 2. Lenient: a value that is missing,
// of the wrong type or out of range is dropped on its own. Throws only for the defects that make
// the whole file unreadable (std::runtime_error), and SelectionStoreError for another version.
SelectionRecord decode(const SelectionJSONValue::Json& document);

} // namespace sorvin::SelectionRecordDecoder
