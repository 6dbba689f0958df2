#include "shell/exif_panel_model.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

Photo pairPhoto() {
    Photo p;
    p.url = "/photos/IMG_1.JPG";
    p.relativePath = "IMG_1.JPG";
    p.rawCompanionURL = "/photos/IMG_1.cr3";
    p.rawCompanionRelativePath = "IMG_1.cr3";
    return p;
}

ExifMetadata metadata() {
    ExifMetadata m;
    m.make = "Canon";
    m.model = "Canon EOS R5";
    m.fNumber = 8;
    m.exposureTime = 0.004;
    m.iso = 100;
    m.fileName = "IMG_1.cr3";
    return m;
}

ExifPanelModel::Inputs loaded(PhotoSource source) {
    ExifPanelModel::Inputs in;
    in.photo = pairPhoto();
    in.source = source;
    in.copySelection = defaultExifCopySelection();
    in.metadata = metadata();
    in.metadataPath = "IMG_1.JPG";
    in.metadataSource = source;
    return in;
}

const ExifPanelRow* find(const ExifPanelModel& model, ExifCopyField field) {
    for (const auto& group : model.groups)
        for (const auto& row : group)
            if (row.field == field) return &row;
    return nullptr;
}

TEST(ExifPanelModelTest, WithoutAPhotoOnlyPlainRowsShowAndNothingCanBeCopied) {
    const auto model = ExifPanelModel::make({});
    EXPECT_EQ(find(model, ExifCopyField::lensSpecification), nullptr);
    EXPECT_EQ(find(model, ExifCopyField::bodySerial), nullptr);
    ASSERT_NE(find(model, ExifCopyField::rotation), nullptr);
    EXPECT_EQ(find(model, ExifCopyField::rotation)->value, "");
    EXPECT_EQ(find(model, ExifCopyField::fileName)->badge, std::nullopt);
    EXPECT_FALSE(model.canCopyExif);
    EXPECT_EQ(model.clippingText, "黒つぶれ —   白飛び —");
}

TEST(ExifPanelModelTest, WhileLoadingRowsAreEmptyButTheRotationShowsAtOnce) {
    {
        auto in = loaded(PhotoSource::jpeg);
        in.metadataPath = "OTHER.JPG"; // the previous photo's values
        const auto model = ExifPanelModel::make(in);
        EXPECT_EQ(find(model, ExifCopyField::aperture)->value, "");
        ASSERT_NE(find(model, ExifCopyField::lensSpecification), nullptr); // shown, empty, while loading
        EXPECT_EQ(find(model, ExifCopyField::rotation)->value, "0.0°");
        EXPECT_EQ(find(model, ExifCopyField::fileName)->badge, std::nullopt);
    }
    // EXIF of the other file of the pair is not this file's EXIF.
    auto in = loaded(PhotoSource::raw);
    in.metadataSource = PhotoSource::jpeg;
    EXPECT_EQ(find(ExifPanelModel::make(in), ExifCopyField::iso)->value, "");
    // The rotation alone can be copied when it is selected.
    in.copySelection = {ExifCopyField::rotation};
    EXPECT_TRUE(ExifPanelModel::make(in).canCopyExif);
    in.copySelection = {ExifCopyField::iso};
    EXPECT_FALSE(ExifPanelModel::make(in).canCopyExif);
}

TEST(ExifPanelModelTest, LoadedValuesShowDashesForMissingPlainRowsAndDropOptionalOnes) {
    const auto model = ExifPanelModel::make(loaded(PhotoSource::raw));
    EXPECT_EQ(find(model, ExifCopyField::aperture)->value, "f/8");
    EXPECT_EQ(find(model, ExifCopyField::aperture)->valueColor, ViewPalette::text);
    const ExifPanelRow* lens = find(model, ExifCopyField::lens);
    EXPECT_EQ(lens->value, "—");
    EXPECT_EQ(lens->valueColor, ViewPalette::dashGrey);
    EXPECT_EQ(find(model, ExifCopyField::lensSpecification), nullptr);
    EXPECT_EQ(find(model, ExifCopyField::imageNumber), nullptr);
    EXPECT_EQ(find(model, ExifCopyField::fileName)->badge, "CR3");
    EXPECT_TRUE(model.canCopyExif);
    EXPECT_TRUE(find(model, ExifCopyField::camera)->checked);
    EXPECT_FALSE(find(model, ExifCopyField::rotation)->checked);

    auto in = loaded(PhotoSource::jpeg);
    in.metadata->fileName.clear();
    const auto withoutName = ExifPanelModel::make(in);
    const ExifPanelRow* fileName = find(withoutName, ExifCopyField::fileName);
    EXPECT_EQ(fileName->value, "—");
    EXPECT_EQ(fileName->valueColor, ViewPalette::text);
    EXPECT_EQ(fileName->badge, "JPG");

    in.copySelection.clear();
    EXPECT_FALSE(ExifPanelModel::make(in).canCopyExif);
}

TEST(ExifPanelModelTest, RowsFollowTheGroupOrderAndEveryFieldAppearsOnce) {
    std::vector<ExifCopyField> order;
    for (const auto& group : ExifPanelLayout::groups())
        for (const auto& layoutRow : group)
            order.push_back(layoutRow.field);
    EXPECT_EQ(order.size(), kAllExifCopyFields.size());
    EXPECT_EQ(order.front(), ExifCopyField::shutter);
    EXPECT_EQ(order.back(), ExifCopyField::rotation);
    EXPECT_EQ(std::set<ExifCopyField>(order.begin(), order.end()).size(), order.size());
}

