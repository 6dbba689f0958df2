#pragma once

#include "platform/file_version.hpp"

#include <chrono>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <system_error>

namespace sorvin::AtomicFile {

// Who writes a temporary file, as its name carries it: "<process id>@<machine>". The machine stands
// for this system's boot and process-id space, so that the temporary of an export on another
// computer writing into the same network folder (or in another container) is never taken for the
// leftover of a process of ours that has ended.
std::string writerTag();

// How long a temporary of another machine is kept untouched before it counts as abandoned: whether
// its process still runs cannot be asked from here.
inline constexpr std::chrono::hours kForeignTemporaryLifetime{24};

// The name of the temporary file beside a target. Both carry the writer, so that a later save can
// tell the leftovers of a killed process from a file another process is writing.
enum class TemporaryName {
    hidden,     // "." + name + ".tmp-<writer>-<UUID>": one of its own for every write
    perProcess, // name + ".tmp-<writer>": one per process and target; a leftover of ours is replaced
};

// Whether a write flushes the folder after the rename, so that the new file, and not the one before
// it, is the one found after a power loss.
enum class FolderFlush { flushed, skipped };

// Writes the bytes to a temporary file beside the target, flushes it to disk, renames it over the
// target and flushes the folder (unless told to skip it), so a reader sees either the old file or
// the whole new one, also after a power loss. At the first write of the target in this run it first
// removes the abandoned temporary files of this target. The temporary file is removed on failure.
// Throws std::system_error. Gives the version of the file written, as it was before its name was
// given (a share may give it another time once named).
FileVersion write(const std::filesystem::path& target, std::string_view bytes,
                  TemporaryName naming = TemporaryName::hidden, FolderFlush flush = FolderFlush::flushed);

// What a replacement found at its target.
struct Replacement {
    // This write's file, when it holds the target's name.
    std::optional<FileVersion> written;
    // Where the file that stood at the target instead of the one expected lies now: beside the
    // target under this write's temporary name when it was exchanged out (the caller reads it,
    // then removes it), or the target itself when this write did not take the name, or another
    // write took it right after. None when the expected file was the one replaced.
    std::optional<std::filesystem::path> unexpected;
    // Renamed over the target by a plain rename (the file system can neither exchange two names
    // nor give one only where none is): another writer that found the name free right before may
    // rename its own over this file unseen, so the caller looks at the target again a moment later.
    bool blind = false;
    // How long that rename took: another writer's may take as long.
    std::chrono::steady_clock::duration renaming{};
};

// The file a replacement expects at its target: a version (none: nothing there), and the SHA-256
// of its bytes when known. A file system may give a new file the inode of one just removed, with
// the same size and, within its clock's tick, the same time: only the bytes then tell them apart.
struct Expected {
    std::optional<FileVersion> version;
    std::string sha256; // lower-case hex; empty when not known
    // Where the file at the target goes while a file system that cannot exchange two names replaces
    // it; a free name, and one that whoever opens the target next looks at, should the write be cut
    // short. None: the target is checked right before the rename instead.
    std::optional<std::filesystem::path> aside;
};

// As write, for two writers that share no lock: the target is replaced only as the file expected,
// and no other writer's file is ever lost unseen. Where the file system exchanges two names in one
// step, the new file is exchanged in and what came out is checked. Elsewhere the file at the target
// is first moved aside (or, without an aside, checked right before the rename) and the new file
// takes the name only where none has it (a rename that never replaces, or a hard link); only where
// the file system can do neither is it renamed blind.
Replacement replace(const std::filesystem::path& target, std::string_view bytes, TemporaryName naming,
                    const Expected& expected);

// For tests: replace acts, while set, as on a file system that refuses what is named.
struct RefusedForTesting {
    bool exchange = false;    // to exchange two names (most FUSE and network file systems)
    bool noReplacing = false; // to rename without replacing (FUSE 2 file systems, many shares)
    int link = 0;             // the error a hard link answers (0: none), as EROFS through exFAT's FUSE driver
};
void setRefusedForTesting(const RefusedForTesting& refused);
// The same, refusing to exchange two names, and with noReplacing, also to rename without replacing
// and to make a hard link (some shares).
void setExchangeRefusalForTesting(bool refused, bool noReplacing = false);

// The steps of a replacement without an exchange, for tests that put another writer's save
// between them: right before the file at the target is moved aside (or checked), and right before
// the new file takes the name. An empty function ends it.
enum class ReplaceStep { movingAside, naming };
void setReplaceStepHookForTesting(std::function<void(ReplaceStep)> hook);

// What a temporary name beside a target stands for.
enum class Leftover { file, folder };

// A temporary is abandoned when this machine's process that wrote it has ended (a name without a
// machine, as older versions wrote them, counts as this machine's), or when another machine wrote
// it and it has not been touched for kForeignTemporaryLifetime. This process's own (named with the
// machine) and a running process's are never abandoned.

// Removes from the folder the abandoned entries named exactly one of the prefixes followed by a
// writer and optionally "-" and more: the temporaries of one target, or of one kind of work. Only
// regular files (or only folders with their contents) are removed. Silent.
void removeAbandonedWithPrefixes(const std::filesystem::path& folder,
                                 std::initializer_list<std::string_view> prefixes,
                                 Leftover kind = Leftover::file);

// Removes the abandoned hidden temporaries of any target in the folder: "." + a name + the marker +
// a writer and optionally "-" and more (regular files only). Silent.
void removeAbandonedHidden(const std::filesystem::path& folder, std::string_view marker);

// Flushes a folder's entries to disk, so that the names given in it survive a power loss. File
// systems that cannot flush a folder give no error.
std::error_code flushFolder(const std::filesystem::path& folder);

// For tests: told every folder flushFolder is about to flush. An empty function ends it.
void setFolderFlushHookForTesting(std::function<void(const std::filesystem::path&)> hook);

// Reads a whole file without ever waiting: only a regular file (or a link to one) of at most
// maxBytes is read; a FIFO, device or folder under the name is refused at once. Throws
// std::system_error (no_such_file_or_directory when nothing is there). The version of the file
// read goes to `version` when given.
std::string read(const std::filesystem::path& path, std::size_t maxBytes = 256u << 20,
                 FileVersion* version = nullptr);

} // namespace sorvin::AtomicFile
