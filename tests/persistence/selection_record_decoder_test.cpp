#include "persistence/selection_record_decoder.hpp"
#include "persistence/selection_record_encoder.hpp"
#include "persistence/selection_store_error.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

using Json = SelectionJSONValue::Json;

const MaskKind kCircular = MaskKindCatalog::current().definitions[0].kind;
const MaskKind kLinear = MaskKindCatalog::current().definitions[1].kind;
const auto kGlobal = ParameterEditTarget::global();

SelectionRecord decodeText(const std::string& text) {
    return SelectionRecordDecoder::decode(Json::parse(text));
}

std::string withPhotos(const std::string& photos) {
    return R"({"version": 2, "app": "Sorvin", "updatedAt": "t", "photos": )" + photos + "}";
}

// The record of a file whose only photo, "a.jpg", has the given members.
SelectionRecord onePhoto(const std::string& members) {
    return decodeText(withPhotos("{\"a.jpg\": {" + members + "}}"));
}

int maskValue(const PhotoParameters& parameters, std::size_t mask, PhotoParameter parameter) {
    return parameters.masks.at(mask).value(parameter, MaskKindCatalog::current());
}

TEST(SelectionRecordDecoder, OnlyTopLevelDefectsMakeTheRecordUnreadable) {
    const char* unreadable[] = {
        R"({"app": "Sorvin", "updatedAt": "t"})",
        R"({"version": 2, "updatedAt": "t"})",
        R"({"version": 2, "app": 5, "updatedAt": "t"})",
        R"({"version": 2, "app": "Sorvin"})",
        R"({"version": 2, "app": "Sorvin", "updatedAt": "t", "cursor": 5})",
        R"({"version": 1, "app": "Sorvin", "updatedAt": "t"})",
        R"({"version": 1, "app": "Sorvin", "updatedAt": "t", "hearts": ["a", 1]})",
    };
    for (const char* text : unreadable)
        EXPECT_ANY_THROW(decodeText(text)) << text;
    EXPECT_THROW(decodeText(R"({"version": 3, "app": "Sorvin", "updatedAt": "t"})"), SelectionStoreError);

    const char* readable[] = {
        R"({"version": 2, "app": "Sorvin", "updatedAt": "t"})",
        R"({"version": 2, "app": "Sorvin", "updatedAt": "t", "cursor": null, "photos": []})",
        R"({"version": 2, "app": "Sorvin", "updatedAt": "t", "photos": {"a.jpg": 5, "b.jpg": "x"}})",
    };
    for (const char* text : readable) {
        const SelectionRecord record = decodeText(text);
        EXPECT_EQ(record.cursor, std::nullopt) << text;
        EXPECT_TRUE(record.hearts.empty() && record.params.empty() && record.retouchesB.empty()) << text;
    }
    EXPECT_EQ(decodeText(R"({"version": 2, "app": "X", "updatedAt": "t", "cursor": "a/b.jpg"})").cursor,
              "a/b.jpg");
}

TEST(SelectionRecordDecoder, HeartsAndSourcesAcceptOnlyTheirExactValues) {
    EXPECT_EQ(onePhoto(R"("heart": true, "source": "raw")").hearts, std::vector<std::string>{"a.jpg"});
    EXPECT_EQ(onePhoto(R"("source": "raw")").sources.at("a.jpg"), PhotoSource::raw);
    for (const char* members : {R"("heart": 1)", R"("heart": "true")", R"("heart": false)",
                                R"("source": "jpeg")", R"("source": "RAW")", R"("source": 1)"}) {
        const SelectionRecord record = onePhoto(members);
        EXPECT_TRUE(record.hearts.empty() && record.sources.empty()) << members;
    }
    const auto sorted =
        decodeText(withPhotos(R"({"b": {"heart": true}, "B": {"heart": true}, "a": {"heart": true}})"));
    EXPECT_EQ(sorted.hearts, (std::vector<std::string>{"B", "a", "b"}));
}

