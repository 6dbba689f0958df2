#pragma once

#include "library/photo_library.hpp"
#include "persistence/selection_combine.hpp"
#include "persistence/selection_json_value.hpp"
#include "persistence/selection_record.hpp"
#include "persistence/selection_save_values.hpp"
#include "persistence/selection_stamps.hpp"
#include "persistence/selection_store_lock.hpp"
#include "platform/file_manager.hpp"

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace sorvin {

enum class SelectionLoadWarning {
    brokenJSON,     // the chosen file could not be read, parsed or decoded
    unknownVersion, // the chosen file holds no version this program reads
    unreadableNow,  // the system could not look at or read the folder's record (a share that
                    // stopped answering, a record being replaced): it is never written over
                    // without what it holds; the session's changes go over it once it reads again
};

// Why the folder's record is kept from being written over.
enum class SelectionProtection {
    newerVersion,   // written by a later version of the program
    unknownVersion, // names no version this program knows
    tooLarge,       // larger than this program reads
};

// Why this copy's values go to a file beside the record instead of into it: the record on disk
// could not be combined with them.
enum class SelectionDiversion {
    changedOnDisk, // the record kept changing on disk, or became one this program cannot read
    unreadable,    // the record could not be read, at opening and again at the save
};

// What a save found when the record on disk was not the one this copy read or last wrote (another
// copy of the program, another computer, a sync client): both were combined, photo by photo.
struct SelectionCombination {
    // The photos whose values on disk now are not those this copy handed to the save: changed
    // elsewhere, and not here.
    std::set<std::string> paths;
    SelectionRecord written; // the values written, of those photos
    SelectionRecord handed;  // the values handed to the save, of those photos
};

// What loading a folder's record gives the application state.
struct SelectionLoadResult {
    std::set<std::string> hearts;
    SelectionRecord::PathMap<double> rotations;
    SelectionRecord::PathMap<ManualCrop> crops;
    SelectionRecord::PathMap<int> brightness;
    SelectionRecord::PathMap<PhotoParameters> params;
    SelectionRecord::PathMap<PhotoParameters> paramsRaw;
    SelectionRecord::PathMap<PhotoSource> sources;
    SelectionRecord::PathMap<RetouchState> retouchesB;
    std::optional<std::string> cursor;
    std::optional<SelectionLoadWarning> warning;
    bool usesFallback = false;
    // Files that earlier saves left beside the record ("<record>.conflict-<seconds>"): taken into
    // the record and removed, or, where that could not be written, kept and named here.
    bool tookInConflictFiles = false;
    std::vector<std::filesystem::path> keptConflictFiles;

    bool operator==(const SelectionLoadResult&) const = default;

    // A record's values, and the same as the library takes them.
    static SelectionLoadResult of(SelectionRecord record);
    PhotoLibraryRestoration restoration() const;
};

// One place a folder's record may be read from, in the order they are tried.
struct SelectionLoadCandidate {
    std::filesystem::path url;
    bool usesFallback = false;
    bool isLegacy = false;
};

// Reads and writes the record file of one opened photo folder: "sorvin.json" in the folder when
// it can be written, otherwise a file named after the folder's hash in the application's data
// folder. Reads the predecessor's files but never writes them, sets damaged files aside, and
// never overwrites a record it cannot read (of a later version, or larger than it reads, or one
// the system could not read just now). A record that changed on disk since this store read or
// wrote it is combined with this copy's values photo by photo (SelectionCombine): the photos this
// copy changed since take its values, the others keep the disk's. Only where that cannot be
// written do this copy's values go beside it. Synchronous, and every step asks the disk (making
// the store looks at the folder, and its end removes its lock file), so none runs on the main
// thread: one step at a time, the store is made, locked and loaded on one worker and saved on
// another.
class SelectionStore {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    // The largest record written and read, the same for both so that every record written reads
    // back. A photo with every parameter edited, in four masks too, for its JPEG and its RAW file
    // takes some 28 KB, so this holds some 19,000 of them; reading a record takes about five times
    // its size in memory (selection_record_bench).
    static constexpr std::size_t maxRecordBytes = std::size_t{512} << 20;

    // Without a support folder, the data folder's "Sorvin" is used, and unless given, its
    // "Tolvanite" as the predecessor's. A smaller byte limit is for tests.
    explicit SelectionStore(
        const std::filesystem::path& sourceFolder,
        std::optional<std::filesystem::path> applicationSupportDirectory = std::nullopt,
        std::optional<std::filesystem::path> legacyApplicationSupportDirectory = std::nullopt,
        FileManager& fileManager = FileManager::standard(), Clock now = std::chrono::system_clock::now,
        std::size_t recordByteLimit = maxRecordBytes);

    // The photos of the folder, as the scan found them: the stamps of photos that are neither in the
    // record nor in the folder any more are dropped as the record is written. Without them, every
    // stamp is kept. Before load.
    void setFolderPhotos(std::vector<std::string> paths);

    // Never fails: every problem becomes a warning in the result.
    SelectionLoadResult load();

    // Writes the record of the library's tables (the brightness taken from the exposure); returns
    // false when the folder's file was written and true when the fallback was. Throws
    // SelectionStoreError when the folder's file holds a record of an unreadable version, and
    // std::system_error or std::filesystem::filesystem_error when no file could be written.
    // Nothing is touched when the record cannot be encoded, nor when its text is larger than the
    // byte limit (std::system_error, file_too_large).
    bool save(const SelectionSaveValues& values, std::chrono::system_clock::time_point date);

    // Takes the lock of the folder's record (see SelectionStoreLock) for as long as the store
    // lives; the other process that holds it when one does. Where no lock can be made (a data
    // folder that cannot be written, a folder at the lock's name), nothing is locked and
    // lockless() tells so: another copy is not kept out, and saves combine with its record.
    std::optional<SelectionRecordHolder> lock();
    bool lockless() const { return lockless_; }

    // Where the last save put this copy's values since the record could not be combined with
    // them: "<record name>.conflict-<seconds>" beside it; the next opening takes it in. None once
    // a save wrote the record again.
    std::optional<std::filesystem::path> keptBesideURL() const;
    std::optional<SelectionDiversion> diversion() const;
    // What the last save combined from a record changed elsewhere; none when it found the record
    // it expected.
    const std::optional<SelectionCombination>& combination() const { return combination_; }

    // The record a save of these values writes, before it meets the record on disk.
    static SelectionRecord recordOf(const SelectionSaveValues& values,
                                    std::chrono::system_clock::time_point date);

    // Why every save refuses to write the folder's record, while it does: the folder's own file is
    // one this program cannot read, or the fallback is and the folder cannot be written (as far
    // as the last save, or the record read, tells).
    std::optional<SelectionProtection> protection() const;

    const std::filesystem::path& sourceFolder() const { return sourceFolder_; }
    const std::filesystem::path& primaryURL() const { return primaryURL_; }
    const std::filesystem::path& legacyPrimaryURL() const { return legacyPrimaryURL_; }
    const std::filesystem::path& fallbackURL() const { return fallbackURL_; }
    const std::optional<std::filesystem::path>& legacyFallbackURL() const { return legacyFallbackURL_; }
    const std::optional<std::filesystem::path>& protectedRecordURL() const { return protectedRecordURL_; }
    std::vector<SelectionLoadCandidate> loadCandidates() const;

    // The first 8 bytes of SHA-256 over the path's UTF-8 bytes, as 16 lower-case hex digits.
    static std::string folderHash(std::string_view folderPath);
    // The folder as the store names it: absolute, without "." and ".." steps or a final slash.
    static std::filesystem::path standardized(const std::filesystem::path& folder);
    // What tells the folder from any other however it is reached (a link, another spelling): its
    // device and inode, or its standardized path where it cannot be reached.
    static std::string folderIdentity(const std::filesystem::path& folder);
    const std::string& folderIdentity() const { return folderIdentity_; }
    // Whether the other store is of this store's folder: the same identity, or the same
    // standardized path, so that a folder whose identity changed while it was open (a card taken
    // out and put back, a share mounted anew) is still the one whose saves are under way. Asks
    // nothing of the disk: each store looked at its folder when it was made.
    bool isOf(const SelectionStore& other) const;

private:
    // unreadable: of a version this program does not read, or too large; kept as it is.
    // unavailable: the system could not read it, time after time; kept as it is.
    enum class Outcome { record, unreadable, broken, unavailable };
    // What is at a location, looked at until the system answers.
    enum class Look { absent, file, other, unavailable };
    Look look(const std::filesystem::path& url) const;
    Outcome inspect(const SelectionLoadCandidate& candidate, StampedRecord& record);
    // Every record read goes through here: this store's counter goes above its stamps.
    Outcome decoded(const SelectionLoadCandidate& candidate, const std::string& text, StampedRecord& record);
    Outcome unreadable(const SelectionLoadCandidate& candidate, SelectionProtection reason);
    void readFallbackNote(const nlohmann::json& document);
    // Reads the folder's record, the fallback and the predecessor's into the record the folder
    // opens with.
    std::optional<SelectionLoadWarning> read(StampedRecord& record, bool& usesFallback);
    // Takes the conflict files beside the record into it, once they are written with it.
    void takeInConflictFiles(StampedRecord& record, SelectionLoadResult& result);
    // Writes the record; rotations and crops are filtered here.
    bool write(SelectionRecord record);
    // Writes this copy's record over the location, combined with what is there when that is not
    // what this store last read or wrote. Throws Uncombined where it cannot be combined.
    void writeCombined(const std::filesystem::path& url, const SelectionRecord& mine);
    // The attempts of one save; writeCombined undoes what they learnt when none wrote or read.
    void writeCombinedOnce(const std::filesystem::path& url, const SelectionRecord& mine);
    // What one save brings: this copy's values, with the stamps of the photos it changed since its
    // last save at the location; the photos whose change was ordered after another's it met; the
    // stamp of changes taken in from a record of an earlier version.
    struct Changes {
        const SelectionRecord& mine;
        SelectionStamps stamps;
        std::set<std::string> ordered;
        SelectionStamp takenIn;
    };
    // What this store knows combined with a record met during a save (see SelectionCombine).
    StampedRecord combinedWith(const StampedRecord& known, const StampedRecord& there, Changes& changes);
    // Reads the location again after it was found changed: the record there, none where nothing is
    // (or a damaged file was set aside), or Uncombined.
    std::optional<StampedRecord> reread(const std::filesystem::path& url);
    std::string textFor(const std::filesystem::path& url, const StampedRecord& record) const;
    // A stamp later than every one this store has seen.
    SelectionStamp freshStamp();
    // Drops the stamps of photos neither in the record nor in the folder.
    void dropStampsOfGonePhotos(StampedRecord& record) const;
    // Writes this copy's values beside the record at the location.
    void writeBeside(const std::filesystem::path& url, const SelectionRecord& mine, SelectionDiversion why);
    void dropKeptBeside();
    // Whether the record at the location already holds all this store knows with the changes
    // combined in (it is then read).
    bool recordThereCovers(const std::filesystem::path& url, Changes& changes);
    // Removes the fallback once the folder's record holds what it held.
    void removeFallbackTakenIn();
    // Moves the damaged file aside while it is still the version read; false when it is not.
    bool setAside(const std::filesystem::path& file, const FileVersion& read);
    std::filesystem::path uniqueURL(const std::filesystem::path& url) const;
    std::string secondsNow() const;

    std::filesystem::path sourceFolder_;
    std::filesystem::path primaryURL_;
    std::filesystem::path legacyPrimaryURL_;
    std::filesystem::path fallbackURL_;
    std::optional<std::filesystem::path> legacyFallbackURL_;
    FileManager& fileManager_;
    Clock now_;
    std::size_t recordByteLimit_;
    // The location whose record this program cannot read, and why.
    std::optional<std::filesystem::path> protectedRecordURL_;
    SelectionProtection protection_ = SelectionProtection::unknownVersion;
    // The folder's file could not be written at the last save; before any save, the record was
    // read from the fallback, which is written only when the folder cannot be.
    bool folderRefusesWrites_ = false;
    // Locations never written: a damaged file that could not be set aside, so it is not lost, and
    // anything there that is not a file (a FIFO, a device, a folder, a link to one).
    std::set<std::filesystem::path> keptLocations_;
    // At each location looked at: the file this store last read or wrote there (nothing: no file),
    // what it held, and this copy's own values as they stood then. The photos whose values
    // differ from the last are the ones this copy changed since.
    std::map<std::filesystem::path, std::optional<FileVersion>> seen_;
    std::map<std::filesystem::path, std::string> digests_; // SHA-256 of the bytes, when read or written
    std::map<std::filesystem::path, StampedRecord> known_;
    std::map<std::filesystem::path, SelectionRecord> handed_;
    // Above every stamp this store has seen; its own stamps carry its mark.
    std::uint64_t clock_ = 0;
    std::string writerMark_;
    std::optional<std::vector<std::string>> folderPhotos_; // sorted
    // Locations whose file the system could not read: read again before anything is written there.
    std::set<std::filesystem::path> unavailableLocations_;
    // The fallback's values were read when the folder opened (or it had none), so that it may go
    // once the folder's record holds them.
    bool fallbackTakenIn_ = false;
    // What the fallback read at opening noted of the folder's record it started from.
    std::optional<std::optional<FileVersion>> fallbackStartedFrom_;
    std::set<std::string> fallbackChanged_;
    std::optional<std::filesystem::path> keptBesideURL_;
    std::optional<SelectionDiversion> diversion_;
    std::optional<SelectionCombination> combination_;
    std::string folderIdentity_;
    std::shared_ptr<FileLock> lock_;
    bool lockless_ = false;
};

} // namespace sorvin
