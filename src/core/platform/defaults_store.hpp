#pragma once

#include "platform/defaults_value.hpp"
#include "platform/file_version.hpp"
#include "platform/signal.hpp"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace sorvin {

class FileLock;
class MainQueue;
class OpenedFolder;

// The user's preferences of one domain, kept in one JSON file ($XDG_CONFIG_HOME/<domain>/
// preferences.json). Values keep the kind they were stored with. Registered values form a second
// layer that is read only while nothing is stored under a key; they are never written.
//
// The file is read when the store is opened; from then on every read is made in memory, and every
// change is made in memory at once and written by the store's own thread, never the caller's: a
// home on a share that answers late holds only that thread. The writes go in the order of the
// changes, one at a time; the changes made while one is written go together in the next (setting
// a value already held is no change).
//
// Several copies of the program may run at once, each with its own store on the file. A write never
// puts this copy's memory over the file: under a lock (<file>.lock, held only while writing) it
// reads the file as it is now (unless it is still the file this copy last read or wrote), makes over
// it the changes this copy made since its last write, and replaces the file with the result in one
// step. The values another copy wrote stay, and this copy reads them from then on. A failed write
// leaves the file as it was and keeps its changes in memory, so preferences never stop the program:
// the next change writes them again, and the owner is told of each failed write through writeFailed.
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
// Reads and changes may come from any thread; the store's lock is never held while its thread
// waits on the disk.
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
    // Waits for the writes of the changes made (see waitUntilWritten).
    ~DefaultsStore();
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

    // Has the store's thread take in what another copy wrote to the file since this one last read or
    // wrote it, when the file has changed; this copy's unwritten changes stay over it. A file that
    // cannot be read then leaves the values as they are.
    void refresh();

    // Where writeFailed and whenWritten are told: the main thread's queue. None (at first): nobody
    // is told.
    void reportOn(MainQueue* queue);
    // Tells `done`, on the report queue, once what was asked of the store so far has been done:
    // every change made so far written (or the write that carried it failed: `done` gets its
    // error) and every refresh asked made.
    void whenWritten(std::function<void(std::optional<std::error_code> error)> done);
    // Returns once what was asked of the store so far has been done, however long the disk takes:
    // at the end of the program, and for tests.
    void waitUntilWritten();

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
    // Told, on the report queue, whenever a write fails: each such change is lost at the end of
    // the run.
    Signal<std::error_code> writeFailed;

    // The error of the system that kept the file from being read at the last look; none once it
    // was read, found absent or found damaged. While there is one, what the store holds says
    // nothing of what the file holds.
    std::optional<std::error_code> readError() const;

    const std::filesystem::path& file() const { return file_; }
    // Where a damaged file was moved when the store was opened, if it was.
    const std::optional<std::filesystem::path>& setAsideFile() const { return setAside_; }

    // The calls of a look at the file: the first (its status, or its opening to read it), and the
    // read.
    enum class FileStep { open, read };
    // For tests: asked before each step of every read of any store's file; an error it gives fails
    // that step as the system would. An empty function ends it.
    static void setFileStepHookForTesting(
        std::function<std::error_code(const std::filesystem::path&, FileStep)> hook);

private:
    // A writer holds the lock for a read and a write of a small file; one that holds it longer is
    // stalled on its disk, where this write would stall too.
    static constexpr std::chrono::seconds lockPatience{2};
    // How many tries for the lock another writer is given, on a disk slow on every call, to write.
    static constexpr int writeInLockTries = 16;

    // How a read of the file went.
    enum class FileRead { read, absent, damaged, unavailable };
    // Whether a damaged file is renamed aside when it is met.
    enum class Damage { setAside, keep };
    // What a look at the file found: made without the store's lock, taken in under it.
    struct Look {
        FileRead result = FileRead::unavailable;
        Dictionary values;                             // read: what the file holds
        std::optional<FileVersion> version;            // read: the file read
        std::error_code error;                         // unavailable: why
        std::optional<std::filesystem::path> setAside; // damaged: where the file went
    };
    // What a turn of the store's thread came to.
    struct Outcome {
        std::optional<Look> look;
        // Written: the values the file holds now, and its version.
        std::optional<Dictionary> written;
        std::optional<FileVersion> version;
        std::optional<std::error_code> writeError;
    };
    struct Waiting {
        std::uint64_t after; // told once this many requests are done
        std::function<void(std::optional<std::error_code>)> done;
    };

    const DefaultsValue* findLocked(std::string_view key) const;
    void load();
    // Renames aside the damaged file read, when it is still the one at the name; false when another
    // has taken the name since (or the name cannot be looked at).
    bool setAside(const FileVersion& read, std::optional<std::filesystem::path>& movedTo) const;
    // Reads the file reached at `at`, looking again after an error of the system.
    Look readFile(const std::filesystem::path& at, Damage damage) const;
    // One look at the file reached at `at`; `read` is the version of a damaged file.
    Look readFileOnce(const std::filesystem::path& at, FileVersion& read) const;
    // The lock of the file's writers, in the folder opened (none: reached by its path); none where
    // the folder keeps no locks. Makes the folder when it is missing, and opens it then. Throws
    // std::system_error when another writer holds it longer than a write takes (lockPatience, or
    // longer on a slow disk).
    std::unique_ptr<FileLock> lockFile(std::optional<OpenedFolder>& folder) const;
    // Reads the file under the writers' lock and writes it with the changes made over it. The file
    // is not read again while it is still the version `seen` this copy read or wrote, of values
    // `onDisk`.
    Outcome writeFile(const std::vector<Edit>& changes, const std::optional<FileVersion>& seen,
                      const Dictionary& onDisk) const;
    // Reads the file again when it is no longer the one seen.
    Outcome refreshFile(const std::optional<FileVersion>& seen) const;
    // onDisk_, seen_ and the errors as the look found them.
    void takeInLocked(const Look& look);
    // The values read: onDisk_ with the unwritten changes made over it.
    void rebuildLocked();
    // Applies the change to the values in memory and has it written.
    void changeLocked(Edit change);
    // Has the store's thread write the changes (a write) or read the file (a refresh).
    void askLocked(bool write);
    // The store's thread: one turn after another while some are asked.
    void work();
    // Does what was asked so far, without the lock while at the disk, and reports it.
    void turnLocked(std::unique_lock<std::mutex>& lock);
    // Tells the report queue of a failed write and of the waiting that are done.
    void reportLocked(std::optional<std::error_code> writeError);

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

    // The requests (writes and refreshes) made, and those done; a turn does every one made before it.
    std::uint64_t asked_ = 0;
    std::uint64_t done_ = 0;
    bool writeAsked_ = false;
    bool refreshAsked_ = false;
    bool ending_ = false;
    std::vector<Waiting> waiting_;
    MainQueue* reportQueue_ = nullptr;
    // What was posted to the report queue finds the store gone through it.
    std::shared_ptr<DefaultsStore*> alive_ = std::make_shared<DefaultsStore*>(this);
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::thread thread_;
};

} // namespace sorvin
