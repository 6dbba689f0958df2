#pragma once

#include "support/bind_mount.hpp"
#include "support/fuse_mount.hpp"

#include <filesystem>
#include <optional>
#include <string>

namespace sorvin::test {

// A folder shown once more at another place, by either kind of mount a user meets: a bind mount
// (the same file system, the same nodes) or a FUSE mount (bindfs: a device and nodes of its own,
// as sshfs or a network share). Check skipReason() first: where the kind cannot be mounted, it
// says why.
class FolderMount {
public:
    enum class Kind { bind, fuse };

    FolderMount(Kind kind, const std::filesystem::path& folder, const std::filesystem::path& onto) : at_(onto) {
        if (kind == Kind::fuse) {
            skipReason_ = fuse_.emplace(folder, onto).skipReason();
        } else if (!bind_.emplace(folder, onto).mounted()) {
            skipReason_ = "binding a folder needs root";
        }
    }

    const std::string& skipReason() const { return skipReason_; }
    const std::filesystem::path& path() const { return at_; }

    static const char* nameOf(Kind kind) { return kind == Kind::bind ? "bind mount" : "FUSE mount"; }

private:
    std::filesystem::path at_;
    std::string skipReason_;
    std::optional<BindMount> bind_;
    std::optional<FuseMirror> fuse_;
};

} // namespace sorvin::test
