#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>
#include <system_error>

namespace sorvin::OutputFile {

// Told the name of a new file as soon as it exists, before anything is written into it. False
// abandons the write: the file is removed and the call gives operation_canceled.
using CreationHook = std::function<bool(const std::filesystem::path&)>;

// Writes a new file and never replaces anything: when the name is taken, even by a file that
// appeared a moment ago, the call gives file_exists and touches nothing. The bytes are flushed to
// disk before the call returns, so the file can be published whole. A failed write removes the
// file this call created, and only that one. Other errors are the system's (ENOSPC for a full
// disk).
std::error_code writeNew(const std::filesystem::path& file, std::string_view bytes,
                         const CreationHook& created = {});

// Copies a file's bytes into a new file as writeNew does, keeping the source's modification time
// (as finely as the disk keeps times). A source that cannot be opened gives the open's own error
// (no_such_file_or_directory when it is gone, ENOTCONN when its mount died); anything but a
// regular file gives io_error.
std::error_code copyNew(const std::filesystem::path& source, const std::filesystem::path& file,
                        const CreationHook& created = {});

// Gives a finished file (written beside it, in the same folder) its final name, which must be
// free: file_exists when anything is there, even a file that appeared a moment ago, and nothing
// changes then. The file appears under the name whole or not at all.
std::error_code publishNew(const std::filesystem::path& temporaryFile, const std::filesystem::path& finalFile);

// Moves a finished file over the final one in one step (same folder).
std::error_code replace(const std::filesystem::path& finalFile, const std::filesystem::path& temporaryFile);

// For tests: copyNew gives its copies times rounded down to whole steps of this many
// nanoseconds, as a disk that keeps coarser times does (FAT keeps 2 s, exFAT 10 ms). 0 ends it.
void setCopyTimeStepForTesting(std::int64_t nanoseconds);

// For tests: a new file's name is refused with the error this gives (none: taken as usual), as
// a disk refuses names it cannot hold. An empty function ends it.
void setNameRefusalForTesting(std::function<std::error_code(const std::filesystem::path&)> refusal);

// For tests: runs just before publishNew gives a file its name, so that a test can take the name
// between a free-name check and the publishing. An empty function ends it.
void setBeforePublishHookForTesting(std::function<void(const std::filesystem::path&)> hook);

} // namespace sorvin::OutputFile
