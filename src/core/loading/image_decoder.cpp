#include "loading/image_decoder.hpp"

#include "model/orientation_transform.hpp"
#include "platform/area_resampler.hpp"
#include "platform/draw_or_none.hpp"
#include "platform/heif_file.hpp"
#include "platform/jpeg_decoder.hpp"
#include "platform/regular_file.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace sorvin {

namespace {

PhotoSource resolvedSource(const Photo& photo, std::optional<PhotoSource> source) {
    if (source) return *source;
    return photo.fileFormat == PhotoFileFormat::raw ? PhotoSource::raw : PhotoSource::jpeg;
}

SharedImage fitted(const SharedImage& image, int maximumPixelSize) {
    if (!image) return nullptr;
    const PixelSize size = ImageDecoder::fittedSize(image->width(), image->height(), maximumPixelSize);
    return drawOrNone([&] { return AreaResampler::resize(image, size.width, size.height); });
}

SharedImage decodeJpeg(std::span<const std::uint8_t> bytes, int maximumPixelSize) {
    auto picture = JpegDecoder::decode(bytes, maximumPixelSize);
    if (!picture) return nullptr;
    SharedImage image = fitted(picture->image, maximumPixelSize);
    const int orientation = picture->orientation ? static_cast<int>(*picture->orientation) : 1;
    if (!image || orientation < 2 || orientation > 8) return image;
    return OrientationTransform::transformedImage(image, orientation);
}

SharedImage decodeHeif(std::span<const std::uint8_t> bytes, int maximumPixelSize) {
    const auto file = HeifFile::open(bytes);
    if (!file) return nullptr;
    return fitted(file->decode(), maximumPixelSize);
}

} // namespace

PixelSize ImageDecoder::fittedSize(int width, int height, int maximumPixelSize) {
    const int longEdge = std::max(width, height);
    if (longEdge <= maximumPixelSize || maximumPixelSize < 1) return {width, height};
    const double scale = static_cast<double>(maximumPixelSize) / longEdge;
    return {std::max(1, static_cast<int>(std::round(width * scale))),
            std::max(1, static_cast<int>(std::round(height * scale)))};
}

SharedImage ImageDecoder::decode(std::span<const std::uint8_t> bytes, int maximumPixelSize) {
    if (maximumPixelSize < 1) return nullptr;
    if (JpegDecoder::looksLikeJpeg(bytes)) return decodeJpeg(bytes, maximumPixelSize);
    if (HeifFile::looksLikeHeif(bytes)) return decodeHeif(bytes, maximumPixelSize);
    return nullptr;
}

SharedImage ImageDecoder::decode(const Photo& photo, std::optional<PhotoSource> source,
                                 int maximumPixelSize) {
    const PhotoAsset asset = photo.asset(resolvedSource(photo, source));
    const auto file = RegularFile::open(asset.url, kMaxFileBytes);
    if (!file || maximumPixelSize < 1) return nullptr;
    std::vector<std::uint8_t> bytes;
    if (!file->readAll(bytes)) return nullptr;
    return decode(bytes, maximumPixelSize);
}

} // namespace sorvin
