// The TIFF structure reader: a TIFF-based RAW file as a whole, and the same bytes as the EXIF
// block of a JPEG or HEIF file.

#include "fuzz_support.hpp"
#include "fuzz_target.hpp"
#include "platform/regular_file.hpp"
#include "platform/tiff_structure.hpp"

SORVIN_FUZZ_TARGET(tiff) {
    using namespace sorvin;
    TiffStructure::exifBasics(MemoryBytes(data.data(), data.size()));
    const fuzz::MemoryFile memory(data);
    const auto file = RegularFile::open(memory.path(), data.size());
    fuzz::require(file.has_value(), "the memory file does not open");
    if (!TiffStructure::isTiff(*file)) return;
    fuzz::reached();
    TiffStructure::dataLiesWithinFile(*file);
    TiffStructure::exifBasics(*file);
}
