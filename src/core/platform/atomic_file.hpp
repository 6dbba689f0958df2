#pragma once

#include <filesystem>
#include <initializer_list>
#include <string_view>
#include <sys/types.h>

namespace sorvin::AtomicFile {

// The name of the temporary file beside a target. Both carry the writing process's id, so that a
// later save can tell the leftovers of a killed process from a file another process is writing.
enum class TemporaryName {
    hidden,     // "." + name + ".tmp-<pid>-<UUID>": one of its own for every write
    perProcess, // name + ".tmp-<pid>": one per process and target; a leftover of ours is replaced
};

// Writes the bytes to a temporary file beside the target, flushes it to disk, renames it over the
// target and flushes the folder, so a reader sees either the old file or the whole new one, also
// after a power loss. At the first write of the target in this run it first removes the temporary
// files of this target left by processes that no longer run. The temporary file is removed on
// failure. Throws std::system_error.
void write(const std::filesystem::path& target, std::string_view bytes,
           TemporaryName naming = TemporaryName::hidden);

// What a temporary name beside a target stands for.
enum class Leftover { file, folder };

// Removes from the folder the leftovers of processes that no longer run: the entries named one of
// the prefixes, a process id and optionally "-" and more, whose process has ended. A running process's entry
// is never touched, nor this process's own; only regular files (or only folders with their contents) are
// removed. Silent.
void removeStaleTemporaries(const std::filesystem::path& folder,
                            std::initializer_list<std::string_view> prefixes, Leftover kind = Leftover::file);

// The same for hidden temporaries of any target in the folder: "." + a name + the marker + a
// process id and optionally "-" and more (regular files only).
void removeStaleHiddenTemporaries(const std::filesystem::path& folder, std::string_view marker);

// Reads a whole file without ever waiting: only a regular file (or a link to one) of at most
// maxBytes is read; a FIFO, device or folder under the name is refused at once. Throws
// std::system_error (no_such_file_or_directory when nothing is there).
std::string read(const std::filesystem::path& path, std::size_t maxBytes = 256u << 20);

} // namespace sorvin::AtomicFile
