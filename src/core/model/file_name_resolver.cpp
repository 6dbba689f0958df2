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

// The candidate names in order: the name itself, then its numbered variants.
class Candidates {
public:
    explicit Candidates(const std::string& fileName) : name_(fileName) {
        const std::filesystem::path path(fileName);
        const std::string extension = path.extension().string();
        if (extension.size() > 1) {
            base_ = path.stem().string();
            extension_ = extension; // with its dot, letter case kept
        } else {
            base_ = fileName; // no extension, or a name ending in "."
        }
    }
    std::string operator[](int variant) const {
        if (variant == 0) return name_;
        return fmt::format("{}-{}{}", base_, variant, extension_);
    }

private:
    std::string name_;
    std::string base_;
    std::string extension_;
};

} // namespace

std::optional<std::filesystem::path>
FileNameResolver::availableURL(const std::string& fileName, const std::filesystem::path& folder,
                               const std::function<bool(const std::filesystem::path&)>& alsoTaken) {
    if (!isSingleComponent(fileName)) return std::nullopt;
    const Candidates candidates(fileName);
    for (int variant = 0; variant <= kMaximumVariant; ++variant) {
        std::filesystem::path candidate = folder / candidates[variant];
        if (!(alsoTaken && alsoTaken(candidate)) && !isTaken(candidate)) return candidate;
    }
    return std::nullopt;
}

std::optional<std::filesystem::path>
FileNameResolver::reserveAvailableURL(const std::string& fileName, const std::filesystem::path& folder) {
    if (!isSingleComponent(fileName)) return std::nullopt;
    const Candidates candidates(fileName);
    for (int variant = 0; variant <= kMaximumVariant; ++variant) {
        std::filesystem::path candidate = folder / candidates[variant];
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
