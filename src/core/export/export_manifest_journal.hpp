#pragma once

#include "export/export_manifest.hpp"

#include <filesystem>
#include <string>
#include <system_error>

namespace sorvin {

// What a running export publishes, known on disk before each file gets its name: the entry its
// key will have then is appended to the destination's journal and flushed first. So an export
// killed at any moment has told the next one every file it named (ExportManifestStore::load
// applies the journal), and the next export skips those instead of writing them again under
// numbered names. A line costs one small append; the manifest itself is written whole, once, at
// the end of the export, and the journal then goes. A journal that cannot be written stops taking
// lines and keeps the error, which matters only when the manifest cannot be written either.
class ExportManifestJournal {
public:
    ExportManifestJournal(const std::filesystem::path& destination,
                          const std::filesystem::path& applicationSupportRoot);
    ~ExportManifestJournal();
    ExportManifestJournal(const ExportManifestJournal&) = delete;
    ExportManifestJournal& operator=(const ExportManifestJournal&) = delete;

    // Whether a journal is on disk (an export before was killed, or could not write its manifest).
    bool exists() const;

    // Appends the entry of a key and flushes it to disk.
    void append(const std::string& key, const ExportManifestEntry& entry);

    // Removes the journal, once a manifest holding all it told is written.
    void remove();

    // Why a line could not be appended since the journal was opened or removed; none when every
    // line is on disk.
    std::error_code failure() const { return failure_; }

private:
    std::filesystem::path folderOfJournal_;
    std::filesystem::path file_;
    std::string destination_; // standardized, as the manifest names it
    int descriptor_ = -1;
    std::error_code failure_; // a write failed: no more lines this time
};

} // namespace sorvin
