#include "export/export_written_names.hpp"

#include "export/export_conflict_resolver.hpp"
#include "export/export_manifest_store.hpp"
#include "platform/unicode_text.hpp"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace sorvin {

namespace fs = std::filesystem;

namespace {

std::function<bool(const fs::path&)>& caseProbe() {
    static std::function<bool(const fs::path&)> probe;
    return probe;
}

} // namespace

ExportWrittenNames::Name& ExportWrittenNames::entry(const fs::path& file) {
    const fs::path folder = file.parent_path();
    auto found = folders_.find(folder);
    if (found == folders_.end()) found = folders_.emplace(folder, Folder{ignoresCase(folder), {}}).first;
    return found->second.names[key(found->second, file.filename().string())];
}

const ExportWrittenNames::Name* ExportWrittenNames::find(const fs::path& file) const {
    const auto folder = folders_.find(file.parent_path());
    if (folder == folders_.end()) return nullptr;
    const auto name = folder->second.names.find(key(folder->second, file.filename().string()));
    return name != folder->second.names.end() ? &name->second : nullptr;
}

void ExportWrittenNames::add(const fs::path& file) {
    entry(file).given = true;
}

void ExportWrittenNames::addRecorded(const ExportManifest& manifest, const fs::path& destination) {
    for (const auto& [key, recorded] : manifest.entries) {
        const std::string photo = ExportManifest::photoKey(key);
        const auto add = [&](const ExportManifestFileRecord& record) {
            const fs::path file = destination / record.file;
            entry(file).recorded.push_back({photo, file, {record.size, record.mtime}});
        };
        for (const auto& [format, record] : recorded.outputs)
            add(record);
        for (const auto* record : {&recorded.original, &recorded.companion})
            if (*record) add(**record);
    }
}

bool ExportWrittenNames::contains(const fs::path& file) const {
    const Name* name = find(file);
    return name && name->given;
}

bool ExportWrittenNames::isTakenFrom(const fs::path& file, const std::string& photo) const {
    const Name* name = find(file);
    if (!name) return false;
    if (name->given) return true;
    const auto isAnothers = [&](const Recorded& record) { return record.photo != photo; };
    if (std::none_of(name->recorded.begin(), name->recorded.end(), isAnothers)) return false;
    bool present = false;
    for (const auto& record : name->recorded) {
        std::error_code ignored;
        present = present || fs::symlink_status(record.file, ignored).type() != fs::file_type::not_found;
        // The photo's own file, which another photo's stale record names too.
        if (!isAnothers(record) && ExportManifestStore::fileIdentity(record.file) == record.identity)
            return false;
    }
    return present;
}

std::string ExportWrittenNames::key(const Folder& folder, const std::string& name) {
    // The disks that ignore case fold names to upper case by a table of their own; Unicode's
    // mapping folds at least as much, so no name the disk takes as one is told apart here.
    return folder.ignoresCase ? UnicodeText::uppercased(name) : name;
}

bool ExportWrittenNames::ignoresCase(const fs::path& folder) {
    if (const auto& probe = caseProbe()) return probe(folder);
    // A hidden name of the export's temporaries (lower-case letters, removed at once; a killed
    // export's is removed with the other leftovers), so the upper-case one is surely nobody's.
    const std::string name = ExportConflictResolver::temporaryName("case-check");
    const fs::path made = folder / name;
    const int fd = ::open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return true;
    ::close(fd);
    struct stat info {};
    const bool ignores = ::lstat((folder / UnicodeText::uppercased(name)).c_str(), &info) == 0;
    ::unlink(made.c_str());
    return ignores;
}

void ExportWrittenNames::setCaseProbeForTesting(std::function<bool(const fs::path&)> probe) {
    caseProbe() = std::move(probe);
}

} // namespace sorvin
