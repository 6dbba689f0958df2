#pragma once

#include "persistence/selection_json_value.hpp"
#include "persistence/selection_record.hpp"

#include <optional>

// The older record layout: one top-level map per kind of data, development values on older
// scales and mask values under older keys, no copies B. Read, never written; the next save
// writes the folder's record in the current layout.
namespace sorvin::SelectionRecordVersion1 {

// Throws std::runtime_error when "app", "updatedAt" or "hearts" is missing or of the wrong type,
// or "cursor" is neither a string nor null.
SelectionRecord decode(const SelectionJSONValue::Json& document);

// An old value brought to the current scale of its parameter: old-scale values are stretched
// and clamped, current-scale values only rounded and dropped when out of range.
std::optional<int> migratedValue(double value, PhotoParameter parameter, bool currentParameterScale,
                                 bool currentMaskScale);

} // namespace sorvin::SelectionRecordVersion1
