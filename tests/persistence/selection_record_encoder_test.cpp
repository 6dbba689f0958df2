#include "persistence/selection_record_decoder.hpp"
#include "persistence/selection_record_encoder.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace sorvin {
namespace {

SelectionRecord emptyRecord() {
    SelectionRecord record;
    record.app = "Sorvin";
    record.updatedAt = "2026-12-07T09:05:03Z";
    return SelectionRecord::normalized(record);
}

std::string photosText(const std::string& members) {
    return "{\n  \"version\": 2,\n  \"app\": \"Sorvin\",\n  \"updatedAt\": \"2026-12-07T09:05:03Z\",\n"
           "  \"cursor\": null,\n  \"photos\": {\n" +
           members + "\n  }\n}\n";
}

PhotoParameters
withValues(std::vector<MaskKind> kinds,
           std::initializer_list<std::tuple<PhotoParameter, ParameterEditTarget, int>> values) {
    PhotoParameters parameters(kinds);
    for (const auto& [parameter, target, value] : values)
        parameters.setValue(value, parameter, target);
    return parameters;
}

const MaskKind kCircular = MaskKindCatalog::current().definitions[0].kind;
const MaskKind kLinear = MaskKindCatalog::current().definitions[1].kind;
const auto kGlobal = ParameterEditTarget::global();

TEST(SelectionRecordEncoder, EmptyRecordLeavesOneEmptyLineInPhotos) {
    EXPECT_EQ(SelectionRecordEncoder::encode(emptyRecord()), "{\n"
                                                             "  \"version\": 2,\n"
                                                             "  \"app\": \"Sorvin\",\n"
                                                             "  \"updatedAt\": \"2026-12-07T09:05:03Z\",\n"
                                                             "  \"cursor\": null,\n"
                                                             "  \"photos\": {\n"
                                                             "\n"
                                                             "  }\n"
                                                             "}\n");
}

TEST(SelectionRecordEncoder, PhotoRotationsAreSnappedOrLeftOut) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        double degrees;
        const char* written; // nullptr: no member
    };
    const Row rows[] = {{0.2, nullptr},    {0.3, "0.5"},     {-0.3, "-0.5"}, {-0.25, "-0.5"},
                        {179.5, "179.5"},  {179.6, nullptr}, {180, nullptr}, {-180, "-180.0"},
                        {-180.1, nullptr}, {nan, nullptr},   {90, "90.0"},   {-0.2, nullptr}};
    for (const Row& row : rows) {
        SelectionRecord record = emptyRecord();
        record.rotations["a.jpg"] = row.degrees;
        const std::string expected =
            row.written
                ? photosText("    \"a.jpg\": {\n      \"rotation\": " + std::string(row.written) + "\n    }")
                : photosText("");
        EXPECT_EQ(SelectionRecordEncoder::encode(record), expected) << row.degrees;
    }
}

TEST(SelectionRecordEncoder, CopyBAlwaysWritesRotationAndCrop) {
    SelectionRecord record = emptyRecord();
    for (double degrees : {0.0, 200.0, std::numeric_limits<double>::quiet_NaN(), -0.2}) {
        record.retouchesB["a.jpg"].rotation = degrees;
        EXPECT_EQ(
            SelectionRecordEncoder::encode(record),
            photosText(
                "    \"a.jpg\": {\n      \"b\": { \"rotation\": 0.0, \"crop\": { \"aspect\": \"original\", "
                "\"size\": 100, \"x\": 0, \"y\": 0 } }\n    }"))
            << degrees;
    }
    record.retouchesB["a.jpg"] =
        RetouchState{.heart = true,
                     .source = PhotoSource::raw,
                     .rotation = -90.3,
                     .crop = {CropAspect::ratio(16, 9), 50, 10, 9990},
                     .params = withValues({kLinear}, {{PhotoParameter::exposure, kGlobal, -5}}),
                     .paramsRaw = withValues({kLinear}, {{PhotoParameter::raw_exposure, kGlobal, 70}}),
                     .masks = {kLinear}};
    EXPECT_EQ(
        SelectionRecordEncoder::encode(record),
        photosText(
            "    \"a.jpg\": {\n      \"b\": { \"heart\": true, \"source\": \"raw\", \"rotation\": -90.5, "
            "\"crop\": { \"aspect\": \"16:9\", \"size\": 50, \"x\": 10, \"y\": 9990 }, \"masks\": "
            "[\"linear\"], \"params\": { \"exposure\": -5, \"L0.linear_mask_amount\": 10 }, \"paramsRaw\": "
            "{ \"raw_exposure\": 70, \"L0.linear_mask_amount\": 10 } }\n    }"));
}

