#pragma once

#include <filesystem>
#include <string_view>

namespace sorvin::AtomicFile {

// Writes the bytes to a temporary file beside the target, flushes it to disk and renames it over
// the target, so a reader sees either the old file or the whole new one. The temporary file is
// removed on failure. Throws std::system_error.
void write(const std::filesystem::path& target, std::string_view bytes);

// Reads a whole file. Throws std::system_error; refuses files larger than maxBytes.
std::string read(const std::filesystem::path& path, std::size_t maxBytes = 256u << 20);

} // namespace sorvin::AtomicFile
