#include "ui/platform/qt_mount_watch.hpp"

#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>

namespace sorvin {

// /proc/self/mountinfo answers poll() with an exceptional condition once for each change of the
// table since the file was opened or last polled.
QtMountWatch::QtMountWatch() : table_(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC)) {
    if (table_ < 0) return;
    notifier_ = new QSocketNotifier(table_, QSocketNotifier::Exception, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        if (changed_) changed_();
    });
}

QtMountWatch::~QtMountWatch() {
    delete notifier_;
    if (table_ >= 0) ::close(table_);
}

MountTable QtMountWatch::table() const {
    return MountTable::read();
}

} // namespace sorvin