TEST(SelectionRecordDecoder, PathsAreReadInComposedForm) {
    const auto record = decodeText(
        R"({"version": 2, "app": "Sorvin", "updatedAt": "t", "cursor": "\u304b\u3099.jpg",
            "photos": {"\u304b\u3099.jpg": {"heart": true, "rotation": 90}}})");
    EXPECT_EQ(record.cursor, "が.jpg");
    EXPECT_EQ(record.hearts, std::vector<std::string>{"が.jpg"});
    EXPECT_TRUE(record.rotations.contains("が.jpg"));
}

TEST(SelectionRecordDecoder, RotationsFollowTheHalfDegreeRule) {
    const std::pair<const char*, std::optional<double>> rows[] = {
        {"0.2", std::nullopt},   {"0.3", 0.5},     {"-0.25", -0.5},          {"179.5", 179.5},
        {"179.6", std::nullopt}, {"-180", -180.0}, {"-180.1", std::nullopt}, {"\"90\"", std::nullopt}};
    for (const auto& [text, expected] : rows) {
        const SelectionRecord record = onePhoto(std::string("\"rotation\": ") + text);
        const auto found = record.rotations.find("a.jpg");
        EXPECT_EQ(found == record.rotations.end() ? std::nullopt : std::optional(found->second), expected)
            << text;
    }
}

TEST(SelectionRecordDecoder, CropsOutOfRangeOrMalformedAreDropped) {
    const char* dropped[] = {
        R"({ "aspect": "3:2", "size": 9, "x": 0, "y": 0 })",
        R"({ "aspect": "3:2", "size": 101, "x": 0, "y": 0 })",
        R"({ "aspect": "3:2", "size": 50, "x": -1, "y": 0 })",
        R"({ "aspect": "3:2", "size": 50, "x": 0, "y": 10001 })",
        R"({ "aspect": "03:2", "size": 50, "x": 0, "y": 0 })",
        R"({ "aspect": "3:0", "size": 50, "x": 0, "y": 0 })",
        R"({ "aspect": "3:2:1", "size": 50, "x": 0, "y": 0 })",
        R"({ "aspect": "3:2", "size": 50, "x": 0 })",
        R"({ "aspect": "original", "size": 100, "x": 0, "y": 0 })",
        R"({ "aspect": 3, "size": 50, "x": 0, "y": 0 })",
        R"("3:2")",
    };
    for (const char* crop : dropped)
        EXPECT_TRUE(onePhoto(std::string("\"crop\": ") + crop).crops.empty()) << crop;
    EXPECT_EQ(
        onePhoto(R"("crop": { "aspect": "original", "size": 80, "x": 10000, "y": 0 })").crops.at("a.jpg"),
        (ManualCrop{CropAspect::original(), 80, 10000, 0}));
    EXPECT_EQ(onePhoto(R"("crop": { "aspect": "16:9", "size": 10, "x": 5, "y": 6 })").crops.at("a.jpg"),
              (ManualCrop{CropAspect::ratio(16, 9), 10, 5, 6}));
}

TEST(SelectionRecordDecoder, ParameterValuesAreRoundedAndRangeChecked) {
    struct Row {
        const char* members;
        const char* map; // "params" or "paramsRaw"
        PhotoParameter parameter;
        std::optional<int> value; // none: the value is not stored
    };
    const Row rows[] = {
        {R"("params": {"exposure": 12.5})", "params", PhotoParameter::exposure, 13},
        {R"("params": {"exposure": -12.5})", "params", PhotoParameter::exposure, -13},
        {R"("params": {"exposure": 150})", "params", PhotoParameter::exposure, std::nullopt},
        {R"("params": {"exposure": "5"})", "params", PhotoParameter::exposure, std::nullopt},
        {R"("params": {"raw_exposure": 60, "tint": 1})", "params", PhotoParameter::raw_exposure,
         std::nullopt},
        {R"("paramsRaw": {"raw_exposure": 60})", "paramsRaw", PhotoParameter::raw_exposure, 60},
        {R"("params": {"geometry_zoom": 10})", "params", PhotoParameter::geometry_zoom, 10},
        {R"("params": {"circular_mask_size": 45, "tint": 1})", "params", PhotoParameter::circular_mask_size,
         std::nullopt},
        {R"("params": {"grain_amount": -1, "tint": 1})", "params", PhotoParameter::grain_amount,
         std::nullopt},
    };
    for (const Row& row : rows) {
        const SelectionRecord record = onePhoto(row.members);
        const auto& map = std::string_view(row.map) == "params" ? record.params : record.paramsRaw;
        const auto found = map.find("a.jpg");
        const std::optional<int> value =
            found != map.end() && found->second.values.isDefault(row.parameter) == false
                ? std::optional(found->second[row.parameter])
                : std::nullopt;
        EXPECT_EQ(value, row.value) << row.members;
    }
}

