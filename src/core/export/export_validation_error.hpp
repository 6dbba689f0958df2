#pragma once

#include <string>

namespace sorvin {

// Why a destination is refused before an export starts; shown under the destination row.
struct ExportValidationError {
    enum class Kind {
        formatFolderIsFile, // folderName says which: "JPEG" or "HEIF"
        destinationMissing,
        destinationNotWritable,
        destinationIsSource,
        destinationInsideSource,
        originalsIsFile,
        destinationNotAnswering,
    };

    Kind kind;
    std::string folderName;

    bool operator==(const ExportValidationError&) const = default;

    std::string errorDescription() const;
};

// Why the file chosen for the export of one photo is refused.
enum class SingleExportValidationError {
    destinationInsideSource,
    destinationMissing,
    destinationNotWritable,
    destinationNotAnswering
};

std::string errorDescription(SingleExportValidationError error);

} // namespace sorvin
