#include "library/library_test_support.hpp"
#include "persistence/parameter_preset_command.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

using test::withValue;

TEST(ParameterPresetCommand, ReplacesTheWholeSetOfTheCurrentPhoto) {
    auto library = test::makeLibrary({test::libraryPhoto("a.jpg"), test::libraryPhoto("b.jpg", 1)});
    PhotoParameters masked({MaskKind::linear()});
    masked.setValue(40, PhotoParameter::contrast);
    library->setCurrentParameters(masked);

    const ParameterPreset preset{"明るく", withValue(PhotoParameter::exposure, 30), true};
    const auto applied = ParameterPresetCommand::apply(preset, *library);
    ASSERT_TRUE(applied);
    EXPECT_TRUE(applied->adjustment.changed);
    EXPECT_EQ(applied->toast, (ParameterPresetToast{"プリセット「明るく」を適用しました", 1.5}));
    EXPECT_EQ(library->currentParameters(), preset.parameters); // the mask and contrast are gone

    const auto again = ParameterPresetCommand::apply(preset, *library);
    EXPECT_FALSE(again->adjustment.changed);
    EXPECT_EQ(again->toast.text, "プリセット「明るく」を適用しました");
}

TEST(ParameterPresetCommand, APresetThatAppliesNothingOnlyReports) {
    auto library = test::makeLibrary({test::libraryPhoto("a.jpg")});
    library->setCurrentParameters(withValue(PhotoParameter::exposure, 10));
    const ParameterPreset obsolete{"old", PhotoParameters::zero(), false};
    const auto applied = ParameterPresetCommand::apply(obsolete, *library);
    ASSERT_TRUE(applied);
    EXPECT_FALSE(applied->adjustment.changed);
    EXPECT_EQ(library->currentParameters(), withValue(PhotoParameter::exposure, 10));
}

TEST(ParameterPresetCommand, NothingWithoutACurrentPhoto) {
    auto library = test::makeLibrary({});
    EXPECT_EQ(ParameterPresetCommand::apply({"p", PhotoParameters::zero(), true}, *library), std::nullopt);
}

} // namespace
} // namespace sorvin
