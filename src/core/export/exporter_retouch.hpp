#pragma once

#include "library/photo_library_view_cache.hpp"
#include "model/photo.hpp"
#include "model/retouch_slot.hpp"
#include "model/retouch_state.hpp"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sorvin {

// One output unit of a batch export: a photo's own development (a) or its copy B (b).
struct ExportItem {
    Photo photo;
    RetouchSlot slot = RetouchSlot::a;
    bool copiesOriginals = false; // the first item of its photo carries the originals

    bool operator==(const ExportItem&) const = default;
};

namespace Exporter {

using RetouchStates = PathMap<RetouchState>;
using SelectedSlots = std::map<std::string, std::set<RetouchSlot>>;

// The items of the photos in order: a then b for each photo. Without a selection every photo gives
// a, and b when it has a copy B; with one, a photo gives the chosen slots (b only when it has a
// copy B) and nothing when it is not chosen.
std::vector<ExportItem> retouchExportItems(const std::vector<Photo>& photos, const RetouchStates& retouchesB,
                                           const std::optional<SelectedSlots>& selectedSlots);

} // namespace Exporter

} // namespace sorvin
