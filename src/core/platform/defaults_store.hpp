#pragma once

#include "platform/defaults_value.hpp"
#include "platform/file_version.hpp"
#include "platform/signal.hpp"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace sorvin {

class FileLock;

// The user's preferences of one domain, kept in one JSON file ($XDG_CONFIG_HOME/<domain>/
// preferences.json). Values keep the kind they were stored with. Registered values form a second
// layer that is read only while nothing is stored under a key; they are never written.
//
// Several copies of the program may run at once, each with its own store on the file. Every change
// is written at once (setting a value already held is no change), and a write never puts this
// copy's memory over the file: under a lock (<file>.lock, held only while writing) it reads the file
// as it is now, makes over it the changes this copy made since its last write, and replaces the
// file with the result in one step. The values another copy wrote stay, and this copy reads them
// from then on. A failed write leaves the file as it was and keeps its changes in memory, so
// preferences never stop the program: the next change writes them again, and the owner is told of
// each failed write through writeFailed.
//
// An error of the system (a home on a share that stalls EIO or ESTALE, a folder denied for a moment,
// no descriptors left) is no damage: the file is looked at again, and while it stays unreadable it is
// kept as it is. A store opened then runs on no stored values and never writes over the file: every
// write first reads the file, fails while it cannot, and keeps its changes for the next one, which
// makes them over what the file holds once it can be read. Only a file whose bytes were read and are
// not JSON holding an object (or what is no file, or is far too large to be ours) is renamed aside,
// to "preferences.json.damaged" or with a number when that exists, and the store starts empty.
// Values of kinds it does not know (null) are dropped one by one.
//
// Reads may come from any thread.
class DefaultsStore {
public:
    using Dictionary = DefaultsValue::Dictionary;
    // A change made over the values of the file as they are when it is written (and over the values
    // in memory at once). It may run more than once: applied to the same values twice, it must give
    // what applying it once gives.
    using Edit = std::function<void(Dictionary&)>;

    // ReadOnly stores neither write nor set a damaged file aside; changes stay in memory.
    enum class Access { ReadWrite, ReadOnly };

    // A store in memory only.
    DefaultsStore() = default;
    explicit DefaultsStore(std::filesystem::path file, Access access = Access::ReadWrite);
    DefaultsStore(const DefaultsStore&) = delete;
    DefaultsStore& operator=(const DefaultsStore&) = delete;

    // The file of a named domain below the XDG config folder.
    static std::filesystem::path domainFile(std::string_view domain);

    // Adds to the registration layer (a later registration of a key replaces the earlier one).
    void registerDefaults(const Dictionary& values);

    // The stored value, else the registered one, else none.
    std::optional<DefaultsValue> object(std::string_view key) const;
    // Every key with its value: the registered values overlaid by the stored ones.
    Dictionary dictionaryRepresentation() const;

    void set(std::string_view key, DefaultsValue value);
    // Stores several values with one write of the file.
    void setValues(const Dictionary& values);
    void remove(std::string_view key);
    // A change that depends on the values stored (a list that another copy may change as well).
    void edit(Edit change);

    // Takes in what another copy wrote to the file since this one last read or wrote it, when the
    // file has changed; this copy's unwritten changes stay over it. A file that cannot be read now
    // leaves the values as they are.
    void refresh();

    // Plain reads. A Boolean is itself; a number is true when not 0; a text is true when it reads
    // "true", "yes" or a non-zero number (any letter case); anything else, or nothing, is false.
    bool boolValue(std::string_view key) const;
    // A number as it is, a Boolean as 0 or 1, a text holding a decimal number; otherwise 0.
    double doubleValue(std::string_view key) const;
    // A text value only; none for other kinds.
    std::optional<std::string> string(std::string_view key) const;
    // A list made only of texts; none for other kinds.
    std::optional<std::vector<std::string>> stringArray(std::string_view key) const;

    // Why the last write of the file failed, or why the file could not be read when the store was
    // opened: the file may then lack values the store holds, and the next change, or setting any
    // value again, tries once more. None while the file holds every value.
    std::optional<std::error_code> writeError() const;
    // Told, on the thread that wrote, whenever a write fails: each such change is lost at the end
    // of the run.
    Signal<std::error_code> writeFailed;

    // The error of the system that kept the file from being read at the last look; none once it
    // was read, found absent or found damaged. While there is one, what the store holds says
    // nothing of what the file holds.
    std::optional<std::error_code> readError() const;

    const std::filesystem::path& file() const { return file_; }
    // Where a damaged file was moved when the store was opened, if it was.
    const std::optional<std::filesystem::path>& setAsideFile() const { return setAside_; }

    // The calls of a read of the file.
    enum class FileStep { open, read };
    // For tests: asked before each step of every read of any store's file; an error it gives fails
    // that step as the system would. An empty function ends it.
    static void setFileStepHookForTesting(
        std::function<std::error_code(const std::filesystem::path&, FileStep)> hook);

private:
    // A writer holds the lock for a read and a write of a small file; one that holds it longer is
    // stalled on its disk, where this write would stall too.
    static constexpr std::chrono::seconds lockPatience{2};

    // How a read of the file went.
    enum class FileRead { read, absent, damaged, unavailable };
    // Whether a damaged file is renamed aside when it is met.
    enum class Damage { setAside, keep };

    const DefaultsValue* findLocked(std::string_view key) const;
    void load();
    // Renames aside the damaged file read, when it is still the one at the name; false when another
    // has taken the name since (or the name cannot be looked at).
    bool setAside(const FileVersion& read);
    // Reads the file into onDisk_, looking again after an error of the system. absent and a damaged
    // file set aside leave onDisk_ empty; unavailable (readError_ tells why) and a damaged file kept
    // leave it as it was.
    FileRead readFileLocked(Damage damage);
    // One look; `read` is the version of a damaged file.
    FileRead readFileOnceLocked(FileVersion& read);
    // The lock of the file's writers; none where the folder keeps no locks. Throws
    // std::system_error when another writer holds it for longer than lockPatience.
    std::unique_ptr<FileLock> lockFileLocked() const;
    // The values read: onDisk_ with the unwritten changes made over it.
    void rebuildLocked();
    // Applies the change to the values in memory and keeps it for the next write.
    void changeLocked(Edit change);
    // Writes the file and tells of a failure once the lock is given up.
    void persist(std::unique_lock<std::mutex>& lock);
    void persistLocked();

    mutable std::mutex mutex_;
    std::filesystem::path file_;
    Access access_ = Access::ReadOnly;
    // The values as this copy last read or wrote them in the file.
    Dictionary onDisk_;
    // The version of the file they were read from or written as; none while there was no file.
    std::optional<FileVersion> seen_;
    // This copy's changes not written yet, in order.
    std::vector<Edit> unwritten_;
    // onDisk_ with the unwritten changes made over it: what this copy reads.
    Dictionary stored_;
    Dictionary registered_;
    std::optional<std::filesystem::path> setAside_;
    std::optional<std::error_code> writeError_; // the last write failed
    std::optional<std::error_code> readError_;  // the last look at the file failed
};

} // namespace sorvin
