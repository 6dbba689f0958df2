#include "export/export_manifest_journal.hpp"

#include "export/export_manifest_store.hpp"
#include "platform/atomic_file.hpp"
#include "platform/file_path.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sorvin {

namespace fs = std::filesystem;

ExportManifestJournal::ExportManifestJournal(const fs::path& destination,
                                             const fs::path& applicationSupportRoot)
    : folderOfJournal_(applicationSupportRoot),
      file_(ExportManifestStore::journalURL(destination, applicationSupportRoot)),
      destination_(ExportManifestStore::pathText(destination)) {}

ExportManifestJournal::~ExportManifestJournal() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

bool ExportManifestJournal::exists() const {
    struct stat info {};
    return ::lstat(file_.c_str(), &info) == 0;
}

void ExportManifestJournal::append(const std::string& key, const ExportManifestEntry& entry) {
    if (failure_) return;
    std::string line;
    if (descriptor_ < 0) {
        std::error_code ignored;
        fs::create_directories(folderOfJournal_, ignored);
        const bool existed = exists();
        descriptor_ = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (descriptor_ < 0) {
            failure_.assign(errno, std::generic_category());
            return;
        }
        // The journal's own name must survive a power loss as its lines do.
        if (!existed) AtomicFile::flushFolder(folderOfJournal_);
        // A journal left behind may end in a line a kill cut short: ours start on a line of their own.
        if (existed) line.push_back('\n');
    }
    line += ExportManifestStore::journalLine(destination_, key, entry);
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t count = ::write(descriptor_, line.data() + written, line.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            // Nothing more is appended to a torn line, which is dropped when read.
            failure_ = count < 0 ? std::error_code(errno, std::generic_category())
                                 : std::make_error_code(std::errc::no_space_on_device);
            return;
        }
        written += static_cast<std::size_t>(count);
    }
    // A full disk may only show when the line is flushed.
    if (::fdatasync(descriptor_) != 0 && errno != EINVAL) failure_.assign(errno, std::generic_category());
}

void ExportManifestJournal::remove() {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
    failure_.clear();
    ::unlink(file_.c_str());
}

} // namespace sorvin
