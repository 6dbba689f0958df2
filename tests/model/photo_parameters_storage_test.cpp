#include "model/photo_parameters.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

using P = PhotoParameter;
using T = ParameterEditTarget;
using Target = PhotoParameters::StorageKeyTarget;
const MaskKind circular = MaskKind::circular();
const MaskKind linear = MaskKind::linear();
const MaskKindCatalog& catalog = MaskKindCatalog::current();

std::vector<std::pair<std::string, int>> keysOf(const PhotoParameters& parameters, bool allowsRaw = true) {
    std::vector<std::pair<std::string, int>> keys;
    for (const auto& entry : parameters.storageEntries(allowsRaw))
        keys.emplace_back(entry.key, entry.value);
    return keys;
}

using Keys = std::vector<std::pair<std::string, int>>;

TEST(ParameterStorageTest, WritesGlobalsThenMasksInCatalogueOrder) {
    PhotoParameters parameters({circular});
    parameters.setValue(-10, P::contrast);
    parameters.setValue(25, P::exposure);
    parameters.setValue(40, P::exposure, T::mask(0));
    EXPECT_EQ(
        keysOf(parameters),
        (Keys{{"exposure", 25}, {"contrast", -10}, {"C0.exposure", 40}, {"C0.circular_mask_amount", 10}}));

    const auto entries = parameters.storageEntries(true);
    EXPECT_EQ(entries[2], (PhotoParameters::StorageEntry{"C0.exposure", P::exposure, T::mask(0), 40}));
}

TEST(ParameterStorageTest, EveryMaskLeavesItsAmountKey) {
    EXPECT_EQ(keysOf(PhotoParameters({circular, linear})),
              (Keys{{"C0.circular_mask_amount", 10}, {"L1.linear_mask_amount", 10}}));

    PhotoParameters off({circular});
    off.setValue(0, P::circular_mask_amount, T::mask(0));
    EXPECT_EQ(keysOf(off), (Keys{{"C0.circular_mask_amount", 0}}));
    off.setValue(700, P::circular_mask_center_y, T::mask(0));
    off.setValue(100, P::circular_mask_invert, T::mask(0));
    off.setValue(-20, P::curve_point_rgb_1, T::mask(0)); // clamps to 0
    EXPECT_EQ(keysOf(off), (Keys{{"C0.curve_point_rgb_1", 0},
                                 {"C0.circular_mask_amount", 0},
                                 {"C0.circular_mask_center_y", 700},
                                 {"C0.circular_mask_invert", 100}}));

    PhotoParameters unknown({MaskKind{"spiral"}, linear});
    EXPECT_EQ(keysOf(unknown), (Keys{{"L1.linear_mask_amount", 10}}));
}

TEST(ParameterStorageTest, RawDevelopmentAndShapeValuesInGlobalKeys) {
    PhotoParameters parameters;
    parameters.setValue(20, P::raw_exposure);
    parameters.setValue(10, P::geometry_zoom);
    parameters.setValue(70, P::circular_mask_size);
    EXPECT_EQ(keysOf(parameters, false), (Keys{{"geometry_zoom", 10}}));
    EXPECT_EQ(keysOf(parameters, true), (Keys{{"geometry_zoom", 10}, {"raw_exposure", 20}}));
}

TEST(ParameterStorageTest, WrittenKeysReadBackToTheSameSet) {
    PhotoParameters original({linear, circular, circular});
    original.setValue(-60, P::highlights);
    original.setValue(15, P::raw_temperature);
    original.setValue(-3, P::geometry_aspect);
    original.setValue(45, P::linear_mask_angle, T::mask(0));
    original.setValue(10, P::dehaze, T::mask(0));
    original.setValue(0, P::circular_mask_amount, T::mask(1));
    original.setValue(-100, P::circular_mask_aspect, T::mask(2));
    original.setValue(33, P::curve_point_green_0, T::mask(2));

    PhotoParameters restored(original.maskKinds());
    for (const auto& entry : original.storageEntries(true)) {
        const auto target = PhotoParameters::storageKey(entry.key, original.maskKinds(), catalog, true);
        ASSERT_TRUE(target) << entry.key;
        EXPECT_EQ(*target, (Target{entry.parameter, entry.target})) << entry.key;
        restored.setValue(entry.value, target->parameter, target->target);
    }
    EXPECT_EQ(restored, original);
}

