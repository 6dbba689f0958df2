// Joining a JPEG or HEIF file with the RAW file beside it.
#include "library/folder_scanner.hpp"
#include "platform/unicode_text.hpp"

#include <string_view>
#include <unordered_map>

namespace sorvin {

namespace {

// Files pair when they share a folder and a base name (the name without its last extension,
// lower-cased). Keys are built from the relative paths, which are already NFC, so canonically
// equivalent spellings meet.
std::string pairingKey(const Photo& photo) {
    const std::string_view path = photo.relativePath;
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    std::string_view name = path.substr(nameStart);
    if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos && dot > 0)
        name = name.substr(0, dot);
    // The directory keeps its letter case; a NUL cannot occur in either part.
    std::string key(path.substr(0, slash == std::string_view::npos ? 0 : slash));
    key += '\0';
    key += UnicodeText::nfc(UnicodeText::lowercased(name)).value_or(std::string(name));
    return key;
}

Photo joined(Photo&& display, const Photo& raw) {
    Photo photo = std::move(display);
    if (photo.orientation < 1 || photo.orientation > 8) photo.orientation = 1;
    photo.rawCompanionURL = raw.url;
    photo.rawCompanionRelativePath = raw.relativePath;
    photo.rawCompanionOrientation = raw.orientation;
    photo.rawCompanionPixelWidth = raw.pixelWidth;
    photo.rawCompanionPixelHeight = raw.pixelHeight;
    return photo;
}

} // namespace

std::pair<std::vector<Photo>, std::size_t> FolderScanner::pairRawAndDisplayFiles(std::vector<Photo> photos) {
    // Each group remembers its size and its first two members, all a pair needs.
    struct Group {
        std::size_t size = 0;
        std::size_t members[2] = {};
    };
    std::vector<const Group*> groupOf(photos.size());
    std::unordered_map<std::string, Group> groups;
    groups.reserve(photos.size());
    for (std::size_t i = 0; i < photos.size(); ++i) {
        Group& group = groups[pairingKey(photos[i])];
        if (group.size < 2) group.members[group.size] = i;
        ++group.size;
        groupOf[i] = &group; // elements of an unordered_map keep their address
    }

    std::vector<Photo> output;
    output.reserve(photos.size());
    std::vector<bool> consumed(photos.size(), false);
    std::size_t pairedCount = 0;
    for (std::size_t i = 0; i < photos.size(); ++i) {
        if (consumed[i]) continue;
        const Group& group = *groupOf[i];
        if (group.size == 2) {
            Photo& a = photos[group.members[0]];
            Photo& b = photos[group.members[1]];
            const bool aIsRaw = a.fileFormat == PhotoFileFormat::raw;
            const bool bIsRaw = b.fileFormat == PhotoFileFormat::raw;
            if (aIsRaw != bIsRaw) {
                output.push_back(aIsRaw ? joined(std::move(b), a) : joined(std::move(a), b));
                consumed[group.members[0]] = consumed[group.members[1]] = true;
                ++pairedCount;
                continue;
            }
        }
        output.push_back(std::move(photos[i]));
        consumed[i] = true;
    }
    return {std::move(output), pairedCount};
}

} // namespace sorvin
