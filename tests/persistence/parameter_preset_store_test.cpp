#include "model/mask_kind_catalog.hpp"
#include "persistence/parameter_preset_store.hpp"
#include "persistence/preference_key.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace sorvin {
namespace {

using P = PhotoParameter;

PhotoParameters withExposure(int value) {
    PhotoParameters parameters;
    parameters.setValue(value, P::exposure);
    return parameters;
}

class PresetStoreTest : public ::testing::Test {
protected:
    void storeText(const std::string& text) { defaults.set(PreferenceKey::presets, text); }
    std::vector<ParameterPreset> loadText(const std::string& text) {
        storeText(text);
        return store.load().presets;
    }
    // A document of the current layout holding the given preset elements.
    static std::string document(const std::string& elements,
                                const std::string& head = "\"maskScale\": 1000, ") {
        return "{" + head + "\"version\": 1, \"presets\": [" + elements + "]}";
    }

    DefaultsStore defaults;
    ParameterPresetStore store{defaults};
};

TEST_F(PresetStoreTest, WritesTheTextByteForByte) {
    PhotoParameters masked({MaskKind::circular()});
    masked.setValue(12, P::exposure);
    masked.setValue(-30, P::exposure, ParameterEditTarget::mask(0));
    masked.setValue(5, P::raw_exposure);
    const std::vector<ParameterPreset> presets = {
        {"夕景", masked, true},
        {"a/b \"q\"", PhotoParameters::zero(), true},
    };
    EXPECT_EQ(ParameterPresetStore::jsonString(presets),
              "{\n  \"maskScale\": 1000,\n  \"version\": 1,\n  \"presets\": [\n"
              "    { \"name\": \"夕景\", \"parameters\": { \"exposure\": 12, \"raw_exposure\": 5, "
              "\"C0.exposure\": -30, \"C0.circular_mask_amount\": 10 } },\n"
              "    { \"name\": \"a\\/b \\\"q\\\"\", \"parameters\": {  } }\n"
              "  ]\n}");
    EXPECT_EQ(ParameterPresetStore::jsonString({}),
              "{\n  \"maskScale\": 1000,\n  \"version\": 1,\n  \"presets\": [\n\n  ]\n}");
}

TEST_F(PresetStoreTest, SavedPresetsLoadBackUnchanged) {
    PhotoParameters masked({MaskKind::linear(), MaskKind::circular()});
    masked.setValue(-40, P::contrast);
    masked.setValue(70, P::circular_mask_center_x, ParameterEditTarget::mask(1));
    masked.setValue(25, P::exposure, ParameterEditTarget::mask(0));
    masked.setValue(60, P::raw_exposure);
    const std::vector<ParameterPreset> presets = {{"one", masked, true},
                                                  {"two", PhotoParameters::zero(), true}};
    store.save(presets);
    EXPECT_EQ(store.load().presets, presets);
    EXPECT_EQ(defaults.object(ParameterPresetStore::backupKey), std::nullopt);
}

TEST_F(PresetStoreTest, TextsItCannotReadGiveNoPresets) {
    const char* texts[] = {
        "not json",
        "[]",
        R"({"version": 2, "presets": [{"name": "a"}]})",
        R"({"version": 1.0, "presets": [{"name": "a"}]})",
        R"({"version": true, "presets": [{"name": "a"}]})",
        R"({"version": "1", "presets": [{"name": "a"}]})",
        R"({"presets": [{"name": "a"}]})",
        R"({"version": 1, "presets": {"name": "a"}})",
    };
    for (const char* text : texts)
        EXPECT_TRUE(loadText(text).empty()) << text;
    EXPECT_TRUE(store.load().presets.empty());
    defaults.remove(PreferenceKey::presets);
    EXPECT_TRUE(store.load().presets.empty());
    defaults.set(PreferenceKey::presets, 5);
    EXPECT_TRUE(store.load().presets.empty());
}

TEST_F(PresetStoreTest, OlderLayoutScalesCircularCentresAndReadsKindKeyedMasks) {
    const std::string element =
        R"({"name": "m", "parameters": {"C.circular_mask_center_x": 50, "C.exposure": 20, "circular_mask_size": 40}})";
    const auto old = loadText(document(element, ""));
    ASSERT_EQ(old.size(), 1u);
    const auto& parameters = old[0].parameters;
    ASSERT_EQ(parameters.maskKinds(), std::vector<MaskKind>{MaskKind::circular()});
    EXPECT_EQ(parameters.value(P::circular_mask_center_x, ParameterEditTarget::mask(0)), 500);
    EXPECT_EQ(parameters.value(P::exposure, ParameterEditTarget::mask(0)), 20);
    EXPECT_EQ(parameters.value(P::circular_mask_size, ParameterEditTarget::mask(0)), 40);

    const auto current =
        loadText(document(R"({"name": "m", "parameters": {"C0.circular_mask_center_x": 50}})"));
    EXPECT_EQ(current[0].parameters.value(P::circular_mask_center_x, ParameterEditTarget::mask(0)), 50);
    // A mask scale written as 1000.0 is not the current layout.
    const auto floating = loadText(document(
        R"({"name": "m", "parameters": {"C0.circular_mask_center_x": 50}})", R"("maskScale": 1000.0, )"));
    EXPECT_EQ(floating[0].parameters.value(P::circular_mask_center_x, ParameterEditTarget::mask(0)), 500);
    // Out of range after scaling: dropped.
    const auto tooFar =
        loadText(document(R"({"name": "m", "parameters": {"C.circular_mask_center_y": 100.1}})", ""));
    EXPECT_EQ(tooFar[0].parameters.value(P::circular_mask_center_y, ParameterEditTarget::mask(0)), 500);
}

TEST_F(PresetStoreTest, IndexedMaskKeysMustRunWithoutAGap) {
    const auto loaded = loadText(
        document(R"({"name": "ok", "parameters": {"L1.exposure": 10, "C0.exposure": 20}},)"
                 R"({"name": "gap", "parameters": {"C0.exposure": 20, "L2.exposure": 10, "exposure": 5}})"));
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].parameters.maskKinds(),
              (std::vector<MaskKind>{MaskKind::circular(), MaskKind::linear()}));
    EXPECT_EQ(loaded[0].parameters.value(P::exposure, ParameterEditTarget::mask(1)), 10);
    EXPECT_TRUE(loaded[1].parameters.masks.empty());
    EXPECT_EQ(loaded[1].parameters[P::exposure], 5);
}

