// The repair of a JPEG's mismatched EXIF thumbnail. Whatever the file holds, the repair changes
// at most the four bytes of IFD0's link to the thumbnail, and only to zeros.

#include "export/legacy_embedded_thumbnail_cleaner.hpp"
#include "fuzz_support.hpp"
#include "fuzz_target.hpp"

#include <fstream>
#include <iterator>
#include <vector>

SORVIN_FUZZ_TARGET(thumbnail_repair) {
    using namespace sorvin;
    using Cleaner = LegacyEmbeddedThumbnailCleaner;
    const auto reference = Cleaner::thumbnailReference(data);
    fuzz::require(!reference || reference->linkPosition + 4 <= data.size(), "the link lies outside the file");
    Cleaner::jpegSize(data);

    const fuzz::MemoryFile file(data);
    Cleaner::cleanIfNeeded(file.path());
    std::ifstream stream(file.path(), std::ios::binary);
    const std::vector<std::uint8_t> after{std::istreambuf_iterator<char>(stream), {}};
    fuzz::require(after.size() == data.size(), "the repair changed the file's size");
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (after[i] == data[i]) continue;
        const bool inLink = reference && i >= reference->linkPosition && i < reference->linkPosition + 4;
        fuzz::require(inLink && after[i] == 0, "the repair changed a byte outside the thumbnail link");
    }
}
