#pragma once

#include "loading/loader_operations.hpp"
#include "model/photo_edit_geometry.hpp"
#include "model/photo_rotation.hpp"
#include "platform/image.hpp"
#include "support/test_parameters.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace sorvin::test {

// The whole upright photo developed as the loader develops the screen's image, at the photo's own
// size: neither turned nor cropped.
inline SharedImage screenDevelopment(const SharedImage& upright, const PhotoParameters& parameters,
                                     double rotation, const ManualCrop& crop) {
    ParameterOperation operation;
    operation.parameters = parameters;
    operation.rotation = rotation;
    operation.crop = crop;
    operation.source = upright;
    operation.targetLongEdge = std::max(upright->width(), upright->height());
    operation.develop = PreviewDevelopment::engine();
    const std::optional<SharedImage> developed = operation.run(neverCancelled());
    return developed ? *developed : nullptr;
}

// What the screen shows of an upright photo, at the photo's own size: its development turned and
// cropped as the canvas draws it. An export, the copied image and the loupe must show this.
inline SharedImage screenPicture(const SharedImage& upright, const PhotoParameters& parameters,
                                 double rotation, const ManualCrop& crop) {
    return PhotoEditGeometry::croppedImage(
        PhotoRotation::transformedImage(screenDevelopment(upright, parameters, rotation, crop), rotation),
        crop);
}

// A flat opaque grey image.
inline SharedImage flatGrey(int width, int height, std::uint8_t level = 128) {
    PixelBuffer buffer(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = buffer.row(y) + 4 * static_cast<std::size_t>(x);
            p[0] = p[1] = p[2] = level;
            p[3] = 255;
        }
    return makeImage(std::move(buffer));
}

// Peak signal-to-noise ratio of two images of one size over their colour channels, in dB (99 for
// equal images).
inline double psnr(const Image& a, const Image& b) {
    double squares = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < 4 * a.width(); ++x) {
            if (x % 4 == 3) continue;
            const double d = a.row(y)[x] - b.row(y)[x];
            squares += d * d;
        }
    const double mean = squares / (3.0 * a.width() * a.height());
    return mean == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mean);
}

// How many pixels of two images differ (all of them when the sizes differ).
inline long differingPixels(const Image& a, const Image& b) {
    if (a.width() != b.width() || a.height() != b.height())
        return std::max(1L, static_cast<long>(a.width()) * a.height());
    long differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            differing += std::memcmp(a.row(y) + 4 * static_cast<std::size_t>(x),
                                     b.row(y) + 4 * static_cast<std::size_t>(x), 4) != 0;
    return differing;
}

// The pixels of an image's outline at a green level: those at or below it with a neighbour above
// it, as centres.
inline std::vector<Point> outline(const Image& image, int level) {
    std::vector<Point> points;
    const auto above = [&](int x, int y) {
        return image.row(y)[4 * static_cast<std::size_t>(x) + 1] > level;
    };
    for (int y = 1; y + 1 < image.height(); ++y)
        for (int x = 1; x + 1 < image.width(); ++x)
            if (!above(x, y) && (above(x - 1, y) || above(x + 1, y) || above(x, y - 1) || above(x, y + 1)))
                points.push_back({x + 0.5, y + 0.5});
    return points;
}

// How far apart two images of one size draw a shape whose edge crosses a green level: the largest
// distance from a point of either outline to the nearest point of the other, in pixels; infinite
// when one of them has no outline.
inline double outlineDistance(const Image& a, const Image& b, int level) {
    const std::vector<Point> first = outline(a, level), second = outline(b, level);
    if (first.empty() || second.empty()) return std::numeric_limits<double>::infinity();
    const auto farthest = [](const std::vector<Point>& from, const std::vector<Point>& to) {
        double worst = 0;
        for (const Point& p : from) {
            double nearest = std::numeric_limits<double>::infinity();
            for (const Point& q : to)
                nearest = std::min(nearest, (p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y));
            worst = std::max(worst, nearest);
        }
        return std::sqrt(worst);
    };
    return std::max(farthest(first, second), farthest(second, first));
}

// A turn and a crop as the user sets them.
struct Framing {
    const char* name;
    double rotation;
    ManualCrop crop;
};

// For a 600 x 400 photo: a 1:1 crop from x = 100, a crop turned by 5°, a quarter turn with a crop.
inline std::vector<Framing> framings() {
    return {{"1:1 crop from x = 100", 0, ManualCrop{CropAspect::ratio(1, 1), 100, 1667, 0}},
            {"7:3 crop turned 5°", 5, ManualCrop{CropAspect::ratio(7, 3), 80, 3000, 1000}},
            {"4:5 crop after a quarter turn", 90, ManualCrop{CropAspect::ratio(4, 5), 70, 3000, 3000}}};
}

// A feathered circle right of the photo's centre that darkens strongly.
inline PhotoParameters strongCircle() {
    return withMask(MaskKind::circular(), {{PhotoParameter::circular_mask_amount, 100},
                                           {PhotoParameter::circular_mask_center_x, 600},
                                           {PhotoParameter::circular_mask_center_y, 400},
                                           {PhotoParameter::circular_mask_size, 40},
                                           {PhotoParameter::circular_mask_feather, 40},
                                           {PhotoParameter::exposure, -100}});
}

// A narrow band at 45° through the photo's centre that brightens strongly.
inline PhotoParameters narrowBand() {
    return withMask(MaskKind::linear(), {{PhotoParameter::linear_mask_amount, 100},
                                         {PhotoParameter::linear_mask_angle, 25},
                                         {PhotoParameter::linear_mask_width, 4},
                                         {PhotoParameter::exposure, 100}});
}

// The green level halfway between an image's darkest and lightest: where a mask's shape on a flat
// photo has its outline.
inline int halfwayLevel(const Image& image) {
    int low = 255, high = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            low = std::min<int>(low, image.row(y)[4 * static_cast<std::size_t>(x) + 1]);
            high = std::max<int>(high, image.row(y)[4 * static_cast<std::size_t>(x) + 1]);
        }
    return (low + high) / 2;
}

} // namespace sorvin::test
