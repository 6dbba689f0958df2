// The folder scan's HEIF property reader on the bytes of one file.

#include "image_properties_check.hpp"

SORVIN_FUZZ_TARGET(heif_properties) {
    using namespace sorvin;
    const fuzz::MemoryFile file(data);
    fuzz::checkProperties(ImagePropertiesReader::readHeif(file.path()));
}
