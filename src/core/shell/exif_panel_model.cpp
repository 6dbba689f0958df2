#include "shell/exif_panel_model.hpp"

#include "loading/exif_copy_text.hpp"
#include "loading/exif_loader.hpp"
#include "loading/histogram_loader.hpp"
#include "shell/source_badge_presentation.hpp"

#include <algorithm>
#include <fmt/format.h>

namespace sorvin {

const std::array<std::vector<ExifPanelRowLayout>, 4>& ExifPanelLayout::groups() {
    using F = ExifCopyField;
    using K = ExifPanelRowKind;
    static const std::array<std::vector<ExifPanelRowLayout>, 4> table{{
        {{F::shutter, K::plain},
         {F::aperture, K::plain},
         {F::iso, K::plain},
         {F::exposureComp, K::plain},
         {F::exposureMode, K::plain}},
        {{F::focalLength, K::plain},
         {F::focal35, K::plain},
         {F::lens, K::plain},
         {F::lensSpecification, K::optional}},
        {{F::camera, K::plain}, {F::dateTime, K::plain}, {F::imageNumber, K::optional}},
        {{F::fileName, K::fileName},
         {F::pixelSize, K::plain},
         {F::fileSize, K::plain},
         {F::bodySerial, K::optional},
         {F::lensSerial, K::optional},
         {F::rotation, K::plain}},
    }};
    return table;
}

double ExifPanelLayout::graphWidth(double panelWidth) {
    return std::max(0.0, std::min(std::max(panelWidth, 220.0), 520.0) - 24);
}

ExifPanelModel::Inputs ExifPanelModel::inputs(const ExifLoader& exif, const HistogramLoader& histogram,
                                              const Photo* photo, PhotoSource source, double rotation,
                                              const ExifCopyFieldSet& copySelection) {
    Inputs in;
    if (photo) in.photo = *photo;
    in.source = source;
    in.rotation = rotation;
    in.copySelection = copySelection;
    in.metadata = exif.metadata();
    in.metadataPath = exif.currentPath();
    in.metadataSource = exif.currentSource();
    in.histogram = histogram.data();
    in.histogramPath = histogram.currentPath();
    return in;
}

ExifPanelModel ExifPanelModel::make(const Inputs& in) {
    // EXIF of the previous photo, or of the other file of a pair, never shows while new values load.
    std::optional<ExifMetadata> metadata;
    if (in.photo && in.metadataPath == in.photo->relativePath && in.metadataSource == in.source)
        metadata = in.metadata;
    const ExifDisplayValues values(metadata, in.rotation);

    ExifPanelModel model;
    for (const auto& group : ExifPanelLayout::groups()) {
        std::vector<ExifPanelRow> rows;
        for (const ExifPanelRowLayout& layoutRow : group) {
            const auto& value = values.value(layoutRow.field);
            if (layoutRow.kind == ExifPanelRowKind::optional) {
                if (!metadata && !in.photo) continue;
                if (metadata && !value) continue;
            }
            ExifPanelRow row{layoutRow.field,   std::string(panelLabel(layoutRow.field)),   {},
                             ViewPalette::text, in.copySelection.contains(layoutRow.field), std::nullopt};
            if (layoutRow.field == ExifCopyField::rotation && in.photo) {
                row.value = value.value_or("");
            } else if (metadata) {
                row.value = value.value_or(std::string(kDash));
                if (layoutRow.kind == ExifPanelRowKind::fileName && in.photo)
                    row.badge = FileNameParts::badgeText(in.photo->asset(in.source).url);
            }
            // The file name keeps the text colour even as a dash.
            if (row.value == kDash && layoutRow.kind != ExifPanelRowKind::fileName)
                row.valueColor = ViewPalette::dashGrey;
            rows.push_back(std::move(row));
        }
        model.groups.push_back(std::move(rows));
    }
    model.canCopyExif = in.photo && !ExifCopyText::make(values, in.copySelection).empty();
    if (in.photo && in.histogramPath == in.photo->relativePath) model.histogram = in.histogram;
    model.clippingText = model.histogram ? fmt::format("黒つぶれ {:.1f}%   白飛び {:.1f}%",
                                                       model.histogram->blackClippingPercentage,
                                                       model.histogram->whiteClippingPercentage)
                                         : "黒つぶれ —   白飛び —";
    return model;
}

std::vector<HistogramGraphGeometry::Channel>
HistogramGraphGeometry::make(const std::optional<HistogramData>& data, double width) {
    std::vector<Channel> channels;
    if (!data) return channels;
    const double barWidth = width / 256;
    const std::array<std::pair<const std::vector<double>*, ViewColor>, 3> sources{{
        {&data->red, ViewPalette::histogramRed},
        {&data->green, ViewPalette::histogramGreen},
        {&data->blue, ViewPalette::histogramBlue},
    }};
    for (const auto& [counts, color] : sources) {
        Channel channel{color, {}, {}};
        const auto heights = data->heights(*counts, ExifPanelLayout::graphHeight);
        const auto clipped = data->clippedBins(*counts);
        const std::size_t n = std::min<std::size_t>(heights.size(), 256);
        for (std::size_t i = 0; i < n; ++i) {
            const double h = heights[i];
            if (!(h > 0)) continue;
            const double x = barWidth * static_cast<double>(i);
            channel.bars.push_back({x, ExifPanelLayout::graphHeight - h, barWidth, h});
            if (i < clipped.size() && clipped[i]) channel.marks.push_back({x, 0, barWidth, markHeight});
        }
        channels.push_back(std::move(channel));
    }
    return channels;
}

std::vector<float> HistogramGraphGeometry::coverage(const std::vector<Rect>& rects, int width, int height,
                                                    double scale) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    std::vector<float> covered(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0.0f);
    std::vector<float> columnShares;
    for (const Rect& rect : rects) {
        const double left = std::max(rect.minX() * scale, 0.0);
        const double right = std::min(rect.maxX() * scale, static_cast<double>(width));
        const double top = std::max(rect.minY() * scale, 0.0);
        const double bottom = std::min(rect.maxY() * scale, static_cast<double>(height));
        if (!(left < right && top < bottom)) continue;
        const int firstColumn = static_cast<int>(left);
        columnShares.clear();
        for (int x = firstColumn; x < right; ++x)
            columnShares.push_back(
                static_cast<float>(std::min(right, x + 1.0) - std::max(left, static_cast<double>(x))));
        for (int y = static_cast<int>(top); y < bottom; ++y) {
            const auto rowShare =
                static_cast<float>(std::min(bottom, y + 1.0) - std::max(top, static_cast<double>(y)));
            float* row = covered.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                         static_cast<std::size_t>(firstColumn);
            for (std::size_t i = 0; i < columnShares.size(); ++i)
                row[i] += rowShare * columnShares[i];
        }
    }
    // Shares of neighbours can add up to a hair over one.
    for (float& share : covered)
        share = std::min(share, 1.0f);
    return covered;
}

} // namespace sorvin
