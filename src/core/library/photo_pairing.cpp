// Joining a JPEG or HEIF file with the RAW file beside it.
#include "library/folder_scanner.hpp"
#include "platform/unicode_text.hpp"

#include <algorithm>
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
    // Only a group with a RAW file can make a pair: groups are keyed by the RAW files, and the other
    // files are only looked up. Each group remembers its size and its first two members.
    struct Group {
        std::size_t size = 0;
        std::size_t members[2] = {};
        void add(std::size_t member) {
            if (size < 2) members[size] = member;
            ++size;
        }
    };
    const auto isRaw = [&](std::size_t i) { return photos[i].fileFormat == PhotoFileFormat::raw; };
    std::unordered_map<std::string, Group> groups;
    for (std::size_t i = 0; i < photos.size(); ++i)
        if (isRaw(i)) groups[pairingKey(photos[i])].add(i);
    if (groups.empty()) return {std::move(photos), 0};
    for (std::size_t i = 0; i < photos.size(); ++i) {
        if (isRaw(i)) continue;
        if (const auto group = groups.find(pairingKey(photos[i])); group != groups.end())
            group->second.add(i);
    }

    // A pair takes the place of whichever of its files comes first; the other place empties.
    std::vector<char> emptied(photos.size(), 0);
    std::size_t pairedCount = 0;
    for (const auto& entry : groups) {
        const Group& group = entry.second;
        if (group.size != 2 || isRaw(group.members[0]) == isRaw(group.members[1])) continue;
        const std::size_t raw = isRaw(group.members[0]) ? group.members[0] : group.members[1];
        const std::size_t display = raw == group.members[0] ? group.members[1] : group.members[0];
        Photo pair = joined(std::move(photos[display]), photos[raw]);
        photos[std::min(raw, display)] = std::move(pair);
        emptied[std::max(raw, display)] = 1;
        ++pairedCount;
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < photos.size(); ++i) {
        if (emptied[i]) continue;
        if (kept != i) photos[kept] = std::move(photos[i]);
        ++kept;
    }
    photos.erase(photos.begin() + static_cast<std::ptrdiff_t>(kept), photos.end());
    return {std::move(photos), pairedCount};
}

} // namespace sorvin
