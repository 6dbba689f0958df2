#pragma once

#include <filesystem>
#include <string_view>
#include <system_error>

namespace sorvin::OutputFile {

// Writes a new file; never replaces anything (a name taken meanwhile gives EEXIST). A failed
// write removes what it created. The error is the system's (ENOSPC for a full disk).
std::error_code writeNew(const std::filesystem::path& file, std::string_view bytes);

// Copies a file's bytes into a new file as writeNew does, keeping the source's modification time.
std::error_code copyNew(const std::filesystem::path& source, const std::filesystem::path& file);

// Moves a finished temporary file over the final one in one step (same folder).
std::error_code replace(const std::filesystem::path& finalFile, const std::filesystem::path& temporaryFile);

} // namespace sorvin::OutputFile
