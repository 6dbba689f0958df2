#pragma once

#include "model/photo_parameters.hpp"

#include <optional>

namespace sorvin {

class PhotoLibrary;

enum class ParameterClipboardAction { copy, paste };
enum class ParameterClipboardCommandResult { unchanged, pasted, copied, nothingCopied, noPhoto };

// Copies the development of the current row and pastes it onto another. The copied set is held by
// the caller, not by the system clipboard; pasting never changes it, so one copy serves many rows.
struct ParameterClipboardCommand {
    static ParameterClipboardCommandResult perform(ParameterClipboardAction action, PhotoLibrary& library,
                                                   std::optional<PhotoParameters>& copiedParameters);
};

} // namespace sorvin
