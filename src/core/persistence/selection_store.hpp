#pragma once

#include "persistence/selection_record.hpp"
#include "persistence/selection_save_values.hpp"
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
    unreadableNow,  // the system could not read the chosen file (a share that stopped answering,
                    // a record being replaced): nothing is written over it while the folder is open
};

// Why the folder's record is kept from being written over.
enum class SelectionProtection {
    newerVersion,   // written by a later version of the program
    unknownVersion, // names no version this program knows
    tooLarge,       // larger than this program reads
};

// Why this copy's values go to a file beside the record instead of into it.
enum class SelectionDiversion {
    changedOnDisk, // the record changed since this copy read or wrote it (another copy of the
                   // program, another computer, a sync client): the newer one is kept
    unreadable,    // the record could not be read when the folder was opened
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

    bool operator==(const SelectionLoadResult&) const = default;
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
// the system could not read just now) nor one that changed on disk since this store read or wrote
// it: this copy's values then go beside it. Synchronous. Loads run on the main thread; once
// loaded, saves may run on another thread, one at a time, since a save changes nothing in the
// store but what it saw of the files it wrote.
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
    // lives; the other process that holds it when one does. Without a data folder to lock in,
    // nothing is locked: the record is still never written over once it changed on disk.
    std::optional<SelectionRecordHolder> lock();

    // Where this copy's values go since a save found the record changed on disk, or since it
    // could not be read: "<record name>.conflict-<seconds>" beside it. Once there, every later
    // save of the store goes there too.
    std::optional<std::filesystem::path> keptBesideURL() const;
    std::optional<SelectionDiversion> diversion() const;

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

private:
    // unreadable: of a version this program does not read, or too large; kept as it is.
    // unavailable: the system could not read it, time after time; kept as it is.
    enum class Outcome { record, unreadable, broken, unavailable };
    Outcome inspect(const SelectionLoadCandidate& candidate, SelectionRecord& record);
    Outcome decoded(const SelectionLoadCandidate& candidate, const std::string& text,
                    SelectionRecord& record);
    Outcome unreadable(const SelectionLoadCandidate& candidate, SelectionProtection reason);
    // Notes what is at the folder's file and the fallback before they are read.
    void lookAtLocations();
    // Writes the record of the given values; rotations and crops are filtered here.
    bool write(SelectionRecord record);
    // Replaces the file at the location only while it is what this store last saw there, or
    // nothing is there; throws RecordChanged otherwise, and for a location that could not be read.
    void writeOver(const std::filesystem::path& url, const std::string& text);
    // Writes this copy's values beside the record at the location.
    void writeBeside(const std::filesystem::path& url, const std::string& text, SelectionDiversion why);
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
    // What this store last read or wrote at each location it looked at (nothing: no file there).
    std::map<std::filesystem::path, std::optional<FileVersion>> seen_;
    // Locations whose file the system could not read: never written over.
    std::set<std::filesystem::path> unavailableLocations_;
    std::optional<std::filesystem::path> keptBesideURL_;
    std::optional<SelectionDiversion> diversion_;
    std::string folderIdentity_;
    std::shared_ptr<FileLock> lock_;
};

} // namespace sorvin
