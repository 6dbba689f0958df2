#include "export/exporter_retouch.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

Photo named(const std::string& path) {
    Photo photo;
    photo.url = "/Photos/" + path;
    photo.relativePath = path;
    return photo;
}

TEST(ExporterRetouchTest, ItemsFollowTheSelectionAndTheCopiesB) {
    using S = RetouchSlot;
    const Photo plain = named("a.jpg");
    const Photo withB = named("b.jpg");
    const Exporter::RetouchStates copies{{"b.jpg", RetouchState{}}};
    struct Case {
        const char* what;
        std::optional<Exporter::SelectedSlots> selection;
        std::vector<ExportItem> expected;
    };
    const Case cases[] = {
        {"no selection", std::nullopt, {{plain, S::a, true}, {withB, S::a, true}, {withB, S::b, false}}},
        {"b alone", Exporter::SelectedSlots{{"b.jpg", {S::b}}}, {{withB, S::b, true}}},
        {"b of a photo without copy", Exporter::SelectedSlots{{"a.jpg", {S::b}}}, {}},
        {"empty set", Exporter::SelectedSlots{{"a.jpg", {}}}, {}},
        {"both",
         Exporter::SelectedSlots{{"a.jpg", {S::a}}, {"b.jpg", {S::a, S::b}}},
         {{plain, S::a, true}, {withB, S::a, true}, {withB, S::b, false}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Exporter::retouchExportItems({plain, withB}, copies, c.selection), c.expected) << c.what;
    EXPECT_TRUE(Exporter::retouchExportItems({}, copies, std::nullopt).empty());
}

} // namespace
} // namespace sorvin