TEST(ParameterStorageTest, CurrentKeysThatResolve) {
    const std::vector<MaskKind> kinds = {linear, circular};
    const std::pair<std::string, Target> rows[] = {
        {"exposure", {P::exposure, T::global()}},
        {"geometry_zoom", {P::geometry_zoom, T::global()}},
        {"raw_exposure", {P::raw_exposure, T::global()}},
        {"C1.exposure", {P::exposure, T::mask(1)}},
        {"C01.circular_mask_size", {P::circular_mask_size, T::mask(1)}},
        {"L0.linear_mask_angle", {P::linear_mask_angle, T::mask(0)}},
        {"L00.curve_point_blue_4", {P::curve_point_blue_4, T::mask(0)}},
    };
    for (const auto& [key, target] : rows) {
        EXPECT_EQ(PhotoParameters::storageKey(key, kinds, catalog, true), target) << key;
    }
    EXPECT_EQ(PhotoParameters::storageKey("C00.exposure", {circular}, catalog, false),
              (Target{P::exposure, T::mask(0)}));
}

TEST(ParameterStorageTest, CurrentKeysThatAreRefused) {
    const std::vector<MaskKind> kinds = {linear, circular};
    const char* refused[] = {
        "C0.exposure",
        "C2.exposure",
        "C+1.exposure",
        "c1.exposure",
        "C1.",
        ".exposure",
        "C.exposure",
        "C1.exposure.x",
        "C 1.exposure",
        "C1 .exposure",
        "C١.exposure",
        "X1.exposure",
        "C1.Exposure",
        "L0.circular_mask_size",
        "C1.linear_mask_width",
        "C1.raw_exposure",
        "C1.geometry_zoom",
        "circular_mask_size",
        "linear_mask_amount",
        "",
        "C99999999999999999999.exposure",
        "C18446744073709551617.exposure",
        "exposure ",
        "Exposure",
    };
    for (const char* key : refused) {
        EXPECT_EQ(PhotoParameters::storageKey(key, kinds, catalog, true), std::nullopt) << key;
    }
    EXPECT_EQ(PhotoParameters::storageKey("raw_exposure", kinds, catalog, false), std::nullopt);
    EXPECT_EQ(PhotoParameters::storageKey("L0.exposure", {}, catalog, true), std::nullopt);
}

TEST(ParameterStorageTest, LegacyKeys) {
    const std::vector<MaskKind> kinds = {linear, circular, circular};
    const std::pair<std::string, std::optional<Target>> rows[] = {
        {"circular_mask_size", Target{P::circular_mask_size, T::mask(1)}},
        {"linear_mask_width", Target{P::linear_mask_width, T::mask(0)}},
        {"C.exposure", Target{P::exposure, T::mask(1)}},
        {"L.exposure", Target{P::exposure, T::mask(0)}},
        {"L.curve_point_red_2", Target{P::curve_point_red_2, T::mask(0)}},
        {"exposure", Target{P::exposure, T::global()}},
        {"geometry_zoom", Target{P::geometry_zoom, T::global()}},
        {"C.circular_mask_size", std::nullopt},
        {"C.raw_exposure", std::nullopt},
        {"C.geometry_zoom", std::nullopt},
        {"C.", std::nullopt},
        {"c.exposure", std::nullopt},
        {"C0.exposure", std::nullopt},
        {"X.exposure", std::nullopt},
        {"no_such_parameter", std::nullopt},
    };
    for (const auto& [key, target] : rows) {
        EXPECT_EQ(PhotoParameters::legacyStorageKey(key, kinds, true, catalog), target) << key;
    }
    EXPECT_EQ(PhotoParameters::legacyStorageKey("raw_exposure", kinds, false, catalog), std::nullopt);
    EXPECT_EQ(PhotoParameters::legacyStorageKey("raw_exposure", kinds, true, catalog),
              (Target{P::raw_exposure, T::global()}));
    EXPECT_EQ(PhotoParameters::legacyStorageKey("circular_mask_size", {linear}, true, catalog), std::nullopt);
    EXPECT_EQ(PhotoParameters::legacyStorageKey("C.exposure", {linear}, true, catalog), std::nullopt);
    EXPECT_EQ(PhotoParameters::legacyStorageKey("circular_mask_size", {MaskKind{"spiral"}, circular}, true,
                                                catalog),
              (Target{P::circular_mask_size, T::mask(1)}));
}

} // namespace
} // namespace sorvin