TEST(ExifPanelModelTest, ACheckboxOnlyTogglesWhenItDisagreesWithTheSelection) {
    const ExifCopyFieldSet selection{ExifCopyField::iso};
    EXPECT_FALSE(ExifPanelModel::checkboxChangeToggles(selection, ExifCopyField::iso, true));
    EXPECT_TRUE(ExifPanelModel::checkboxChangeToggles(selection, ExifCopyField::iso, false));
    EXPECT_TRUE(ExifPanelModel::checkboxChangeToggles(selection, ExifCopyField::lens, true));
}

TEST(ExifPanelModelTest, HistogramBelongsToThePhotoPathAndItsFiguresShowOneDecimal) {
    auto in = loaded(PhotoSource::jpeg);
    HistogramData data = HistogramData::empty();
    data.blackClippingPercentage = 1.25;
    data.whiteClippingPercentage = 0;
    in.histogram = data;
    in.histogramPath = "OTHER.JPG";
    EXPECT_FALSE(ExifPanelModel::make(in).histogram);
    in.histogramPath = "IMG_1.JPG";
    const auto model = ExifPanelModel::make(in);
    EXPECT_TRUE(model.histogram);
    EXPECT_EQ(model.clippingText, "黒つぶれ 1.2%   白飛び 0.0%");
}

TEST(HistogramGraphGeometryTest, GraphWidthFollowsThePanelWithinItsLimits) {
    const std::pair<double, double> cases[] = {{200, 196}, {300, 276}, {600, 496}, {-5, 196}};
    for (auto [panel, graph] : cases)
        EXPECT_EQ(ExifPanelLayout::graphWidth(panel), graph) << panel;
}

TEST(HistogramGraphGeometryTest, BarsStandOnTheBaseAndClippedBinsCarryAMark) {
    EXPECT_TRUE(HistogramGraphGeometry::make(std::nullopt, 256).empty());

    HistogramData data = HistogramData::empty();
    const auto empty = HistogramGraphGeometry::make(data, 256);
    ASSERT_EQ(empty.size(), 3u);
    for (const auto& channel : empty) {
        EXPECT_TRUE(channel.bars.empty());
        EXPECT_TRUE(channel.marks.empty());
    }

    data.red[0] = 400;   // more than any inner bin: full height with a mark
    data.red[100] = 100; // the reference
    data.blue[50] = 25;  // half height (square root)
    const auto channels = HistogramGraphGeometry::make(data, 512);
    ASSERT_EQ(channels.size(), 3u);
    EXPECT_EQ(channels[0].color, ViewPalette::histogramRed);
    using R = Rect;
    EXPECT_EQ(channels[0].bars, (std::vector<R>{{0, 0, 2, 120}, {200, 0, 2, 120}}));
    EXPECT_EQ(channels[0].marks, (std::vector<R>{{0, 0, 2, 2}}));
    EXPECT_TRUE(channels[1].bars.empty());
    EXPECT_EQ(channels[2].bars, (std::vector<R>{{100, 60, 2, 60}}));
    EXPECT_TRUE(channels[2].marks.empty());

    // With every inner bin empty the edge bins set the scale and none is marked.
    HistogramData edges = HistogramData::empty();
    edges.green[255] = 9;
    edges.green[0] = 4;
    const auto fallback = HistogramGraphGeometry::make(edges, 256);
    EXPECT_EQ(fallback[1].bars, (std::vector<R>{{0, 40, 1, 80}, {255, 0, 1, 120}}));
    EXPECT_TRUE(fallback[1].marks.empty());
}

// Bars of a fractional width share pixels with their neighbours: the shares add up to a full pixel
// (no seam), the outer edges and the top take their part, and the whole is the bars' area.
TEST(HistogramGraphGeometryTest, CoverageIsTheExactAreaWithoutSeamsBetweenBars) {
    const std::vector<Rect> bars{{0.5, 1.25, 0.75, 2.75}, {1.25, 2, 0.75, 2}, {2, 3, 1.5, 1}};
    const auto covered = HistogramGraphGeometry::coverage(bars, 5, 4, 1);
    const auto at = [&](int x, int y) { return covered[static_cast<std::size_t>(y * 5 + x)]; };
    EXPECT_FLOAT_EQ(at(0, 3), 0.5f); // left edge at half a pixel
    EXPECT_FLOAT_EQ(at(1, 3), 1.0f); // two bars meet inside the pixel
    EXPECT_FLOAT_EQ(at(1, 2), 1.0f);
    EXPECT_FLOAT_EQ(at(1, 1), 0.75f * 0.25f); // only the first bar reaches the row, three quarters high
    EXPECT_FLOAT_EQ(at(2, 3), 1.0f);
    EXPECT_FLOAT_EQ(at(3, 3), 0.5f); // right edge at half a pixel
    EXPECT_FLOAT_EQ(at(4, 3), 0.0f);
    double total = 0;
    for (float share : covered)
        total += share;
    EXPECT_NEAR(total, 0.75 * 2.75 + 0.75 * 2 + 1.5, 1e-5);

    // At twice the scale the pixels are half as large; what lies past the grid is left out.
    const auto doubled = HistogramGraphGeometry::coverage({{0.25, 0, 10, 1}}, 4, 2, 2);
    EXPECT_EQ(doubled, (std::vector<float>{0.5f, 1, 1, 1, 0.5f, 1, 1, 1}));
}

} // namespace
} // namespace sorvin