TEST(SelectionRecordEncoder, FieldsInTheirOrderAndMembersInCodePointOrder) {
    SelectionRecord record = emptyRecord();
    record.cursor = "trip/日本/写真.jpg";
    record.hearts = {"b.jpg", "trip/日本/写真.jpg", "b.jpg", "B.jpg"};
    record.sources = {{"b.jpg", PhotoSource::raw}, {"c.jpg", PhotoSource::jpeg}};
    record.rotations = {{"b.jpg", 10.26}, {"c.jpg", 0.0}};
    record.crops = {{"b.jpg", {CropAspect::ratio(3, 2), 80, 100, 200}}, {"c.jpg", ManualCrop{}}};
    record.masks = {{"b.jpg", {kCircular, kLinear}}};
    record.params = {{"b.jpg", withValues({kCircular, kLinear},
                                          {{PhotoParameter::exposure, kGlobal, 25},
                                           {PhotoParameter::contrast, kGlobal, -10},
                                           {PhotoParameter::exposure, ParameterEditTarget::mask(0), 40},
                                           {PhotoParameter::raw_exposure, kGlobal, 20}})},
                     {"c.jpg", PhotoParameters::zero()}};
    record.paramsRaw = {
        {"b.jpg", withValues({kCircular, kLinear}, {{PhotoParameter::raw_exposure, kGlobal, 20}})}};
    record.brightness = {{"d.jpg", 30}};
    const std::string expected =
        photosText("    \"B.jpg\": {\n      \"heart\": true\n    },\n"
                   "    \"b.jpg\": {\n"
                   "      \"heart\": true,\n"
                   "      \"source\": \"raw\",\n"
                   "      \"rotation\": 10.5,\n"
                   "      \"crop\": { \"aspect\": \"3:2\", \"size\": 80, \"x\": 100, \"y\": 200 },\n"
                   "      \"masks\": [\"circular\", \"linear\"],\n"
                   "      \"params\": { \"exposure\": 25, \"contrast\": -10, \"C0.exposure\": 40, "
                   "\"C0.circular_mask_amount\": 10, "
                   "\"L1.linear_mask_amount\": 10 },\n"
                   "      \"paramsRaw\": { \"raw_exposure\": 20, \"C0.circular_mask_amount\": 10, "
                   "\"L1.linear_mask_amount\": 10 }\n"
                   "    },\n"
                   "    \"trip/日本/写真.jpg\": {\n      \"heart\": true\n    }");
    std::string withCursor = expected;
    withCursor.replace(withCursor.find("null"), 4, "\"trip/日本/写真.jpg\"");
    EXPECT_EQ(SelectionRecordEncoder::encode(record), withCursor);
    EXPECT_EQ(SelectionRecordEncoder::encode(record), SelectionRecordEncoder::encode(record));

    // The order is that of the composed text: a decomposed "é" (e, U+0301) sorts after "f".
    SelectionRecord spelled = emptyRecord();
    spelled.hearts = {"e\u0301.jpg", "f.jpg"};
    EXPECT_EQ(SelectionRecordEncoder::encode(spelled),
              photosText("    \"f.jpg\": {\n      \"heart\": true\n    },\n"
                         "    \"e\u0301.jpg\": {\n      \"heart\": true\n    }"));
}

TEST(SelectionRecordEncoder, StringsAreEscapedLikeJsonLiterals) {
    SelectionRecord record = emptyRecord();
    record.app = "a\"b\\c/d\te\x01";
    record.hearts = {"say \"hi\".jpg", "back\\slash.jpg"};
    EXPECT_EQ(SelectionRecordEncoder::encode(record),
              "{\n  \"version\": 2,\n  \"app\": \"a\\\"b\\\\c/d\\te\\u0001\",\n"
              "  \"updatedAt\": \"2026-12-07T09:05:03Z\",\n  \"cursor\": null,\n  \"photos\": {\n"
              "    \"back\\\\slash.jpg\": {\n      \"heart\": true\n    },\n"
              "    \"say \\\"hi\\\".jpg\": {\n      \"heart\": true\n    }\n  }\n}\n");
}

TEST(SelectionRecordEncoder, MaskLeftAtItsDefaultsStillWritesItsAmount) {
    SelectionRecord record = emptyRecord();
    record.params = {{"a.jpg", PhotoParameters({kCircular})}};
    record.masks = {{"a.jpg", {kCircular}}};
    EXPECT_EQ(SelectionRecordEncoder::encode(record),
              photosText("    \"a.jpg\": {\n      \"masks\": [\"circular\"],\n      \"params\": { "
                         "\"C0.circular_mask_amount\": 10 }\n    }"));
}

TEST(SelectionRecordEncoder, TextThatIsNotUtf8IsRefused) {
    for (const char* bad : {"\xff", "\xc0\xaf", "\xed\xa0\x80", "abc\xe3\x81"}) {
        SelectionRecord record = emptyRecord();
        record.hearts = {bad};
        EXPECT_THROW(SelectionRecordEncoder::encode(record), std::system_error) << bad;
    }
}

} // namespace
} // namespace sorvin
