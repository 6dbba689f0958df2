#pragma once

#include "platform/mount_watch.hpp"

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace sorvin {

// The system's mounts as they come and go: the kernel marks the process's mount table when a
// mount is added or removed, and the event loop hears it. Reading the table touches no mounted
// file system. Main thread only.
class QtMountWatch final : public QObject, public MountWatch {
public:
    QtMountWatch();
    ~QtMountWatch() override;

    MountTable table() const override;
    void setChanged(std::function<void()> changed) override { changed_ = std::move(changed); }

private:
    int table_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::function<void()> changed_;
};

} // namespace sorvin
