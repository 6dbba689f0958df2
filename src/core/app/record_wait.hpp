#pragma once

#include "persistence/selection_store_lock.hpp"

#include <optional>

namespace sorvin {

// Why the loading screen waits before it reads the folder's record: a save of the folder by this
// copy is still being written, or another copy of the program has the folder open or is still
// saving it.
struct RecordWait {
    std::optional<SelectionRecordHolder> otherCopy; // nothing: this copy's own save

    bool operator==(const RecordWait&) const = default;
};

} // namespace sorvin
