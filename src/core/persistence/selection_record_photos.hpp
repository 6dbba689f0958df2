#pragma once

#include "persistence/selection_record.hpp"

#include <optional>
#include <set>
#include <string>

namespace sorvin {

// Everything a record holds of one photo; absent members are the defaults.
struct SelectionPhotoValues {
    bool heart = false;
    std::optional<double> rotation;
    std::optional<ManualCrop> crop;
    std::optional<std::vector<MaskKind>> masks;
    std::optional<PhotoParameters> params;
    std::optional<PhotoParameters> paramsRaw;
    std::optional<PhotoSource> source;
    std::optional<RetouchState> retouchB;

    bool operator==(const SelectionPhotoValues&) const = default;
};

// Records compared and combined photo by photo, as two copies of the program that wrote one
// folder's record are: each photo's values are one whole, taken from one side or the other.
// Every record handed in and given back is normalized. Each walk is linear in the photos.
namespace SelectionRecordPhotos {

std::set<std::string> paths(const SelectionRecord& record);
// Whether the record holds any value of the photo.
bool holds(const SelectionRecord& record, const std::string& path);
SelectionPhotoValues of(const SelectionRecord& record, const std::string& path);
void set(SelectionRecord& record, const std::string& path, const SelectionPhotoValues& values);
// The photos named take the values `from` holds of them.
void setAll(SelectionRecord& record, const std::set<std::string>& paths, const SelectionRecord& from);

// The photos whose values differ between the two records.
std::set<std::string> differing(const SelectionRecord& a, const SelectionRecord& b);

} // namespace SelectionRecordPhotos

} // namespace sorvin
