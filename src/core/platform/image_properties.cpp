#include "platform/image_properties.hpp"

namespace sorvin::ImagePropertiesReader {

std::optional<ImageProperties> read(const std::filesystem::path& path, ImageContainer container) {
    switch (container) {
    case ImageContainer::jpeg:
        return readJpeg(path);
    case ImageContainer::heif:
        return readHeif(path);
    case ImageContainer::raw:
        return readRaw(path);
    }
    return std::nullopt;
}

} // namespace sorvin::ImagePropertiesReader
