#include "export/exporter_retouch.hpp"

namespace sorvin::Exporter {

std::vector<ExportItem> retouchExportItems(const std::vector<Photo>& photos, const RetouchStates& retouchesB,
                                           const std::optional<SelectedSlots>& selectedSlots) {
    std::vector<ExportItem> items;
    for (const auto& photo : photos) {
        const bool hasCopyB = retouchesB.contains(photo.relativePath);
        bool takesA = true;
        bool takesB = hasCopyB;
        if (selectedSlots) {
            const auto found = selectedSlots->find(photo.relativePath);
            const bool chosenA = found != selectedSlots->end() && found->second.contains(RetouchSlot::a);
            const bool chosenB = found != selectedSlots->end() && found->second.contains(RetouchSlot::b);
            takesA = chosenA;
            takesB = chosenB && hasCopyB;
        }
        if (takesA) items.push_back({photo, RetouchSlot::a, true});
        if (takesB) items.push_back({photo, RetouchSlot::b, !takesA});
    }
    return items;
}

} // namespace sorvin::Exporter
