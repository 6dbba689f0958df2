#pragma once

#include "platform/byte_source.hpp"
#include "platform/exif_block.hpp"
#include "platform/regular_file.hpp"

#include <cstdint>
#include <optional>

namespace sorvin::TiffStructure {

// Reading of TIFF-structured data (TIFF-based RAW files, and the EXIF blocks of JPEG and HEIF
// files), bounded whatever the data claim: a limited number of IFDs, entries and values, no loops,
// every offset checked against the size before anything is allocated, and all the reading of one walk
// within a budget tied to the size of the data.

// Whether the data start with a TIFF header (or the Olympus or Panasonic variants of it).
bool isTiff(const RegularFile& file);

// Whether every strip and tile of every IFD (through the IFD chain and sub-IFDs) lies within the
// file. A structure that points outside the file or loops does not. The RAW data that Panasonic's
// files (RawDataOffset) and the Sony DSLR-A100's (tag 0x14A) locate by tags of their own count as
// strips: Panasonic's in whole 16 KiB blocks unless a strip count within the file gives their
// length, the A100's to the end of the file.
bool dataLiesWithinFile(const RegularFile& file);

// Where the image data of an IFD end, as its structure states it.
struct DataEnd {
    std::uint64_t position = 0;
    // Whether a decoder's bit reader may look a few bytes past that end without harm. Panasonic's
    // decoders read their data in blocks or rows that end there and never look past it.
    bool mayBeReadPast = true;
};

// Where the strips or tiles of the IFD whose data hold `position` (or whose table of tile or strip
// beginnings lies there) end, as the structure states it: the end of a RAW file's sensor data,
// given where the decoder begins to read it. Nothing when no IFD holds the position or one of its
// parts has no stated length.
std::optional<DataEnd> dataEnd(const RegularFile& file, std::uint64_t position);

// Orientation (IFD0) and DateTimeOriginal (EXIF IFD); whatever cannot be read is left empty.
ExifBasics exifBasics(const RegularFile& file);
ExifBasics exifBasics(const MemoryBytes& bytes);

} // namespace sorvin::TiffStructure
