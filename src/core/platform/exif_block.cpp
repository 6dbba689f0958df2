#include "platform/exif_block.hpp"

#include <exiv2/exiv2.hpp>
#include <mutex>

namespace sorvin::ExifBlock {

namespace {

ExifBasics basicsOf(const Exiv2::ExifData& data) {
    ExifBasics basics;
    if (auto it = data.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        it != data.end() && it->count() > 0) {
        if (it->typeId() == Exiv2::unsignedShort || it->typeId() == Exiv2::unsignedLong ||
            it->typeId() == Exiv2::signedShort || it->typeId() == Exiv2::signedLong)
            basics.orientation = it->toLong(0);
    }
    if (auto it = data.findKey(Exiv2::ExifKey("Exif.Photo.DateTimeOriginal"));
        it != data.end() && it->typeId() == Exiv2::asciiString) {
        std::string text = it->toString();
        // Some writers keep the terminating NUL inside the counted bytes.
        while (!text.empty() && text.back() == '\0')
            text.pop_back();
        basics.dateTimeOriginal = std::move(text);
    }
    return basics;
}

} // namespace

void initializeLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::LogMsg::setHandler(nullptr);
        Exiv2::XmpParser::initialize();
        Exiv2::enableBMFF(true);
    });
}

ExifBasics parse(const std::uint8_t* bytes, std::size_t size) {
    initializeLibrary();
    if (bytes == nullptr || size < 8 || size > 0xFFFFFFFFu) return {};
    try {
        Exiv2::ExifData data;
        Exiv2::ExifParser::decode(data, bytes, static_cast<std::uint32_t>(size));
        return basicsOf(data);
    } catch (...) {
        return {};
    }
}

ExifBasics readFile(const std::filesystem::path& path) {
    initializeLibrary();
    try {
        auto image = Exiv2::ImageFactory::open(path.string());
        if (!image.get()) return {};
        image->readMetadata();
        return basicsOf(image->exifData());
    } catch (...) {
        return {};
    }
}

} // namespace sorvin::ExifBlock
