#pragma once

#include "platform/signal.hpp"

namespace sorvin {

// Checks whether a newer version of the program exists and tells the user; installs nothing. The
// UI implements it. `canCheckChanged` carries every change of canCheckForUpdates().
class Updater {
public:
    virtual ~Updater() = default;
    virtual bool canCheckForUpdates() const = 0;
    virtual void checkForUpdates() = 0;

    Signal<bool> canCheckChanged;
};

} // namespace sorvin
