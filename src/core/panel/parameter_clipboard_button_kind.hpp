#pragma once

#include "library/parameter_clipboard_command.hpp"
#include "platform/srgb_color.hpp"

#include <array>
#include <string_view>

namespace sorvin {

// The panel toolbar's two buttons that copy and paste the development settings.
enum class ParameterClipboardButtonKind { copy, paste };

struct ParameterClipboardButtonKinds {
    static constexpr std::array<ParameterClipboardButtonKind, 2> allCases{
        ParameterClipboardButtonKind::copy, ParameterClipboardButtonKind::paste};
    // "コピー", "貼り付け"
    static std::string_view title(ParameterClipboardButtonKind kind);
    static ParameterClipboardAction action(ParameterClipboardButtonKind kind);
    // Both need a photo; pasting also needs something copied.
    static bool isEnabled(ParameterClipboardButtonKind kind, bool hasCurrentPhoto, bool hasCopiedParameters);
    // The look of the toolbar's small buttons (these two and the preset button) by their enabled state.
    static SrgbColor textColor(bool enabled);
    static SrgbColor backgroundColor(bool enabled);
};

} // namespace sorvin
