#pragma once

#include <filesystem>
#include <string>

namespace sorvin::FilePath {

// The path with "." and ".." removed lexically and no trailing "/" (except for the root itself).
// Symbolic links are not followed.
std::filesystem::path standardized(const std::filesystem::path& path);

// standardized() with every symbolic link of the existing part resolved; the standardized path
// when the file system cannot be asked.
std::filesystem::path resolved(const std::filesystem::path& path);

// The path of `file` below `root`, both standardized, when it lies strictly inside it.
bool isInside(const std::filesystem::path& file, const std::filesystem::path& root);

} // namespace sorvin::FilePath
