#pragma once

#include <filesystem>
#include <optional>

namespace sorvin {

// The dialog in which the user picks one existing folder; the UI implements it. Runs modally on
// the main thread and gives none when the user cancels.
class FolderPanel {
public:
    virtual ~FolderPanel() = default;
    virtual std::optional<std::filesystem::path> chooseFolder(const std::filesystem::path& startFolder) = 0;
    // The folder an export writes into: the same dialog, saying what it is for.
    virtual std::optional<std::filesystem::path> chooseExportDestination(const std::filesystem::path& startFolder) {
        return chooseFolder(startFolder);
    }
};

} // namespace sorvin
