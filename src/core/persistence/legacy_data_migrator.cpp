#include "persistence/legacy_data_migrator.hpp"

#include "platform/atomic_file.hpp"
#include "platform/xdg_folders.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <system_error>
#include <unistd.h>

namespace sorvin::LegacyDataMigrator {

namespace fs = std::filesystem;

namespace {

std::error_code lastError() {
    return {errno, std::system_category()};
}

// Moves the finished copy into place, never over something that appeared meanwhile.
void moveIntoPlace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
    if (errno == EINVAL) { // the file system cannot refuse replacing; check ourselves
        std::error_code ignored;
        if (fs::exists(fs::symlink_status(to, ignored)))
            throw fs::filesystem_error("move copied folder into place", from, to,
                                       std::make_error_code(std::errc::file_exists));
        if (::rename(from.c_str(), to.c_str()) == 0) return;
    }
    throw fs::filesystem_error("move copied folder into place", from, to, lastError());
}

} // namespace

bool copyApplicationSupportIfNeeded(const std::optional<fs::path>& base) {
    const fs::path folder = base ? *base : XdgFolders::dataHome();
    if (folder.empty()) return false;
    const fs::path target = folder / supportFolderName;
    const fs::path source = folder / legacySupportFolderName;

    std::error_code error;
    if (fs::exists(fs::symlink_status(target, error))) return false;
    if (!fs::is_directory(source, error)) return false;

    // A copy cut short by a crash left its temporary folder behind; it is never finished. Another
    // instance starting at the same moment may still be copying into its own.
    const std::string temporaryPrefix = std::string(".") + supportFolderName + ".migrating-";
    AtomicFile::removeAbandonedWithPrefixes(folder, {temporaryPrefix}, AtomicFile::Leftover::folder);

    std::string pattern = (folder / (temporaryPrefix + AtomicFile::writerTag() + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        throw fs::filesystem_error("create temporary folder", folder, lastError());
    const fs::path temporary = pattern;
    try {
        fs::copy(source, temporary, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        fs::permissions(temporary, fs::status(source).permissions());
        moveIntoPlace(temporary, target);
    } catch (...) {
        fs::remove_all(temporary, error);
        throw;
    }
    return true;
}

void migrateUserDefaultsIfNeeded(DefaultsStore& current, const DefaultsStore* legacy) {
    // Whether it has run, and what either side holds, cannot be told while a file cannot be read.
    if (current.readError() || (legacy && legacy->readError())) return;
    if (current.object(migratedFlagKey)) return;
    DefaultsStore::Dictionary taken;
    if (legacy) {
        for (const auto& [key, value] : legacy->dictionaryRepresentation()) {
            if (!key.starts_with(legacyKeyPrefix)) continue;
            std::string ourKey = std::string(keyPrefix) + key.substr(legacyKeyPrefix.size());
            if (current.object(ourKey)) continue;
            taken.insert_or_assign(std::move(ourKey), value);
        }
    }
    taken.insert_or_assign(std::string(migratedFlagKey), true);
    current.setValues(taken);
}

std::unique_ptr<DefaultsStore> openLegacyDefaults() {
    const fs::path file = DefaultsStore::domainFile(legacyDomain);
    std::error_code error;
    if (!fs::exists(file, error)) return nullptr;
    return std::make_unique<DefaultsStore>(file, DefaultsStore::Access::ReadOnly);
}

} // namespace sorvin::LegacyDataMigrator
