// The repair of a JPEG's mismatched EXIF thumbnail. Whatever the file holds, the repair changes
// at most the four bytes of IFD0's link to the thumbnail, and only to zeros; a thumbnail whose
// shape differs from the photo's is detached.

#include "export/legacy_embedded_thumbnail_cleaner.hpp"
#include "fuzz_support.hpp"
#include "fuzz_target.hpp"
#include "platform/atomic_file.hpp"

#include <fstream>
#include <iterator>
#include <vector>

namespace {

using Cleaner = sorvin::LegacyEmbeddedThumbnailCleaner;

// Whether the thumbnail the link leads to lies within the file and is of the other shape.
bool mismatched(std::span<const std::uint8_t> data, const Cleaner::ThumbnailReference& reference) {
    const std::uint64_t start = std::uint64_t{reference.tiffBase} + reference.offset;
    if (start > data.size() || reference.length > data.size() - start) return false;
    const auto thumbnail = Cleaner::jpegSize(data.subspan(start, reference.length));
    const auto photo = Cleaner::jpegSize(data);
    return thumbnail && photo && thumbnail->isPortrait() != photo->isPortrait();
}

} // namespace

SORVIN_FUZZ_TARGET(thumbnail_repair) {
    using namespace sorvin;
    const auto reference = Cleaner::thumbnailReference(data);
    fuzz::require(!reference || reference->linkPosition + 4 <= data.size(), "the link lies outside the file");
    if (Cleaner::jpegSize(data)) fuzz::reached();

    // A file of its own (the repair writes only through a name that is not a link).
    static const fuzz::TemporaryFolder folder("thumbnail");
    const auto file = folder.path() / "photo.jpg";
    AtomicFile::write(file, fuzz::text(data));
    Cleaner::cleanIfNeeded(file);
    std::ifstream stream(file, std::ios::binary);
    const std::vector<std::uint8_t> after{std::istreambuf_iterator<char>(stream), {}};
    fuzz::require(after.size() == data.size(), "the repair changed the file's size");
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (after[i] == data[i]) continue;
        const bool inLink = reference && i >= reference->linkPosition && i < reference->linkPosition + 4;
        fuzz::require(inLink && after[i] == 0, "the repair changed a byte outside the thumbnail link");
    }
    if (reference && mismatched(data, *reference))
        for (std::size_t i = reference->linkPosition; i < reference->linkPosition + 4; ++i)
            fuzz::require(after[i] == 0, "a thumbnail of the other shape stays attached");
}
