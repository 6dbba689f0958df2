#include "app/app_state_fixture.hpp"

#include <gtest/gtest.h>

namespace sorvin::test {
namespace {

using PresetOrderTest = AppStateTest;

// The organiser moves presets through the application state, which republishes the list.
TEST_F(PresetOrderTest, MovingAPresetRepublishesTheList) {
    addStandardPhotos();
    openPhotos();
    for (const char* name : {"one", "two", "three"}) {
        state().presentPresetSave();
        ASSERT_TRUE(state().isPresetSavePresented());
        state().savePreset(name);
    }
    ASSERT_EQ(state().presets().size(), 3u);
    int published = 0;
    auto connection = state().changed.connect([&](AppStateProperty property) {
        if (property == AppStateProperty::presets) ++published;
    });
    EXPECT_EQ(state().movePreset(0, ParameterPresetMoveDirection::down), 1);
    EXPECT_EQ(state().presets()[1].name, "one");
    EXPECT_EQ(state().presetManager().presets()[1].name, "one");
    EXPECT_EQ(published, 1);
    EXPECT_FALSE(state().movePreset(0, ParameterPresetMoveDirection::up));
    EXPECT_FALSE(state().movePreset(3, ParameterPresetMoveDirection::up));
    EXPECT_EQ(published, 1);
}

} // namespace
} // namespace sorvin::test
