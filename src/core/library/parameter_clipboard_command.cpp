#include "library/parameter_clipboard_command.hpp"

#include "library/photo_library.hpp"

namespace sorvin {

ParameterClipboardCommandResult
ParameterClipboardCommand::perform(ParameterClipboardAction action, PhotoLibrary& library,
                                   std::optional<PhotoParameters>& copiedParameters) {
    using Result = ParameterClipboardCommandResult;
    if (library.currentPhoto() == nullptr) return Result::noPhoto;
    if (action == ParameterClipboardAction::copy) {
        copiedParameters = library.currentParameters();
        return Result::copied;
    }
    if (!copiedParameters) return Result::nothingCopied;
    return library.setCurrentParameters(*copiedParameters).changed ? Result::pasted : Result::unchanged;
}

} // namespace sorvin
