// The folder scan's JPEG property reader on the bytes of one file.

#include "image_properties_check.hpp"

SORVIN_FUZZ_TARGET(jpeg_properties) {
    using namespace sorvin;
    const fuzz::MemoryFile file(data);
    fuzz::checkProperties(ImagePropertiesReader::readJpeg(file.path()));
}
