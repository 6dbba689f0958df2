#pragma once

#include "model/photo.hpp"
#include "model/retouch_slot.hpp"
#include "model/single_export_format.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace sorvin::SingleExportFileName {

// "jpg" or "heic".
constexpr std::string_view fileExtension(SingleExportFormat format) {
    return format == SingleExportFormat::heic ? "heic" : "jpg";
}

// What the save panel says of a name that is empty without its extension.
inline constexpr std::string_view emptyNameMessage = "ファイル名を入力してください";

// The proposed name: the photo's base name, "-B" for a copy B, and the format's extension.
std::string initialName(const Photo& photo, SingleExportFormat format, RetouchSlot slot);

// The name with a known image extension (.jpeg .heic .heif .jpg .hif, any letter case) replaced by
// the format's, or with the format's appended when it has none of those. An empty name stays empty.
std::string replacingExportExtension(const std::string& name, SingleExportFormat format);

// The file an export of one photo writes and the format of its data, so that the two agree: a name
// ending in an extension of one of the formats keeps it and takes that format; any other name, dots
// of its own included, gets the chosen format's extension added. None for a name that is empty
// without its extension (it would be a hidden file named after the extension alone).
struct ChosenFile {
    std::filesystem::path file;
    SingleExportFormat format;
    bool operator==(const ChosenFile&) const = default;
};
std::optional<ChosenFile> chosenFile(const std::filesystem::path& file, SingleExportFormat format);

// What the save panel says while it cannot learn whether a typed path is a folder.
inline constexpr std::string_view unansweredFolderMessage = "保存先のフォルダが応答しません";

// The path a text typed into the save panel's name field stands for: a path of its own when it
// begins with "/" or "~" (the home folder), else a name in the folder the panel shows.
std::filesystem::path typedPath(const std::string& typed, const std::filesystem::path& folder,
                                const std::filesystem::path& home);

} // namespace sorvin::SingleExportFileName
