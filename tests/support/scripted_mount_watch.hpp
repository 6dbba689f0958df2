#pragma once

#include "platform/mount_watch.hpp"

#include <functional>
#include <string>
#include <utility>

namespace sorvin::test {

// The mounts as a test sets them: a mount table's text, and the word that it changed.
class ScriptedMountWatch final : public MountWatch {
public:
    MountTable table() const override { return MountTable::parse(mountinfo); }
    void setChanged(std::function<void()> changed) override { changed_ = std::move(changed); }

    // The table becomes `text` and whoever watches hears of it.
    void change(std::string text) {
        mountinfo = std::move(text);
        if (changed_) changed_();
    }
    bool isWatched() const { return static_cast<bool>(changed_); }

    std::string mountinfo;

private:
    std::function<void()> changed_;
};

// One line of /proc/self/mountinfo for a mount of `type` at `point`.
inline std::string mountinfoLine(int id, const std::string& point, const std::string& type,
                                 const std::string& source) {
    return std::to_string(id) + " 1 8:" + std::to_string(id) + " / " + point + " rw,relatime shared:" +
           std::to_string(id) + " - " + type + " " + source + " rw\n";
}

} // namespace sorvin::test
