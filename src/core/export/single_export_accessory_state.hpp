#pragma once

#include "model/single_export_format.hpp"

#include <functional>

namespace sorvin {

// The format choice of the single-photo save panel, apart from its two radio buttons: the view
// shows `format` and calls select() for a click. Every click is reported, also one on the format
// already chosen, after `format` has changed; creating the state reports nothing.
class SingleExportAccessoryState {
public:
    explicit SingleExportAccessoryState(SingleExportFormat format) : format_(format) {}

    SingleExportFormat format() const { return format_; }
    bool isSelected(SingleExportFormat format) const { return format_ == format; }

    std::function<void(SingleExportFormat)> onFormatChanged;

    void select(SingleExportFormat format) {
        format_ = format;
        if (onFormatChanged) onFormatChanged(format_);
    }

private:
    SingleExportFormat format_;
};

} // namespace sorvin
