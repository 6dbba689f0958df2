#pragma once

#include "model/single_export_format.hpp"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace sorvin {

// What the save panel of a one-photo export shows when it opens.
struct SingleExportPanelOptions {
    std::string proposedName;
    // None: the panel's own default folder.
    std::optional<std::filesystem::path> startFolder;
    SingleExportFormat format = SingleExportFormat::jpeg;
    std::string message = "この写真を保存する場所と名前を指定してください";
    std::string prompt = "書き出す";
    std::string nameFieldLabel = "名前:";
};

// The save panel of a one-photo export, shown as a sheet on the main window with a JPEG/HEIF
// chooser ("保存形式:"); the UI implements it. When the format changes the panel swaps the
// extension of the typed name itself and reports the new format; when it closes it reports the
// chosen file (none when cancelled) and the format chosen last.
class SingleExportPanel {
public:
    using FormatChanged = std::function<void(SingleExportFormat)>;
    using Completion =
        std::function<void(std::optional<std::filesystem::path> file, SingleExportFormat format)>;

    virtual ~SingleExportPanel() = default;
    virtual void present(const SingleExportPanelOptions& options, FormatChanged formatChanged,
                         Completion completion) = 0;
};

} // namespace sorvin
