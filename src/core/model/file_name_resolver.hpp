#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace sorvin {

// Finds a free variant of a file name in a folder, for writing without replacing what is there:
// the name itself, else base-1.ext, base-2.ext, ... up to base-999.ext, the base cut short where a
// numbered name would be longer than a disk takes. Anything present under a name (a file, a
// folder, even a dangling link) makes it taken. Names that are not a single path component ("",
// ".", "..", anything with "/") have no free variant.
struct FileNameResolver {
    static constexpr int kMaximumVariant = 999;
    // The longest name the disks take: bytes on Linux's own file systems, UTF-16 units (never more
    // than bytes) on FAT, exFAT and NTFS.
    static constexpr std::size_t kMaximumNameBytes = 255;

    // Variant n of a name (0: the name itself): base-n.ext, with the base cut short at a
    // character's start where the whole would be longer than kMaximumNameBytes.
    static std::string variantName(const std::string& fileName, int variant);
    // Which variant of fileName the name is; none when it is none of them.
    static std::optional<int> variantNumber(const std::string& name, const std::string& fileName);
    // The longest start of a UTF-8 text that is at most `bytes` long and ends where a character
    // ends.
    static std::string_view prefixWithin(std::string_view text, std::size_t bytes);

    // The first free name, without creating anything; a name for which alsoTaken, when given,
    // is true counts as taken too. Another writer may take the name before the caller writes it;
    // use reserveAvailableURL() when that matters.
    static std::optional<std::filesystem::path>
    availableURL(const std::string& fileName, const std::filesystem::path& folder,
                 const std::function<bool(const std::filesystem::path&)>& alsoTaken = {});

    // Creates an empty file under the first free name, exclusively: a name that someone else took
    // since it was tested is skipped and the next variant tried. The caller then replaces the
    // empty file with its content (AtomicFile::write) or removes it on failure. None when all
    // variants are taken; throws std::filesystem::filesystem_error when the folder refuses.
    static std::optional<std::filesystem::path> reserveAvailableURL(const std::string& fileName,
                                                                    const std::filesystem::path& folder);
};

} // namespace sorvin
