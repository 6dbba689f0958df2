#include "export/single_export_accessory_state.hpp"
#include "export/single_export_file_name.hpp"

#include <gtest/gtest.h>
#include <optional>
#include <tuple>

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
        {"photo.", F::jpeg, "photo.jpg"},
        {"", F::heic, ""},
    };
    for (const auto& [name, format, expected] : cases)
        EXPECT_EQ(SingleExportFileName::replacingExportExtension(name, format), expected) << name;
}

// The name written and the format of the data agree: a format's extension decides the format, any
// other name gets the chosen format's extension; a name that is only an extension is refused.
TEST(SingleExportFileNameTest, TheChosenFileAndItsFormatAgree) {
    using C = SingleExportFileName::ChosenFile;
    const std::tuple<const char*, F, std::optional<C>> cases[] = {
        {"/out/photo", F::jpeg, C{"/out/photo.jpg", F::jpeg}},
        {"/out/photo", F::heic, C{"/out/photo.heic", F::heic}},
        {"/out/photo.png", F::jpeg, C{"/out/photo.png.jpg", F::jpeg}},
        {"/out/2024.06.01", F::jpeg, C{"/out/2024.06.01.jpg", F::jpeg}},
        {"/out/photo.", F::heic, C{"/out/photo.heic", F::heic}},
        {"/out/x.heic", F::jpeg, C{"/out/x.heic", F::heic}},
        {"/out/x.HIF", F::jpeg, C{"/out/x.HIF", F::heic}},
        {"/out/x.Jpeg", F::heic, C{"/out/x.Jpeg", F::jpeg}},
        {"/out/.hidden.jpg", F::jpeg, C{"/out/.hidden.jpg", F::jpeg}},
        {"/out/.jpg", F::jpeg, std::nullopt},
        {"/out/.HEIC", F::jpeg, std::nullopt},
        {"/out/", F::jpeg, std::nullopt},
    };
    for (const auto& [file, format, expected] : cases)
        EXPECT_EQ(SingleExportFileName::chosenFile(file, format), expected) << file;
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

// A typed name lies in the folder shown; a path of its own, from the root or from home, does not.
TEST(SingleExportFileNameTest, ATypedPathIsTakenFromTheFolderShownOrAsItStands) {
    const std::filesystem::path shown = "/photos/out", home = "/home/me";
    EXPECT_EQ(SingleExportFileName::typedPath("trip", shown, home), "/photos/out/trip");
    EXPECT_EQ(SingleExportFileName::typedPath("2024/trip/", shown, home), "/photos/out/2024/trip/");
    EXPECT_EQ(SingleExportFileName::typedPath("/media/card/", shown, home), "/media/card/");
    EXPECT_EQ(SingleExportFileName::typedPath("~", shown, home), "/home/me");
    EXPECT_EQ(SingleExportFileName::typedPath("~/Pictures", shown, home), "/home/me/Pictures");
    EXPECT_EQ(SingleExportFileName::typedPath("~trip", shown, home), "/photos/out/~trip");
}

} // namespace
} // namespace sorvin
