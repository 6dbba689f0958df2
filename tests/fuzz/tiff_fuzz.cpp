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
    const bool within = TiffStructure::dataLiesWithinFile(*file);
    TiffStructure::exifBasics(*file);
    // Where the data read from a position (the last four bytes name it) end: within the file
    // whenever every part lies within it.
    std::uint64_t position = 0;
    for (std::size_t i = data.size() >= 4 ? data.size() - 4 : 0; i < data.size(); ++i)
        position = (position << 8) | data[i];
    const auto end = TiffStructure::dataEnd(*file, position % (data.size() + 1));
    fuzz::require(!within || !end || end->position <= data.size(),
                  "the data end past a file that holds them");
}
