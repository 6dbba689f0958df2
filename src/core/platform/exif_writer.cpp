#include "platform/exif_writer.hpp"

#include "platform/exif_block.hpp"

#include <algorithm>
#include <array>
#include <exiv2/exiv2.hpp>
#include <string_view>

namespace sorvin::ExifWriter {

namespace {

// Tags of IFD0 that describe the photo rather than the layout of the source's pixels.
constexpr std::array<std::string_view, 10> kImageTags{
    "Make",        "Model",       "DateTime",       "Artist",      "Copyright", "ImageDescription",
    "XResolution", "YResolution", "ResolutionUnit", "HostComputer"};

bool keeps(const Exiv2::Exifdatum& datum) {
    const std::string group = datum.groupName();
    const std::string tag = datum.tagName();
    if (group == "Image") return std::find(kImageTags.begin(), kImageTags.end(), tag) != kImageTags.end();
    if (group == "Photo") return tag != "MakerNote" && tag != "InteroperabilityTag";
    return group == "GPSInfo" || group == "Iop";
}

Exiv2::ExifData sourceData(const std::filesystem::path& source) {
    try {
        auto image = Exiv2::ImageFactory::open(source.string());
        if (!image.get()) return {};
        image->readMetadata();
        return image->exifData();
    } catch (...) {
        return {};
    }
}

std::string encoded(const Exiv2::ExifData& data) {
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, data);
    return std::string(blob.begin(), blob.end());
}

} // namespace

std::string forRenderedImage(const std::filesystem::path& source, int width, int height,
                             const std::string& software, std::size_t maximumBytes) {
    ExifBlock::initializeLibrary();
    try {
        Exiv2::ExifData data;
        for (const auto& datum : sourceData(source))
            if (keeps(datum)) data.add(datum);
        data["Exif.Image.Orientation"] = static_cast<std::uint16_t>(1);
        data["Exif.Image.Software"] = software;
        data["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(std::max(width, 0));
        data["Exif.Photo.PixelYDimension"] = static_cast<std::uint32_t>(std::max(height, 0));
        data["Exif.Photo.ColorSpace"] = static_cast<std::uint16_t>(1);
        std::string bytes = encoded(data);
        while (bytes.size() > maximumBytes && !data.empty()) {
            auto largest = std::max_element(data.begin(), data.end(),
                                            [](const auto& a, const auto& b) { return a.size() < b.size(); });
            data.erase(largest);
            bytes = encoded(data);
        }
        return bytes.size() <= maximumBytes ? bytes : std::string();
    } catch (...) {
        return {};
    }
}

} // namespace sorvin::ExifWriter
