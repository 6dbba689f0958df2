#pragma once

#include "platform/mount_table.hpp"

#include <functional>

namespace sorvin {

// The mounts of the system as they come and go, for the places of the folder choosers; the UI
// implements it. Main thread only.
class MountWatch {
public:
    virtual ~MountWatch() = default;
    // The mounts now.
    virtual MountTable table() const = 0;
    // Called on the main thread after the mounts changed; one at a time, the last one set.
    virtual void setChanged(std::function<void()> changed) = 0;
};

} // namespace sorvin
