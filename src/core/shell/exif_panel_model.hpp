#pragma once

#include "loading/exif_display_values.hpp"
#include "loading/histogram_data.hpp"
#include "model/exif_copy_field.hpp"
#include "model/exif_metadata.hpp"
#include "model/photo.hpp"
#include "model/photo_source.hpp"
#include "platform/geometry.hpp"
#include "view/view_color.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sorvin {

class ExifLoader;
class HistogramLoader;

// The identity of the EXIF panel's scroll view: another photo or another parameter page puts the
// panel back at its top.
struct ExifPanelScrollResetID {
    std::optional<std::string> photoPath;
    int parameterTab = 0;
    bool operator==(const ExifPanelScrollResetID&) const = default;
};

// How a field's row takes part in the panel.
enum class ExifPanelRowKind : std::uint8_t {
    plain,    // always shown
    optional, // shown only when it has a value (or while EXIF is loading)
    fileName, // the file name, with the badge of the file shown
};

struct ExifPanelRowLayout {
    ExifCopyField field;
    ExifPanelRowKind kind;
};

// The panel's groups in drawing order.
struct ExifPanelLayout {
    static const std::array<std::vector<ExifPanelRowLayout>, 4>& groups();
    static constexpr double rowHeight = 24;
    static constexpr double graphHeight = 120;
    // The graph spans the panel width (itself kept within 220 ... 520) less the padding.
    static double graphWidth(double panelWidth);
};

// One row as the panel draws it.
struct ExifPanelRow {
    ExifCopyField field;
    std::string label;
    std::string value;
    ViewColor valueColor;
    bool checked = false;
    // Upper-cased extension of the file shown, on the file-name row only once EXIF is there.
    std::optional<std::string> badge;
    bool operator==(const ExifPanelRow&) const = default;
};

// Everything the EXIF and histogram panel shows, from the loaders and the photo on screen.
struct ExifPanelModel {
    struct Inputs {
        std::optional<Photo> photo;
        PhotoSource source = PhotoSource::jpeg;
        double rotation = 0;
        ExifCopyFieldSet copySelection;
        // What the loaders hold, and for which file.
        std::optional<ExifMetadata> metadata;
        std::optional<std::string> metadataPath;
        std::optional<PhotoSource> metadataSource;
        std::optional<HistogramData> histogram;
        std::optional<std::string> histogramPath;
    };

    std::vector<std::vector<ExifPanelRow>> groups;
    bool canCopyExif = false;
    std::optional<HistogramData> histogram;
    std::string clippingText;

    static Inputs inputs(const ExifLoader& exif, const HistogramLoader& histogram, const Photo* photo,
                         PhotoSource source, double rotation, const ExifCopyFieldSet& copySelection);
    static ExifPanelModel make(const Inputs& inputs);
    // A checkbox reports its new value; only a value that differs from the selection toggles.
    static bool checkboxChangeToggles(const ExifCopyFieldSet& selection, ExifCopyField field, bool newValue) {
        return selection.contains(field) != newValue;
    }

    static constexpr std::string_view kDash = "—";
};

// The rectangles of the histogram graph (points, y downward from the top edge), per channel.
struct HistogramGraphGeometry {
    struct Channel {
        ViewColor color;
        std::vector<Rect> bars;  // filled at opacity 0.55
        std::vector<Rect> marks; // clipped bins, at full opacity
    };
    static constexpr double barOpacity = 0.55;
    static constexpr double markHeight = 2;

    // Red, green, blue in drawing order; empty without data.
    static std::vector<Channel> make(const std::optional<HistogramData>& data, double width);

    // How much of each pixel of a width x height grid (row by row, 0 to 1) the rectangles cover, at
    // `scale` pixels per point: the exact area, as an antialiased fill gives. The rectangles must not
    // overlap; where two meet inside a pixel their shares add up, so no seam shows between bars.
    static std::vector<float> coverage(const std::vector<Rect>& rects, int width, int height, double scale);
};

} // namespace sorvin