TEST(SelectionRecordDecoder, MaskValuesFollowTheMaskList) {
    auto record = onePhoto(R"("masks": ["circular"], "params": {"C0.exposure": 20, "C1.exposure": 30,
        "C0.circular_mask_center_x": 1000})");
    const PhotoParameters& params = record.params.at("a.jpg");
    ASSERT_EQ(params.maskKinds(), std::vector<MaskKind>{kCircular});
    EXPECT_EQ(maskValue(params, 0, PhotoParameter::exposure), 20);
    EXPECT_EQ(maskValue(params, 0, PhotoParameter::circular_mask_amount), 0) << "no stored amount means 0";
    EXPECT_EQ(maskValue(params, 0, PhotoParameter::circular_mask_center_x), 1000);
    EXPECT_EQ(record.masks.at("a.jpg"), std::vector<MaskKind>{kCircular});
    EXPECT_EQ(maskValue(onePhoto(R"("masks": ["circular"], "params": {"C0.circular_mask_center_x": 1001})")
                            .params.at("a.jpg"),
                        0, PhotoParameter::circular_mask_center_x),
              500);

    const auto onlyKinds = onePhoto(R"("masks": ["linear"])");
    EXPECT_EQ(onlyKinds.params.at("a.jpg").maskKinds(), std::vector<MaskKind>{kLinear});
    EXPECT_EQ(maskValue(onlyKinds.params.at("a.jpg"), 0, PhotoParameter::linear_mask_amount), 0);
    EXPECT_FALSE(onlyKinds.paramsRaw.contains("a.jpg"));
}

TEST(SelectionRecordDecoder, NegativeAmountIsAnInvertedMaskUnlessInvertIsStored) {
    const auto inverted = onePhoto(R"("masks": ["circular"], "params": {"C0.circular_mask_amount": -40})");
    EXPECT_EQ(maskValue(inverted.params.at("a.jpg"), 0, PhotoParameter::circular_mask_amount), 40);
    EXPECT_EQ(maskValue(inverted.params.at("a.jpg"), 0, PhotoParameter::circular_mask_invert), 100);
    const auto explicitInvert = onePhoto(
        R"("masks": ["circular", "linear"], "params": {"C0.circular_mask_amount": -40, "C0.circular_mask_invert": 0,
           "L1.linear_mask_amount": -100})");
    const PhotoParameters& params = explicitInvert.params.at("a.jpg");
    EXPECT_EQ(maskValue(params, 0, PhotoParameter::circular_mask_amount), 40);
    EXPECT_EQ(maskValue(params, 0, PhotoParameter::circular_mask_invert), 0);
    EXPECT_EQ(maskValue(params, 1, PhotoParameter::linear_mask_amount), 100);
    EXPECT_EQ(maskValue(params, 1, PhotoParameter::linear_mask_invert), 100);
}

TEST(SelectionRecordDecoder, UnusableMaskListsKeepOnlyTheGlobalValues) {
    for (const char* masks : {R"(["circular", "circular", "linear", "linear", "circular"])",
                              R"(["circular", "oval"])", R"("circular")", R"([])"}) {
        const auto record = onePhoto(std::string("\"masks\": ") + masks +
                                     R"(, "params": {"exposure": 5, "C0.exposure": 20})");
        const PhotoParameters& params = record.params.at("a.jpg");
        EXPECT_TRUE(params.masks.empty()) << masks;
        EXPECT_EQ(params[PhotoParameter::exposure], 5) << masks;
        EXPECT_FALSE(record.masks.contains("a.jpg")) << masks;
    }
}

