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
        sourceNotAnswering,
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
    destinationNotAnswering,
    sourceNotAnswering
};

std::string errorDescription(SingleExportValidationError error);

// Said when `subject` (the source folder, or mounts inside it by name) did not answer: whether the
// destination lies inside it is not known.
std::string unansweredSourceDescription(const std::string& subject);

} // namespace sorvin
