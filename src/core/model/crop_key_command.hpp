#pragma once

#include "model/manual_crop.hpp"

#include <optional>

namespace sorvin {

// The arrow keys of the crop mode, by virtual key code; modifiers make no difference.
struct CropKeyCommand {
    static constexpr std::optional<CropDirection> direction(int keyCode) {
        switch (keyCode) {
        case 123:
            return CropDirection::left;
        case 124:
            return CropDirection::right;
        case 125:
            return CropDirection::down;
        case 126:
            return CropDirection::up;
        default:
            return std::nullopt;
        }
    }
};

} // namespace sorvin
