#include "model/file_name_resolver.hpp"

#include <cerrno>
#include <fcntl.h>
#include <fmt/format.h>
#include <system_error>
#include <unistd.h>

namespace sorvin {

namespace {

bool isSingleComponent(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool isTaken(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    // Anything but a clear "nothing there" counts as taken, so we never pick a name we cannot see.
    return status.type() != std::filesystem::file_type::not_found;
}

// A name split where its numbers go: "IMG_0001" and ".jpg", or the whole name without an extension.
std::pair<std::string_view, std::string_view> baseAndExtension(std::string_view fileName) {
    const std::string extension = std::filesystem::path(fileName).extension().string();
    if (extension.size() > 1) // with its dot, letter case kept; only the last one counts
        return {fileName.substr(0, fileName.size() - extension.size()),
                fileName.substr(fileName.size() - extension.size())};
    return {fileName, {}}; // no extension, or a name ending in "."
}

} // namespace

std::string_view FileNameResolver::prefixWithin(std::string_view text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t cut = bytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return text.substr(0, cut);
}

std::string FileNameResolver::variantName(const std::string& fileName, int variant) {
    if (variant == 0) return fileName;
    const auto [base, extension] = baseAndExtension(fileName);
    const std::string tail = fmt::format("-{}{}", variant, extension);
    const std::size_t room = kMaximumNameBytes > tail.size() ? kMaximumNameBytes - tail.size() : 0;
    return std::string(prefixWithin(base, room)) + tail;
}

std::optional<int> FileNameResolver::variantNumber(const std::string& name, const std::string& fileName) {
    if (name == fileName) return 0;
    const auto extension = baseAndExtension(fileName).second;
    if (!name.ends_with(extension)) return std::nullopt;
    const std::string_view base = std::string_view(name).substr(0, name.size() - extension.size());
    const auto dash = base.rfind('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const std::string_view digits = base.substr(dash + 1);
    if (digits.empty() || digits.size() > 3 || digits.front() == '0' ||
        digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const int variant = std::stoi(std::string(digits));
    if (variantName(fileName, variant) != name) return std::nullopt;
    return variant;
}

std::optional<std::filesystem::path>
FileNameResolver::availableURL(const std::string& fileName, const std::filesystem::path& folder,
                               const std::function<bool(const std::filesystem::path&)>& alsoTaken) {
    if (!isSingleComponent(fileName)) return std::nullopt;
    for (int variant = 0; variant <= kMaximumVariant; ++variant) {
        std::filesystem::path candidate = folder / variantName(fileName, variant);
        if (!(alsoTaken && alsoTaken(candidate)) && !isTaken(candidate)) return candidate;
    }
    return std::nullopt;
}

std::optional<std::filesystem::path>
FileNameResolver::reserveAvailableURL(const std::string& fileName, const std::filesystem::path& folder) {
    if (!isSingleComponent(fileName)) return std::nullopt;
    for (int variant = 0; variant <= kMaximumVariant; ++variant) {
        std::filesystem::path candidate = folder / variantName(fileName, variant);
        // O_EXCL fails on any existing entry, links included, so nothing is ever replaced.
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            ::close(fd);
            return candidate;
        }
        if (errno != EEXIST) {
            throw std::filesystem::filesystem_error("cannot create file", candidate,
                                                    std::error_code(errno, std::generic_category()));
        }
    }
    return std::nullopt;
}

} // namespace sorvin
