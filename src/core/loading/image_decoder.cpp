#include "loading/image_decoder.hpp"

#include "engine/display_adjustment_resolution.hpp"
#include "engine/raw_developer.hpp"
#include "model/orientation_transform.hpp"
#include "platform/heif_file.hpp"
#include "platform/jpeg_decoder.hpp"
#include "platform/regular_file.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <new>
#include <system_error>

namespace sorvin {

namespace {

// The long edge brought down to the size asked for, never enlarged.
SharedImage fitted(const SharedImage& image, int maximumPixelSize) {
    if (!image) return nullptr;
    return DisplayAdjustmentResolution::resized(image, maximumPixelSize);
}

// The DCT's fast scales (1/8, 1/4, 1/2) cost far less than a full decode and a resample. When one
// of them falls short of the size asked for by no more than a tenth, its picture is taken as it
// is: a 6000-pixel photo asked for at 3200 comes from the half-scale decode at 3000 pixels (two
// thirds of the full decode's time, and no resample) rather than from a full decode brought down
// to 3200. The long edge is still at most the size asked for, which is all a caller relies on.
constexpr double kAcceptedShortfall = 0.9;

// The DCT scale chosen by the smallest long edge wanted, brought down to the largest one allowed.
SharedImage decodeJpeg(std::span<const std::uint8_t> bytes, int minimumLongEdge, int maximumPixelSize,
                       const CancellationProbe& isCancelled, DamagedData damaged) {
    auto picture = JpegDecoder::decode(bytes, minimumLongEdge, isCancelled, damaged);
    if (!picture) return nullptr;
    SharedImage image = fitted(picture->image, maximumPixelSize);
    const int orientation = picture->orientation ? static_cast<int>(*picture->orientation) : 1;
    if (!image || orientation < 2 || orientation > 8) return image;
    return OrientationTransform::transformedImage(image, orientation);
}

SharedImage decodeHeif(std::span<const std::uint8_t> bytes, int maximumPixelSize, DamagedData damaged) {
    const auto file = HeifFile::open(bytes);
    if (!file) return nullptr;
    return fitted(file->decode(damaged), maximumPixelSize);
}

SharedImage decodeBytes(std::span<const std::uint8_t> bytes, int minimumLongEdge, int maximumPixelSize,
                        const CancellationProbe& isCancelled, DamagedData damaged) {
    if (JpegDecoder::looksLikeJpeg(bytes))
        return decodeJpeg(bytes, minimumLongEdge, maximumPixelSize, isCancelled, damaged);
    if (HeifFile::looksLikeHeif(bytes)) return decodeHeif(bytes, maximumPixelSize, damaged);
    return nullptr;
}

int enoughFor(int maximumPixelSize) {
    return static_cast<int>(std::ceil(kAcceptedShortfall * maximumPixelSize));
}

// A source's file opened, with its first bytes. Nothing when it cannot be opened, or lies beyond
// the limit of its kind: refused says why (file_too_large for the limit).
struct OpenedPhotoFile {
    RegularFile file;
    std::array<std::uint8_t, 16> head{};
    std::size_t headSize = 0;

    std::span<const std::uint8_t> start() const { return {head.data(), headSize}; }
    bool isJpegOrHeif() const {
        return JpegDecoder::looksLikeJpeg(start()) || HeifFile::looksLikeHeif(start());
    }
};

std::optional<OpenedPhotoFile> openPhotoFile(const PhotoAsset& asset, std::error_code& refused) {
    auto file = RegularFile::open(
        asset.url, std::max<std::uint64_t>(ImageDecoder::kMaxFileBytes, RawFilter::kMaxFileBytes), refused);
    if (!file) return std::nullopt;
    OpenedPhotoFile opened{std::move(*file)};
    opened.headSize =
        static_cast<std::size_t>(std::min<std::uint64_t>(opened.file.size(), opened.head.size()));
    if (!opened.file.readAt(0, opened.head.data(), opened.headSize)) {
        refused = std::make_error_code(std::errc::io_error);
        return std::nullopt;
    }
    if (opened.isJpegOrHeif() && opened.file.size() > ImageDecoder::kMaxFileBytes) {
        refused = std::make_error_code(std::errc::file_too_large);
        return std::nullopt;
    }
    return opened;
}

SharedImage decodeFile(const Photo& photo, std::optional<PhotoSource> source, int minimumLongEdge,
                       int maximumPixelSize, const CancellationProbe& isCancelled, DamagedData damaged) {
    const PhotoAsset asset = photo.asset(photo.resolvedSource(source));
    std::error_code refused;
    auto opened = openPhotoFile(asset, refused);
    if (!opened || maximumPixelSize < 1) return nullptr;
    const RegularFile& file = opened->file;

    if (opened->isJpegOrHeif()) {
        try {
            const auto bytes = file.readAll();
            if (!bytes) return nullptr;
            return decodeBytes(bytes->span(), minimumLongEdge, maximumPixelSize, isCancelled, damaged);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    if (asset.fileFormat != PhotoFileFormat::raw) return nullptr;
    // A RAW file asked for as a picture: its development with the default RAW values.
    RawDevelopmentRequest request;
    request.photoIdentifier = asset.relativePath;
    request.asset = asset;
    request.asset.url = file.descriptorPath();
    request.maximumLongEdge = maximumPixelSize;
    request.isCancelled = isCancelled;
    request.damagedData = damaged;
    const auto developed = RawDeveloper::develop(request);
    return developed ? fitted(developed->image, maximumPixelSize) : nullptr;
}

} // namespace

SharedImage ImageDecoder::decode(std::span<const std::uint8_t> bytes, int maximumPixelSize) {
    if (maximumPixelSize < 1) return nullptr;
    return decodeBytes(bytes, enoughFor(maximumPixelSize), maximumPixelSize, {}, DamagedData::filledIn);
}

SharedImage ImageDecoder::decode(const Photo& photo, std::optional<PhotoSource> source, int maximumPixelSize,
                                 const CancellationProbe& isCancelled) {
    return decodeFile(photo, source, enoughFor(maximumPixelSize), maximumPixelSize, isCancelled,
                      DamagedData::filledIn);
}

std::error_code ImageDecoder::whyUnreadable(const Photo& photo, std::optional<PhotoSource> source) {
    std::error_code refused;
    openPhotoFile(photo.asset(photo.resolvedSource(source)), refused);
    return refused;
}

SharedImage ImageDecoder::decodeAtLeast(const Photo& photo, std::optional<PhotoSource> source,
                                        int minimumLongEdge) {
    return decodeFile(photo, source, std::max(minimumLongEdge, 0), std::numeric_limits<int>::max(), {},
                      DamagedData::refused);
}

} // namespace sorvin
