#include "export/single_export_accessory_state.hpp"
#include "export/single_export_file_name.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

using F = SingleExportFormat;

TEST(SingleExportFileNameTest, InitialNameCarriesTheCopyAndTheFormat) {
    Photo photo;
    photo.url = "/Photos/IMG_0001.CR3";
    EXPECT_EQ(SingleExportFileName::initialName(photo, F::jpeg, RetouchSlot::b), "IMG_0001-B.jpg");
    EXPECT_EQ(SingleExportFileName::initialName(photo, F::heic, RetouchSlot::a), "IMG_0001.heic");
}

TEST(SingleExportFileNameTest, ReplacingTheExtension) {
    const std::tuple<const char*, F, const char*> cases[] = {
        {"photo.JPEG", F::heic, "photo.heic"},
        {"photo.tiff", F::jpeg, "photo.tiff.jpg"},
        {"photo.jpg", F::jpeg, "photo.jpg"},
        {"photo.HIF", F::jpeg, "photo.jpg"},
        {"photo.heif", F::jpeg, "photo.jpg"},
        {"photo", F::heic, "photo.heic"},
        {".jpg", F::heic, ".heic"},
    };
    for (const auto& [name, format, expected] : cases)
        EXPECT_EQ(SingleExportFileName::replacingExportExtension(name, format), expected) << name;
}

TEST(SingleExportFileNameTest, AppendingAnExtensionOnlyWhenThereIsNone) {
    EXPECT_EQ(SingleExportFileName::appendingExtensionIfNeeded("/out/photo", F::jpeg), "/out/photo.jpg");
    EXPECT_EQ(SingleExportFileName::appendingExtensionIfNeeded("/out/photo.png", F::jpeg), "/out/photo.png");
    EXPECT_EQ(SingleExportFileName::appendingExtensionIfNeeded("/out/photo", F::heic), "/out/photo.heic");
}

TEST(SingleExportFormatTest, RawValues) {
    EXPECT_EQ(singleExportFormatFromRawValue("heic"), F::heic);
    EXPECT_EQ(singleExportFormatFromRawValue("heif"), std::nullopt);
    EXPECT_EQ(SingleExportFileName::fileExtension(F::jpeg), "jpg");
}

TEST(SingleExportAccessoryStateTest, EveryClickIsReportedAfterTheChoiceChanged) {
    SingleExportAccessoryState state(F::heic);
    EXPECT_TRUE(state.isSelected(F::heic));
    EXPECT_FALSE(state.isSelected(F::jpeg));
    std::vector<std::pair<F, F>> reported; // what was reported, and the state's format at that moment
    state.onFormatChanged = [&](F format) { reported.emplace_back(format, state.format()); };
    state.select(F::heic);
    state.select(F::jpeg);
    EXPECT_EQ(reported, (std::vector<std::pair<F, F>>{{F::heic, F::heic}, {F::jpeg, F::jpeg}}));
    state.onFormatChanged = nullptr;
    state.select(F::heic);
    EXPECT_EQ(state.format(), F::heic);
}

} // namespace
} // namespace sorvin
