// The folder scan's RAW property reader (LibRaw's identification and our TIFF walk) on the bytes of one file.

#include "image_properties_check.hpp"

SORVIN_FUZZ_TARGET(raw_properties) {
    using namespace sorvin;
    const fuzz::MemoryFile file(data);
    fuzz::checkProperties(ImagePropertiesReader::readRaw(file.path()));
}
