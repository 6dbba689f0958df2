#include "export/exporter_reencode.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

Photo photo(PhotoFileFormat format, int width = 6000, int height = 4000, int orientation = 1) {
    Photo p;
    p.url = "/Photos/IMG_0001.jpg";
    p.relativePath = "IMG_0001.jpg";
    p.fileFormat = format;
    p.pixelWidth = width;
    p.pixelHeight = height;
    p.orientation = orientation;
    return p;
}

PhotoParameters exposure(int value) {
    PhotoParameters parameters;
    parameters.setValue(value, PhotoParameter::exposure);
    return parameters;
}

struct Case {
    const char* what;
    Photo photo;
    ExportImageFormat format;
    bool burnIn;
    double rotation;
    ManualCrop crop;
    int exposure;
    std::optional<PhotoParameters> params;
    std::optional<PhotoSource> source;
    std::optional<int> limit;
    bool reencodes;
};

ManualCrop crop(CropAspect aspect, int size, int x = 0, int y = 0) {
    ManualCrop c;
    c.aspect = aspect;
    c.sizeP = size;
    c.xM = x;
    c.yM = y;
    return c;
}

TEST(ExporterReencodeTest, ByteCopyOnlyWhenNothingAboutTheOutputChanges) {
    using F = PhotoFileFormat;
    using O = ExportImageFormat;
    const PhotoParameters none;
    const PhotoParameters onlyMask({MaskKind::linear()});
    const Case cases[] = {
        {"lone RAW", photo(F::raw), O::jpeg, false, 0, {}, 0, none, std::nullopt, std::nullopt, true},
        {"JPEG as JPEG",
         photo(F::jpeg),
         O::jpeg,
         false,
         0,
         {},
         0,
         none,
         PhotoSource::jpeg,
         std::nullopt,
         false},
        {"JPEG as HEIF",
         photo(F::jpeg),
         O::heif,
         false,
         0,
         {},
         0,
         none,
         PhotoSource::jpeg,
         std::nullopt,
         true},
        {"HEIF as HEIF",
         photo(F::heif),
         O::heif,
         false,
         0,
         {},
         0,
         none,
         PhotoSource::jpeg,
         std::nullopt,
         false},
        {"HEIF as JPEG",
         photo(F::heif),
         O::jpeg,
         false,
         0,
         {},
         0,
         none,
         PhotoSource::jpeg,
         std::nullopt,
         true},
        {"RAW source of a pair",
         photo(F::jpeg),
         O::jpeg,
         false,
         0,
         {},
         0,
         none,
         PhotoSource::raw,
         std::nullopt,
         true},
        {"rotation 0.005",
         photo(F::jpeg),
         O::jpeg,
         false,
         0.005,
         {},
         0,
         none,
         std::nullopt,
         std::nullopt,
         false},
        {"rotation -0.01",
         photo(F::jpeg),
         O::jpeg,
         false,
         -0.01,
         {},
         0,
         none,
         std::nullopt,
         std::nullopt,
         true},
        {"portrait, no burn-in",
         photo(F::jpeg, 6000, 4000, 6),
         O::jpeg,
         false,
         0,
         {},
         0,
         none,
         std::nullopt,
         std::nullopt,
         false},
        {"portrait, burn-in",
         photo(F::jpeg, 6000, 4000, 6),
         O::jpeg,
         true,
         0,
         {},
         0,
         none,
         std::nullopt,
         std::nullopt,
         true},
        {"limit below the photo", photo(F::jpeg), O::jpeg, false, 0, {}, 0, none, std::nullopt, 2048, true},
        {"limit above the photo",
         photo(F::jpeg, 1600, 1200),
         O::jpeg,
         false,
         0,
         {},
         0,
         none,
         std::nullopt,
         2048,
         false},
        {"limit against the upright size",
         photo(F::jpeg, 1600, 3000, 6),
         O::jpeg,
         false,
         0,
         {},
         0,
         none,
         std::nullopt,
         2048,
         true},
        {"crop of the photo's own aspect", photo(F::jpeg), O::jpeg, false, 0,
         crop(CropAspect::ratio(3, 2), 100), 0, none, std::nullopt, std::nullopt, false},
        {"crop that cuts", photo(F::jpeg), O::jpeg, false, 0, crop(CropAspect::ratio(1, 1), 100), 0, none,
         std::nullopt, std::nullopt, true},
        {"crop within the limit", photo(F::jpeg), O::jpeg, false, 0, crop(CropAspect::original(), 30), 0,
         none, std::nullopt, 2048, true},
        {"only masks", photo(F::jpeg), O::jpeg, false, 0, {}, 0, onlyMask, std::nullopt, std::nullopt, true},
        {"stored exposure",
         photo(F::jpeg),
         O::jpeg,
         false,
         0,
         {},
         0,
         exposure(5),
         std::nullopt,
         std::nullopt,
         true},
        {"legacy exposure",
         photo(F::jpeg),
         O::jpeg,
         false,
         0,
         {},
         7,
         std::nullopt,
         std::nullopt,
         std::nullopt,
         true},
        {"legacy exposure 0",
         photo(F::jpeg),
         O::jpeg,
         false,
         0,
         {},
         0,
         std::nullopt,
         std::nullopt,
         std::nullopt,
         false},
        {"no pixel size with a limit",
         photo(F::jpeg, 0, 0),
         O::jpeg,
         false,
         0,
         {},
         0,
         none,
         std::nullopt,
         4000,
         true},
        {"no pixel size with a crop", photo(F::jpeg, 0, 0), O::jpeg, false, 0,
         crop(CropAspect::ratio(3, 2), 100), 0, none, std::nullopt, std::nullopt, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Exporter::shouldReencode(c.photo, c.format, c.burnIn, c.rotation, c.crop, c.exposure,
                                           c.params, c.source, c.limit),
                  c.reencodes)
            << c.what;
}

TEST(ExporterReencodeTest, SelectedParametersFollowTheSource) {
    const Photo p = photo(PhotoFileFormat::jpeg);
    Exporter::ParametersByPath params;
    Exporter::ParametersByPath paramsRaw;
    EXPECT_EQ(Exporter::selectedParameters(p, PhotoSource::jpeg, -30, params, paramsRaw), exposure(-30));
    EXPECT_EQ(Exporter::selectedParameters(p, PhotoSource::jpeg, 250, params, paramsRaw), exposure(100));
    EXPECT_TRUE(Exporter::selectedParameters(p, PhotoSource::jpeg, 0, params, paramsRaw).values.isEmpty());
    EXPECT_EQ(Exporter::selectedParameters(p, PhotoSource::raw, -30, params, paramsRaw),
              PhotoParameters::zero());
    params[p.relativePath] = exposure(12);
    paramsRaw[p.relativePath] = exposure(-12);
    EXPECT_EQ(Exporter::selectedParameters(p, PhotoSource::jpeg, -30, params, paramsRaw), exposure(12));
    EXPECT_EQ(Exporter::selectedParameters(p, PhotoSource::raw, -30, params, paramsRaw), exposure(-12));
}

} // namespace
} // namespace sorvin