TEST(SelectionRecordDecoder, CopyBTakesThePhotosRotationAndCropWhereItHasNone) {
    const auto record =
        onePhoto(R"("rotation": 12, "crop": { "aspect": "1:1", "size": 50, "x": 1, "y": 2 }, "b": {})");
    const RetouchState& copy = record.retouchesB.at("a.jpg");
    RetouchState expected;
    expected.rotation = 12;
    expected.crop = {CropAspect::ratio(1, 1), 50, 1, 2};
    EXPECT_EQ(copy, expected);

    const auto own = onePhoto(R"("rotation": 12, "crop": { "aspect": "1:1", "size": 50, "x": 1, "y": 2 },
        "b": {"rotation": "x", "crop": { "aspect": "1:1", "size": 5, "x": 1, "y": 2 }, "heart": 1, "source": "raw",
              "masks": ["linear"], "params": {"L0.exposure": 7, "raw_exposure": 9}, "paramsRaw": {"raw_exposure": 9}})");
    const RetouchState& b = own.retouchesB.at("a.jpg");
    EXPECT_EQ(b.rotation, 0.0);
    EXPECT_EQ(b.crop, ManualCrop{});
    EXPECT_FALSE(b.heart);
    EXPECT_EQ(b.source, PhotoSource::raw);
    EXPECT_EQ(b.masks, std::vector<MaskKind>{kLinear});
    EXPECT_EQ(maskValue(b.params, 0, PhotoParameter::exposure), 7);
    EXPECT_FALSE(b.params.values.isDefault(PhotoParameter::raw_exposure) == false);
    EXPECT_EQ(b.paramsRaw[PhotoParameter::raw_exposure], 9);
    EXPECT_EQ(b.paramsRaw.maskKinds(), std::vector<MaskKind>{kLinear});
    EXPECT_FALSE(onePhoto(R"("b": 5)").retouchesB.contains("a.jpg"));
}

TEST(SelectionRecordDecoder, BrightnessMirrorsExposureAndScalesAreCurrent) {
    const auto record = decodeText(R"({"version": 2, "app": "Sorvin", "updatedAt": "t", "paramScale": 7,
        "maskScale": 8, "brightness": {"x.jpg": 30}, "photos": {"a.jpg": {"params": {"exposure": -20}},
        "b.jpg": {"params": {"contrast": 20}}}})");
    EXPECT_EQ(record.brightness, (SelectionRecord::PathMap<int>{{"a.jpg", -20}}));
    EXPECT_EQ(record.paramScale, 100);
    EXPECT_EQ(record.maskScale, 1000);
}

TEST(SelectionRecordNormalizing, FoldsBrightnessAndKeepsEachPhotosMasksOnOneList) {
    PhotoParameters twoMasks({kCircular, kLinear});
    twoMasks.setValue(30, PhotoParameter::exposure, ParameterEditTarget::mask(0));
    SelectionRecord given;
    given.brightness = {{"fold.jpg", 150}, {"kept.jpg", 40}, {"zero.jpg", 0}};
    given.masks = {{"kept.jpg", {}}, {"raw.jpg", {kLinear}}};
    given.params = {{"kept.jpg", twoMasks}, {"empty.jpg", PhotoParameters::zero()}};
    given.paramsRaw = {{"raw.jpg", PhotoParameters({kCircular})}};
    given.sources = {{"j.jpg", PhotoSource::jpeg}, {"r.jpg", PhotoSource::raw}};
    const auto record = SelectionRecord::normalized(given);
    EXPECT_EQ(record.params.at("fold.jpg")[PhotoParameter::exposure], 100);
    EXPECT_TRUE(record.params.at("fold.jpg").masks.empty());
    EXPECT_FALSE(record.params.contains("zero.jpg"));
    EXPECT_FALSE(record.params.contains("empty.jpg"));
    EXPECT_TRUE(record.params.at("kept.jpg").masks.empty()) << "an empty list given removes the masks";
    EXPECT_FALSE(record.masks.contains("kept.jpg"));
    EXPECT_EQ(record.paramsRaw.at("raw.jpg").maskKinds(), std::vector<MaskKind>{kLinear});
    EXPECT_EQ(record.brightness, (SelectionRecord::PathMap<int>{{"fold.jpg", 100}}));
    EXPECT_EQ(record.sources, (SelectionRecord::PathMap<PhotoSource>{{"r.jpg", PhotoSource::raw}}));
}

