#pragma once

#include "model/manual_crop.hpp"
#include "model/mask_kind.hpp"
#include "model/photo_parameters.hpp"
#include "persistence/selection_json_value.hpp"

#include <map>
#include <optional>
#include <string>
#include <vector>

// Rules both record versions read values with.
namespace sorvin::SelectionRecordReading {

using Json = SelectionJSONValue::Json;

// A photo's relative path as read from a file, in NFC like the keys the folder scan builds, so
// a record written where names were decomposed still finds its photos.
std::string photoPath(std::string_view stored);

// The members every version requires: "app" and "updatedAt" as strings, "cursor" a string, null
// or missing. Throws std::runtime_error otherwise, which makes the whole record unreadable.
struct Header {
    std::string app;
    std::string updatedAt;
    std::optional<std::string> cursor;
};
Header header(const Json& document);

// A crop object: a valid aspect text, size 10...100, x and y 0...10000. None for anything else
// and for the whole image, which is never stored.
std::optional<ManualCrop> crop(const Json* value);

// The members of an object that read as numbers, by key; empty when the value is no object.
std::map<std::string, double> numberMembers(const Json* value);

// The lowest value a record may hold for the parameter: a negative mask amount stands for an
// inverted mask, so amounts go down to -100.
int lowestStoredValue(PhotoParameter parameter);

struct ParameterEntry {
    PhotoParameter parameter;
    ParameterEditTarget target;
    int value;
};

// A parameter set with masks of the given kinds holding the entries. A mask without a stored
// amount gets amount 0; a negative amount becomes its magnitude with the mask inverted, unless
// the entries store that mask's invert value themselves.
PhotoParameters applied(const std::vector<MaskKind>& kinds, const std::vector<ParameterEntry>& entries);

} // namespace sorvin::SelectionRecordReading
