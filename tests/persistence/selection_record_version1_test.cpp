#include "persistence/selection_record_decoder.hpp"
#include "persistence/selection_record_version1.hpp"

#include <gtest/gtest.h>
#include <limits>

namespace sorvin {
namespace {

using Json = SelectionJSONValue::Json;

const MaskKind kCircular = MaskKindCatalog::current().definitions[0].kind;
const MaskKind kLinear = MaskKindCatalog::current().definitions[1].kind;

// A version-1 file with the given top-level members besides the required ones.
SelectionRecord version1(const std::string& members) {
    return SelectionRecordDecoder::decode(
        Json::parse(R"({"version": 1, "app": "Tolvanite", "updatedAt": "t", "hearts": ["b", "a", "b"])" +
                    (members.empty() ? "" : ", " + members) + "}"));
}

int maskValue(const PhotoParameters& parameters, std::size_t mask, PhotoParameter parameter) {
    return parameters.masks.at(mask).value(parameter, MaskKindCatalog::current());
}

TEST(SelectionRecordVersion1, OldValuesAreStretchedAndClampedCurrentOnesRangeChecked) {
    using P = PhotoParameter;
    struct Row {
        double value;
        P parameter;
        bool currentScale;
        bool currentMaskScale;
        std::optional<int> migrated;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Row rows[] = {
        {25, P::exposure, false, false, 50},
        {30, P::contrast, false, false, 100},
        {31, P::contrast, false, false, 100},
        {-15, P::contrast, false, false, -50},
        {-10, P::grain_amount, false, false, 0},
        {1e300, P::contrast, false, false, 100},
        {40, P::raw_exposure, false, false, 40},
        {101, P::raw_exposure, false, false, std::nullopt},
        {-15, P::circular_mask_amount, false, false, -50},
        {150, P::contrast, true, false, std::nullopt},
        {12.5, P::contrast, true, false, 13},
        {-100, P::linear_mask_amount, true, false, -100},
        {-1, P::linear_mask_width, true, false, std::nullopt},
        {55.5, P::circular_mask_center_x, true, false, 555},
        {101, P::circular_mask_center_y, false, false, std::nullopt},
        {555, P::circular_mask_center_x, false, true, 555},
        {1001, P::circular_mask_center_x, true, true, std::nullopt},
        {nan, P::exposure, false, false, std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(SelectionRecordVersion1::migratedValue(row.value, row.parameter, row.currentScale,
                                                         row.currentMaskScale),
                  row.migrated)
            << row.value << " " << ParameterCatalog::storedName(row.parameter);
}

TEST(SelectionRecordVersion1, TopLevelMapsAreReadWithTheirScales) {
    const auto record = version1(R"("cursor": "a", "rotations": {"a": 10.26, "b": 0.1, "c": "x"},
        "crops": {"a": { "aspect": "3:2", "size": 50, "x": 0, "y": 0 }, "b": 5},
        "params": {"a": {"exposure": 25, "contrast": 30}, "b": 7},
        "sources": {"a": "jpeg", "b": "raw", "c": "Raw"})");
    EXPECT_EQ(record.version, 1);
    EXPECT_EQ(record.app, "Tolvanite");
    EXPECT_EQ(record.cursor, "a");
    EXPECT_EQ(record.hearts, (std::vector<std::string>{"b", "a", "b"})) << "kept as written";
    EXPECT_EQ(record.rotations, (SelectionRecord::PathMap<double>{{"a", 10.5}}));
    EXPECT_EQ(record.crops.size(), 1u);
    EXPECT_EQ(record.params.at("a")[PhotoParameter::exposure], 50);
    EXPECT_EQ(record.params.at("a")[PhotoParameter::contrast], 100);
    EXPECT_EQ(record.brightness, (SelectionRecord::PathMap<int>{{"a", 50}}));
    EXPECT_EQ(record.sources,
              (SelectionRecord::PathMap<PhotoSource>{{"a", PhotoSource::jpeg}, {"b", PhotoSource::raw}}));
    EXPECT_EQ(record.paramScale, 0);
    EXPECT_EQ(record.maskScale, 0);
    EXPECT_TRUE(record.retouchesB.empty());

    const auto current =
        version1(R"("paramScale": 100, "maskScale": 1000, "params": {"a": {"contrast": 150, "tint": 12.5}})");
    EXPECT_FALSE(current.params.at("a").values.isDefault(PhotoParameter::contrast) == false);
    EXPECT_EQ(current.params.at("a")[PhotoParameter::tint], 13);
    EXPECT_EQ(current.paramScale, 100);
    EXPECT_EQ(current.maskScale, 1000);
    for (const char* scale : {R"("paramScale": "100")", R"("paramScale": 99)"})
        EXPECT_EQ(version1(std::string(scale) + R"(, "params": {"a": {"contrast": 30}})")
                      .params.at("a")[PhotoParameter::contrast],
                  100)
            << scale;
}

TEST(SelectionRecordVersion1, MasksAreInferredFromOlderKeys) {
    const auto record = version1(R"("paramScale": 100, "params": {
        "a": {"circular_mask_size": 45, "C.exposure": 20},
        "b": {"circular_mask_size": 30},
        "c": {"L.exposure": 5, "circular_mask_feather": 60}})");
    const PhotoParameters& a = record.params.at("a");
    ASSERT_EQ(a.maskKinds(), std::vector<MaskKind>{kCircular});
    EXPECT_EQ(maskValue(a, 0, PhotoParameter::circular_mask_size), 45);
    EXPECT_EQ(maskValue(a, 0, PhotoParameter::exposure), 20);
    EXPECT_EQ(maskValue(a, 0, PhotoParameter::circular_mask_amount), 0);
    EXPECT_EQ(record.masks.at("a"), std::vector<MaskKind>{kCircular});
    EXPECT_FALSE(record.params.contains("b")) << "a shape value at its default makes no mask";
    EXPECT_EQ(record.params.at("c").maskKinds(), (std::vector<MaskKind>{kCircular, kLinear}))
        << "catalogue order";
    EXPECT_EQ(maskValue(record.params.at("c"), 1, PhotoParameter::exposure), 5);

    const auto oldScale = version1(R"("params": {"b": {"circular_mask_size": 30}})");
    EXPECT_EQ(maskValue(oldScale.params.at("b"), 0, PhotoParameter::circular_mask_size), 100);
}

TEST(SelectionRecordVersion1, ListedMasksUseTheCurrentKeys) {
    const auto record = version1(R"("paramScale": 100, "masks": {"a": [], "b": ["circular"], "c": "circular"},
        "params": {"a": {"C.exposure": 20, "C0.exposure": 20, "exposure": 1},
                   "b": {"C0.circular_mask_amount": -50, "C.exposure": 20},
                   "c": {"C0.exposure": 20, "exposure": 2}})");
    EXPECT_TRUE(record.params.at("a").masks.empty());
    EXPECT_EQ(record.params.at("a")[PhotoParameter::exposure], 1);
    const PhotoParameters& b = record.params.at("b");
    EXPECT_EQ(maskValue(b, 0, PhotoParameter::circular_mask_amount), 50);
    EXPECT_EQ(maskValue(b, 0, PhotoParameter::circular_mask_invert), 100);
    EXPECT_EQ(maskValue(b, 0, PhotoParameter::exposure), 0) << "older key form refused beside a mask list";
    EXPECT_TRUE(record.params.at("c").masks.empty());

    const auto oldScale =
        version1(R"("masks": {"b": ["circular"]}, "params": {"b": {"C0.circular_mask_amount": -15}})");
    EXPECT_EQ(maskValue(oldScale.params.at("b"), 0, PhotoParameter::circular_mask_amount), 50);
    EXPECT_EQ(maskValue(oldScale.params.at("b"), 0, PhotoParameter::circular_mask_invert), 100);
}

TEST(SelectionRecordVersion1, BrightnessFillsOnlyPhotosWithoutParameters) {
    const auto record = version1(R"("brightness": {"a": 10, "b": 10, "c": 0, "d": "x"},
        "masks": {"m": ["linear"]}, "brightness2": 1, "params": {"b": {}})");
    EXPECT_EQ(record.params.at("a")[PhotoParameter::exposure], 20);
    EXPECT_FALSE(record.params.contains("b"));
    EXPECT_FALSE(record.params.contains("c"));
    EXPECT_EQ(record.brightness, (SelectionRecord::PathMap<int>{{"a", 20}}));

    const auto masked = version1(R"("brightness": {"m": 10}, "masks": {"m": ["linear"]})");
    EXPECT_EQ(masked.params.at("m")[PhotoParameter::exposure], 20);
    EXPECT_EQ(masked.params.at("m").maskKinds(), std::vector<MaskKind>{kLinear});
}

TEST(SelectionRecordVersion1, RawParametersKeepTheirScale) {
    const auto record = version1(R"("paramsRaw": {"a": {"raw_exposure": 40, "exposure": 10}, "b": {}})");
    EXPECT_EQ(record.paramsRaw.at("a")[PhotoParameter::raw_exposure], 40);
    EXPECT_EQ(record.paramsRaw.at("a")[PhotoParameter::exposure], 20);
    EXPECT_FALSE(record.paramsRaw.contains("b"));
    EXPECT_FALSE(record.params.contains("a"));
}

} // namespace
} // namespace sorvin
