#include "panel/parameter_clipboard_button_kind.hpp"

#include "view/panel_colors.hpp"

namespace sorvin {

std::string_view ParameterClipboardButtonKinds::title(ParameterClipboardButtonKind kind) {
    return kind == ParameterClipboardButtonKind::paste ? "貼り付け" : "コピー";
}

ParameterClipboardAction ParameterClipboardButtonKinds::action(ParameterClipboardButtonKind kind) {
    return kind == ParameterClipboardButtonKind::paste ? ParameterClipboardAction::paste
                                                       : ParameterClipboardAction::copy;
}

bool ParameterClipboardButtonKinds::isEnabled(ParameterClipboardButtonKind kind, bool hasCurrentPhoto,
                                              bool hasCopiedParameters) {
    return hasCurrentPhoto && (kind == ParameterClipboardButtonKind::copy || hasCopiedParameters);
}

SrgbColor ParameterClipboardButtonKinds::textColor(bool enabled) {
    return enabled ? PanelColors::text : PanelColors::disabledText;
}

SrgbColor ParameterClipboardButtonKinds::backgroundColor(bool enabled) {
    return enabled ? PanelColors::separator : PanelColors::disabledBackground;
}

} // namespace sorvin
