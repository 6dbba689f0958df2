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
// Every record handed in and given back is normalized.
namespace SelectionRecordPhotos {

std::set<std::string> paths(const SelectionRecord& record);
SelectionPhotoValues of(const SelectionRecord& record, const std::string& path);
void set(SelectionRecord& record, const std::string& path, const SelectionPhotoValues& values);

// The photos whose values differ between the two records.
std::set<std::string> differing(const SelectionRecord& a, const SelectionRecord& b);

// What goes on disk when this copy's record `mine` meets the record found there: the photos this
// copy changed since `before` (what it last wrote, or read) take its values, every other photo
// keeps the values on disk, and the cursor and time are this copy's.
SelectionRecord combined(const SelectionRecord& onDisk, const SelectionRecord& mine,
                         const SelectionRecord& before);

// The record with the photos of `newer` given newer's values (for the photos it lists).
SelectionRecord overlaid(SelectionRecord record, const SelectionRecord& newer,
                         const std::set<std::string>& newerPaths);

} // namespace SelectionRecordPhotos

} // namespace sorvin
