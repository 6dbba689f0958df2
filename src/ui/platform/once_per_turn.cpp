#include "ui/platform/once_per_turn.hpp"

namespace sorvin {

void OncePerTurn::request() {
    if (pending_) return;
    pending_ = true;
    QMetaObject::invokeMethod(
        context_,
        [this] {
            pending_ = false;
            action_();
        },
        Qt::QueuedConnection);
}

} // namespace sorvin
