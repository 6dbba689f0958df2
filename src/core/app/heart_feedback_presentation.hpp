#pragma once

#include <cstdint>

namespace sorvin {

enum class HeartFeedbackKind { added, removed };

// One showing of the heart overlay; every showing has an id of its own, so a view can restart
// its animation when the same kind is shown twice in a row.
struct HeartFeedbackPresentation {
    std::uint64_t id = 0;
    HeartFeedbackKind kind = HeartFeedbackKind::added;

    friend bool operator==(const HeartFeedbackPresentation&, const HeartFeedbackPresentation&) = default;
};

} // namespace sorvin
