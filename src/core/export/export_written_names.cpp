#include "export/export_written_names.hpp"

#include "export/export_conflict_resolver.hpp"
#include "platform/unicode_text.hpp"

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

void ExportWrittenNames::add(const fs::path& file) {
    const fs::path folder = file.parent_path();
    auto found = folders_.find(folder);
    if (found == folders_.end()) found = folders_.emplace(folder, Folder{ignoresCase(folder), {}}).first;
    found->second.names.insert(key(found->second, file.filename().string()));
}

bool ExportWrittenNames::contains(const fs::path& file) const {
    const auto found = folders_.find(file.parent_path());
    return found != folders_.end() && found->second.names.contains(key(found->second, file.filename().string()));
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