TEST(SelectionRecordNormalizing, CleansCopiesB) {
    PhotoParameters params = PhotoParameters::zero();
    params.setValue(60, PhotoParameter::raw_exposure, kGlobal);
    params.setValue(10, PhotoParameter::exposure, kGlobal);
    const MaskKind oval{"oval"};
    SelectionRecord given;
    RetouchState& b = given.retouchesB["a.jpg"];
    b.rotation = 33.3;
    b.params = b.paramsRaw = params;
    b.masks = {kCircular, oval, kLinear, kLinear, kCircular};
    const auto record = SelectionRecord::normalized(given);
    const RetouchState& copy = record.retouchesB.at("a.jpg");
    EXPECT_EQ(copy.rotation, 33.5);
    EXPECT_EQ(copy.masks, (std::vector<MaskKind>{kCircular, kLinear, kLinear}));
    EXPECT_FALSE(copy.params.values.isDefault(PhotoParameter::raw_exposure) == false);
    EXPECT_EQ(copy.params[PhotoParameter::exposure], 10);
    EXPECT_EQ(copy.paramsRaw[PhotoParameter::raw_exposure], 60);
    EXPECT_EQ(copy.params.maskKinds(), copy.masks);
    EXPECT_EQ(copy.paramsRaw.maskKinds(), copy.masks);
}

TEST(SelectionRecordDecoder, EveryWrittenRecordReadsBackToTheSameState) {
    PhotoParameters params({kCircular, kLinear});
    params.setValue(25, PhotoParameter::exposure, kGlobal);
    params.setValue(30, PhotoParameter::geometry_zoom, kGlobal);
    params.setValue(-40, PhotoParameter::exposure, ParameterEditTarget::mask(0));
    params.setValue(0, PhotoParameter::circular_mask_amount, ParameterEditTarget::mask(0));
    params.setValue(100, PhotoParameter::linear_mask_invert, ParameterEditTarget::mask(1));
    PhotoParameters raw({kCircular, kLinear});
    raw.setValue(0, PhotoParameter::raw_exposure, kGlobal);
    raw.setValue(55, PhotoParameter::raw_boost, kGlobal);
    SelectionRecord given;
    given.app = "Sorvin";
    given.updatedAt = "2026-12-07T09:05:03Z";
    given.cursor = "trip/日本 \"1\".jpg";
    given.hearts = {"a.jpg", "trip/日本 \"1\".jpg"};
    given.rotations = {{"a.jpg", -179.5}, {"b.jpg", 0.5}};
    given.crops = {{"a.jpg", {CropAspect::ratio(4, 2), 33, 0, 10000}}};
    given.params = {{"a.jpg", params}, {"c.jpg", PhotoParameters({kLinear})}};
    given.paramsRaw = {{"a.jpg", raw}};
    given.sources = {{"b.jpg", PhotoSource::raw}};
    RetouchState& b = given.retouchesB["a.jpg"];
    b.heart = true;
    b.rotation = 45;
    b.params = PhotoParameters({kCircular});
    b.masks = {kCircular};
    given.retouchesB["d.jpg"] = RetouchState();
    // A RAW-only development with masks stays RAW-only.
    PhotoParameters rawOnly({kLinear});
    rawOnly.setValue(30, PhotoParameter::exposure, ParameterEditTarget::mask(0));
    given.paramsRaw["e.jpg"] = rawOnly;
    const SelectionRecord record = SelectionRecord::normalized(given);
    const std::string text = SelectionRecordEncoder::encode(record);
    const SelectionRecord read = decodeText(text);
    EXPECT_EQ(read, record) << text;
    EXPECT_EQ(SelectionRecordEncoder::encode(read), text);
}

} // namespace
} // namespace sorvin
