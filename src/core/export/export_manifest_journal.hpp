#pragma once

#include "export/export_manifest.hpp"

#include <filesystem>
#include <string>

namespace sorvin {

// What a running export publishes, known on disk before each file gets its name: the entry its
// key will have then is appended to the destination's journal and flushed first. So an export
// killed at any moment has told the next one every file it named (ExportManifestStore::load
// applies the journal), and the next export skips those instead of writing them again under
// numbered names. A line costs one small append; the manifest itself is written whole, once, at
// the end of the export, and the journal then goes. Silent: a journal that cannot be written only
// makes the next export do more.
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

private:
    std::filesystem::path folderOfJournal_;
    std::filesystem::path file_;
    std::string destination_; // standardized, as the manifest names it
    int descriptor_ = -1;
    bool failed_ = false; // a write failed: no more lines this time
};

} // namespace sorvin
