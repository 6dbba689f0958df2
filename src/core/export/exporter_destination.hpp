#pragma once

#include "export/export_format_options.hpp"
#include "export/export_image_format.hpp"
#include "export/export_validation_error.hpp"
#include "model/photo.hpp"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

// Checks and preparation of the folders an export writes to. Folders are compared with the source
// folder by their standardized paths with symbolic links resolved, by file identity, and through
// the mounts that show them, so that the source folder or a folder under it reached through
// another path (a bind mount, a FUSE mount, a share mounted twice) is refused too.
namespace sorvin::Exporter {

inline constexpr const char* kOriginalsFolderName = "originals";

// How long the save panel waits for its question about the chosen folder before it says that the
// folder does not answer.
inline constexpr std::chrono::seconds kFolderAnswerWait{4};

// How long a check of a destination waits for each answer of a disk (a share or a FUSE mount may
// answer late or stop answering) before it says that the folder does not answer. It counts from
// the last answer: a share slow on every call is waited for however many calls the check makes.
// One call of the program may take a share several round trips (making a file on a share that
// caches nothing: six), each up to a second on a slow one.
inline constexpr std::chrono::seconds kDiskAnswerWait{10};

// The mounts inside the source folder that a check could not ask in time (slow or silent), each by
// its place under the source folder, "" for the source folder itself. A folder they might show
// passes all the same: the user is told which could not be checked.
using UnansweredMounts = std::vector<std::string>;

// The batch destination: an existing directory, not the source folder, not inside it (by whatever
// path or mount it is reached), writable; the first failing test in that order; not answering,
// the destination or the source folder, whichever left a call unanswered. `listedFolders`
// are the folders the scan found photos in; `unanswered` learns the mounts that could not be asked
// (see refusalInsideSource).
std::optional<ExportValidationError> validate(const std::filesystem::path& destination,
                                              const std::filesystem::path& sourceFolder,
                                              const std::vector<std::filesystem::path>& listedFolders = {},
                                              UnansweredMounts* unanswered = nullptr);

// The refusal of a folder that is the source folder or lies inside it by its path or its node (a
// link, a bind mount of the source folder); none elsewhere.
std::optional<ExportValidationError> refusalAsSource(const std::filesystem::path& folder,
                                                     const std::filesystem::path& sourceFolder);

// The same, also for the source folder or a folder under it reached through a mount of its own (a
// bind or FUSE mount of a subfolder, a network share of it), which neither paths nor nodes tell,
// and the other way round. The mount table tells where a folder's files are kept; where a mount
// may show another folder's files, a hidden file made in the folder (and removed again) is looked
// for where it could show: in the source folder, the folders of `listedFolders` and the roots of
// the mounts inside the source folder, and below each under the last names of the folder's path.
// Only mounts that may show the folder's disk are asked (a share of a server or a FUSE mount of
// another disk shows none of a local folder), each on its own. Every wait counts from the last
// answer (kDiskAnswerWait): a folder that leaves a call unanswered is refused by its path (inside
// the source folder) or as not answering, the source folder named instead where its call is the
// one out; a mount that leaves one unanswered refuses nothing and goes into `unanswered`. A share
// slow on every call is waited for; one that stopped answering is not: the work given up on ends
// by itself whenever the share answers, leaving nothing in the folder. A check of a folder while
// an earlier one is out waits for that one first, as for its own. What a check killed midway left
// in the folder goes at its first check. Reads the disk.
std::optional<ExportValidationError>
refusalInsideSource(const std::filesystem::path& folder, const std::filesystem::path& sourceFolder,
                    const std::vector<std::filesystem::path>& listedFolders = {},
                    UnansweredMounts* unanswered = nullptr);

// The folders that hold a photo being read: the folder of every file of every photo, and the source
// folder; each once.
std::vector<std::filesystem::path> photoFolders(const std::vector<Photo>& photos,
                                                const std::filesystem::path& sourceFolder);

// The refusal of the folder that holds `file`, a file this export has just made under a fresh name,
// when the file shows in one of the photo folders: the folder is that photo folder reached through
// a mount of its own (bindfs, sshfs, a share mounted twice), which no comparison of nodes tells.
// The refusal is the one the photo folder gets by its own path (is or inside the source folder).
// A photo folder that does not answer within kDiskAnswerWait (a mount that stopped answering) is
// taken out of `photoFolders`: an export asks it no more.
std::optional<ExportValidationError> refusalAsPhotoFolder(const std::filesystem::path& file,
                                                          std::vector<std::filesystem::path>& photoFolders,
                                                          const std::filesystem::path& sourceFolder);

// With originals on: "originals" must not be a file.
std::optional<ExportValidationError> validateOriginalsDestination(const std::filesystem::path& destination,
                                                                  bool saveOriginals);

// With folders per format: "JPEG" / "HEIF" of the formats the photos need must not be files.
std::optional<ExportValidationError> validateFormatDestinations(const std::filesystem::path& destination,
                                                                const std::vector<Photo>& photos,
                                                                const ExportFormatOptions& options);

// Nothing for an existing directory, fileWriteFileExists for anything else there, else creates the
// folder (its parent must exist) and gives the system's error; `made` learns whether it made it.
std::error_code createDirectoryIfNeeded(const std::filesystem::path& folder, bool* made = nullptr);

// Whether this system can encode the format.
bool supportsOutput(ExportImageFormat format);

// The folder of a chosen single-export file: not the source folder or inside it, by whatever path or
// mount it is reached (tested first), existing, writable; checked as refusalInsideSource does,
// refused as not answering where the folder itself, or the source folder, leaves a call unanswered.
std::optional<SingleExportValidationError>
validateSingleExportDestination(const std::filesystem::path& file, const std::filesystem::path& sourceFolder);

// Called before each question the checks above ask of a disk (the folder checked, the source
// folder, the places a mount may show the folder at), with the place asked, on the thread that
// asks it: a test slows or stops it there, as a slow or silent disk would. None by default.
void setMountQuestionHookForTesting(std::function<void(const std::filesystem::path& place)> hook);

} // namespace sorvin::Exporter