TEST_F(PresetStoreTest, BadValuesAreDroppedOneByOne) {
    const auto loaded = loadText(document(
        R"({"name": "v", "parameters": {"exposure": 150, "contrast": 12.4, "highlights": -12.5,)"
        R"( "shadows": true, "vibrance": "12", "tint": null, "unknown_key": 3, "saturation": -7}})"));
    ASSERT_EQ(loaded.size(), 1u);
    PhotoParameters expected;
    expected.setValue(12, P::contrast);
    expected.setValue(-13, P::highlights);
    expected.setValue(-7, P::saturation);
    EXPECT_EQ(loaded[0].parameters, expected);
    EXPECT_TRUE(loaded[0].appliesParameters);
}

TEST_F(PresetStoreTest, NamesAreNormalisedAndTheFirstOfANameWins) {
    std::string elements =
        R"({"name": "  Warm  ", "parameters": {"exposure": 1}}, {"name": "Warm", "parameters": {"exposure": 2}},)"
        R"( {"name": "   "}, {"name": 5}, "text", {"parameters": {}}, {"name": "Line\nBreak"})";
    const auto loaded = loadText(document(elements));
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0], (ParameterPreset{"Warm", withExposure(1), true}));
    EXPECT_EQ(loaded[1], (ParameterPreset{"Line Break", PhotoParameters::zero(), true}));
}

TEST_F(PresetStoreTest, OnlyTheFirstTwentyElementsAreRead) {
    std::string elements;
    for (int i = 0; i < 20; ++i)
        elements += R"({"name": "same"},)";
    elements += R"({"name": "twenty-first"})";
    const auto loaded = loadText(document(elements));
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].name, "same");
}

TEST_F(PresetStoreTest, PresetsOfObsoleteKeysOnlyApplyNothingAndAreDroppedOnSave) {
    const auto loaded =
        loadText(document(R"({"name": "old", "parameters": {"cRd": 10}},)"
                          R"({"name": "empty", "parameters": {}},)"
                          R"({"name": "mixed", "parameters": {"cRd": 10, "exposure": 999}})"));
    ASSERT_EQ(loaded.size(), 3u);
    EXPECT_FALSE(loaded[0].appliesParameters);
    EXPECT_TRUE(loaded[1].appliesParameters);
    EXPECT_EQ(loaded[1].parameters, PhotoParameters::zero());
    EXPECT_TRUE(loaded[2].appliesParameters); // "exposure" resolves, even with its value refused

    store.save(loaded);
    const auto reloaded = store.load().presets;
    ASSERT_EQ(reloaded.size(), 2u);
    EXPECT_EQ(reloaded[0].name, "empty");
    EXPECT_EQ(reloaded[1].name, "mixed");
}

TEST_F(PresetStoreTest, SavingKeepsTheFirstTwentyThatApply) {
    std::vector<ParameterPreset> presets = {{"skipped", PhotoParameters::zero(), false}};
    for (int i = 0; i < 25; ++i)
        presets.push_back({fmt::format("p{}", i), withExposure(i), true});
    store.save(presets);
    const auto loaded = store.load().presets;
    ASSERT_EQ(loaded.size(), 20u);
    EXPECT_EQ(loaded.front().name, "p0");
    EXPECT_EQ(loaded.back().name, "p19");
}

TEST_F(PresetStoreTest, AnUnreadableTextIsKeptAsABackupBeforeItIsReplaced) {
    const std::string newer = R"({"version": 2, "presets": [{"name": "from a newer version"}]})";
    storeText(newer);
    store.save({{"mine", withExposure(3), true}});
    EXPECT_EQ(defaults.string(ParameterPresetStore::backupKey), newer);
    EXPECT_EQ(store.load().presets.size(), 1u);

    // Once our own readable text is stored, later saves leave the backup alone.
    store.save({});
    EXPECT_EQ(defaults.string(ParameterPresetStore::backupKey), newer);

    DefaultsStore fresh;
    ParameterPresetStore freshStore(fresh);
    freshStore.save({});
    EXPECT_EQ(fresh.object(ParameterPresetStore::backupKey), std::nullopt);
}

} // namespace
} // namespace sorvin
