#include "persistence/selection_store.hpp"

#include "library/photo_library.hpp"
#include "model/photo_rotation.hpp"
#include "persistence/selection_json_value.hpp"
#include "persistence/selection_record_photos.hpp"
#include "persistence/selection_record_decoder.hpp"
#include "persistence/selection_record_encoder.hpp"
#include "persistence/selection_rotation.hpp"
#include "persistence/selection_stamps.hpp"
#include "persistence/selection_store_error.hpp"
#include "platform/file_node.hpp"
#include "platform/internet_date_time.hpp"
#include "platform/json_text.hpp"
#include "platform/sha256.hpp"
#include "platform/uuid_text.hpp"
#include "platform/xdg_folders.hpp"

#include <algorithm>
#include <charconv>
#include <fmt/format.h>
#include <new>
#include <random>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace sorvin {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFileName = "sorvin.json";
constexpr const char* kLegacyFileName = "tolvanite.json";
// How often a record the system could not read is read again, and the pauses between (a record
// being renamed over through a FUSE mount reads ENOENT for some milliseconds).
constexpr int kReadAttempts = 4;
constexpr std::chrono::milliseconds kReadPause{20};
// Records nest four levels deep; a file nesting deeper than this is not one of ours.
constexpr int kMaxNesting = 64;

SelectionJSONValue::Json parseRecordText(const std::string& text) {
    if (JsonText::nestingDepth(text) > kMaxNesting) throw std::runtime_error("record nested too deeply");
    return SelectionJSONValue::Json::parse(text);
}

// How often a save writes again when another writer's record stood where it wrote.
constexpr int kWriteAttempts = 16;

// Two writers that keep meeting each other's record would write in step for ever: from the second
// meeting on, each waits a while of its own choosing, longer each time.
void pauseBeforeWritingAgain(int meetings) {
    if (meetings < 2) return;
    thread_local std::minstd_rand random{std::random_device{}()};
    const int most = 2 << std::min(meetings, 7);
    std::this_thread::sleep_for(std::chrono::microseconds(500 * static_cast<int>(random() % most)));
}

// A location whose record could not be combined with this copy's values.
struct Uncombined {
    SelectionDiversion why;
};

} // namespace

fs::path SelectionStore::standardized(const fs::path& folder) {
    std::error_code ignored;
    fs::path absolute = fs::absolute(folder, ignored);
    if (absolute.empty()) absolute = folder;
    absolute = absolute.lexically_normal();
    std::string text = absolute.string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

std::string SelectionStore::folderIdentity(const fs::path& folder) {
    if (const auto node = FileNode::of(folder)) return fmt::format("node:{}:{}", node->device, node->inode);
    return "path:" + standardized(folder).string();
}

bool SelectionStore::isOf(const SelectionStore& other) const {
    return other.sourceFolder_ == sourceFolder_ || other.folderIdentity_ == folderIdentity_;
}

std::string SelectionStore::folderHash(std::string_view folderPath) {
    const auto digest = Sha256::digest(folderPath);
    std::string hash;
    for (std::size_t i = 0; i < 8; ++i)
        hash += fmt::format("{:02x}", digest[i]);
    return hash;
}

SelectionStore::SelectionStore(const fs::path& sourceFolder,
                               std::optional<fs::path> applicationSupportDirectory,
                               std::optional<fs::path> legacyApplicationSupportDirectory,
                               FileManager& fileManager, Clock now, std::size_t recordByteLimit)
    : sourceFolder_(standardized(sourceFolder)), fileManager_(fileManager), now_(std::move(now)),
      recordByteLimit_(recordByteLimit), folderIdentity_(folderIdentity(sourceFolder_)) {
    // Twelve random hex digits tell this store's changes from another's made at once.
    const std::string uuid = UuidText::random();
    writerMark_ = uuid.substr(0, 8) + uuid.substr(9, 4);
    primaryURL_ = sourceFolder_ / kFileName;
    legacyPrimaryURL_ = sourceFolder_ / kLegacyFileName;
    fs::path support;
    std::optional<fs::path> legacySupport = std::move(legacyApplicationSupportDirectory);
    if (applicationSupportDirectory) {
        support = *applicationSupportDirectory;
    } else {
        const fs::path data = XdgFolders::dataHome();
        support = data / "Sorvin";
        if (!legacySupport) legacySupport = data / "Tolvanite";
    }
    const std::string fileName = folderHash(sourceFolder_.string()) + ".json";
    fallbackURL_ = support / fileName;
    if (legacySupport) legacyFallbackURL_ = *legacySupport / fileName;
}

std::vector<SelectionLoadCandidate> SelectionStore::loadCandidates() const {
    std::vector<SelectionLoadCandidate> candidates{
        {primaryURL_, false, false}, {legacyPrimaryURL_, false, true}, {fallbackURL_, true, false}};
    if (legacyFallbackURL_) candidates.push_back({*legacyFallbackURL_, true, true});
    return candidates;
}

// Every look at a location goes through here: an error of the system is looked at again (a record
// being renamed over through a share reads ENOENT for some milliseconds, a share that stalls EIO or
// ESTALE), and nothing is there only when the folder's listing agrees.
SelectionStore::Look SelectionStore::look(const fs::path& url) const {
    for (int attempt = 1;; ++attempt) {
        try {
            if (const auto version = fileManager_.version(url)) return version->regular ? Look::file : Look::other;
            if (!fileManager_.listed(url)) return Look::absent;
        } catch (const std::system_error&) {
        }
        if (attempt >= kReadAttempts) return Look::unavailable;
        std::this_thread::sleep_for(kReadPause * attempt);
    }
}

void SelectionStore::setFolderPhotos(std::vector<std::string> paths) {
    std::sort(paths.begin(), paths.end());
    folderPhotos_ = std::move(paths);
}

SelectionLoadResult SelectionStore::load() {
    StampedRecord record;
    SelectionLoadResult result;
    result.warning = read(record, result.usesFallback);
    folderRefusesWrites_ = result.usesFallback;
    if (!unavailableLocations_.contains(primaryURL_) && protectedRecordURL_ != primaryURL_)
        takeInConflictFiles(record, result);
    SelectionLoadResult values = SelectionLoadResult::of(std::move(record.record));
    values.warning = result.warning;
    values.usesFallback = result.usesFallback;
    values.tookInConflictFiles = result.tookInConflictFiles;
    values.keptConflictFiles = std::move(result.keptConflictFiles);
    return values;
}

namespace {

template <class Map>
auto unorderedCopy(const Map& map) {
    return PathMap<typename Map::mapped_type>(map.begin(), map.end());
}

} // namespace

PhotoLibraryRestoration SelectionLoadResult::restoration() const {
    PhotoLibraryRestoration restored;
    restored.hearts = PathSet(hearts.begin(), hearts.end());
    restored.rotations = unorderedCopy(rotations);
    restored.crops = unorderedCopy(crops);
    restored.brightness = unorderedCopy(brightness);
    restored.parameters = unorderedCopy(params);
    restored.parametersRaw = unorderedCopy(paramsRaw);
    restored.sources = unorderedCopy(sources);
    restored.retouchesB = unorderedCopy(retouchesB);
    restored.cursorPath = cursor;
    return restored;
}

SelectionLoadResult SelectionLoadResult::of(SelectionRecord record) {
    SelectionLoadResult result;
    result.hearts.insert(record.hearts.begin(), record.hearts.end());
    result.rotations = std::move(record.rotations);
    result.crops = std::move(record.crops);
    result.brightness = std::move(record.brightness);
    result.params = std::move(record.params);
    result.paramsRaw = std::move(record.paramsRaw);
    result.sources = std::move(record.sources);
    result.retouchesB = std::move(record.retouchesB);
    result.cursor = std::move(record.cursor);
    return result;
}

std::optional<SelectionLoadWarning> SelectionStore::read(StampedRecord& record, bool& usesFallback) {
    const auto candidates = loadCandidates();
    const auto warningOf = [](Outcome outcome) -> std::optional<SelectionLoadWarning> {
        switch (outcome) {
        case Outcome::unreadable: return SelectionLoadWarning::unknownVersion;
        case Outcome::broken: return SelectionLoadWarning::brokenJSON;
        case Outcome::unavailable: return SelectionLoadWarning::unreadableNow;
        case Outcome::record: break;
        }
        return std::nullopt;
    };
    // The folder's own record first. One the system cannot look at or read opens the folder
    // "unreadable now": no other candidate stands in for it, and what is saved meanwhile goes over
    // it only once it reads again, combined with it.
    known_[primaryURL_] = {};
    handed_[primaryURL_] = {};
    // Something that is not a file where a record belongs is never read (a FIFO would block the
    // read for ever), moved or written: it is treated as a damaged record that cannot be set
    // aside, and the fallback holds the record.
    bool skippedSpecial = false;
    std::optional<Outcome> folderOutcome;
    switch (look(primaryURL_)) {
    case Look::unavailable:
        unavailableLocations_.insert(primaryURL_);
        return SelectionLoadWarning::unreadableNow;
    case Look::absent:
        seen_[primaryURL_] = std::nullopt;
        break;
    case Look::other:
        keptLocations_.insert(primaryURL_);
        skippedSpecial = true;
        break;
    case Look::file:
        folderOutcome = inspect(candidates[0], record);
        if (*folderOutcome == Outcome::unavailable) return SelectionLoadWarning::unreadableNow;
        if (*folderOutcome == Outcome::record) known_[primaryURL_] = record;
        handed_[primaryURL_] = known_[primaryURL_].record;
        break;
    }
    // The fallback holds the latest values while the folder cannot be written. It notes the
    // version of the folder's record it started from: while that is still there, the fallback
    // carries on from it; once the folder's record changed, the photos the fallback changed take
    // its values and the others keep the folder's.
    const auto& fallback = candidates[2];
    const Look fallbackLook = look(fallback.url);
    fallbackTakenIn_ = fallbackLook == Look::absent;
    if (fallbackLook == Look::absent) seen_[fallback.url] = std::nullopt;
    if (fallbackLook == Look::other) keptLocations_.insert(fallback.url);
    if (folderOutcome && *folderOutcome != Outcome::record) {
        // A folder record that is damaged, or of a version this program cannot read, is kept as
        // it is; saves that went to the fallback meanwhile are what the folder shows.
        if (fallbackLook == Look::file) {
            StampedRecord fallbackRecord;
            if (inspect(fallback, fallbackRecord) == Outcome::record) {
                fallbackTakenIn_ = true;
                known_[fallback.url] = fallbackRecord;
                handed_[fallback.url] = fallbackRecord.record;
                record = std::move(fallbackRecord);
                usesFallback = true;
                return std::nullopt;
            }
        }
        return warningOf(*folderOutcome);
    }
    if (fallbackLook == Look::file) {
        StampedRecord fallbackRecord;
        const Outcome outcome = inspect(fallback, fallbackRecord);
        if (outcome == Outcome::record) {
            fallbackTakenIn_ = true;
            known_[fallback.url] = fallbackRecord;
            handed_[fallback.url] = fallbackRecord.record;
            if (!folderOutcome || (fallbackStartedFrom_ && *fallbackStartedFrom_ == seen_[primaryURL_])) {
                record = std::move(fallbackRecord);
                usesFallback = true;
            } else if (fallbackStartedFrom_) {
                // Saved to the folder from here on, the fallback's changes count as this copy's:
                // each photo it changed takes its values, unless the folder's record changed it later.
                SelectionCombine::take(record, fallbackRecord.record, fallbackRecord.stamps, fallbackChanged_);
            } else {
                // A fallback of an earlier version notes nothing: all its photos count as changed.
                const StampedRecord all = SelectionCombine::stampedAll(std::move(fallbackRecord), freshStamp());
                SelectionCombine::take(record, all.record, all.stamps, SelectionCombine::held(all));
            }
            return std::nullopt;
        }
        if (!folderOutcome) {
            usesFallback = true;
            return warningOf(outcome);
        }
        // The folder's record stands; the fallback that cannot be read stays as it is.
        return std::nullopt;
    }
    if (folderOutcome) return std::nullopt;
    if (fallbackLook == Look::unavailable) {
        // The fallback may hold the record: the folder is not known to have none.
        unavailableLocations_.insert(fallback.url);
        return SelectionLoadWarning::unreadableNow;
    }
    // The predecessor's records, read where neither of ours is there; never written.
    const Look legacyLook = look(legacyPrimaryURL_);
    if (legacyLook == Look::file) return warningOf(inspect(candidates[1], record));
    if (legacyLook == Look::other) skippedSpecial = true;
    if (candidates.size() > 3 && look(candidates[3].url) == Look::file) {
        usesFallback = true;
        return warningOf(inspect(candidates[3], record));
    }
    if (skippedSpecial) return SelectionLoadWarning::brokenJSON;
    return std::nullopt;
}

namespace {

// The seconds and the counter a conflict file's name ends with, to take them in the order written.
std::pair<long long, long long> conflictOrder(const std::string& suffix) {
    long long seconds = 0;
    long long counter = 0;
    const char* const end = suffix.data() + suffix.size();
    const auto [next, error] = std::from_chars(suffix.data(), end, seconds);
    if (error == std::errc() && next != end && *next == '-') std::from_chars(next + 1, end, counter);
    return {seconds, counter};
}

} // namespace

// Files an earlier save left beside the record because it could not combine its values with it:
// their values are newer than the record's for the photos they hold. They are written into the
// record at once, and removed once that is done.
void SelectionStore::takeInConflictFiles(StampedRecord& record, SelectionLoadResult& result) {
    std::vector<std::pair<std::pair<long long, long long>, fs::path>> found;
    for (const fs::path& url : {primaryURL_, fallbackURL_}) {
        const std::string prefix = url.filename().string() + ".conflict-";
        std::error_code error;
        for (fs::directory_iterator it(url.parent_path(), error), end; !error && it != end; it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (!name.starts_with(prefix) || name.find(".tmp-") != std::string::npos) continue;
            found.push_back({conflictOrder(name.substr(prefix.size())), it->path()});
        }
    }
    if (found.empty()) return;
    std::sort(found.begin(), found.end());
    std::vector<fs::path> takenIn;
    StampedRecord combined = record;
    for (const auto& [order, file] : found) {
        StampedRecord beside;
        // Read as the predecessor's files are: never set aside, moved or protected.
        if (inspect({file, false, true}, beside) != Outcome::record) {
            result.keptConflictFiles.push_back(file);
            continue;
        }
        // A file beside gives the photos it holds and no others, each unless the record changed it
        // later. One of an earlier version notes no stamps: what it holds is later than the record.
        if (!beside.notesStamps) beside = SelectionCombine::stampedAll(std::move(beside), freshStamp());
        SelectionCombine::take(combined, beside.record, beside.stamps, SelectionCombine::held(beside));
        takenIn.push_back(file);
    }
    if (takenIn.empty()) return;
    // Written now, as a save would, so that the files can go.
    bool written = false;
    try {
        SelectionRecord mine = std::move(combined.record);
        mine.cursor = record.record.cursor;
        mine.updatedAt = InternetDateTime::utcText(now_());
        write(std::move(mine));
        written = !keptBesideURL_;
    } catch (const std::exception&) {
    }
    combination_.reset();
    if (!written) {
        if (keptBesideURL_) takenIn.push_back(*std::exchange(keptBesideURL_, std::nullopt));
        diversion_.reset();
        result.keptConflictFiles.insert(result.keptConflictFiles.end(), takenIn.begin(), takenIn.end());
        return;
    }
    for (const fs::path& file : takenIn) {
        try {
            fileManager_.removeItem(file);
        } catch (const std::exception&) {
        }
    }
    result.tookInConflictFiles = true;
    result.usesFallback = folderRefusesWrites_;
    record = known_[folderRefusesWrites_ ? fallbackURL_ : primaryURL_];
}

// An error of the system is no damage: a record being renamed over through a share reads ENOENT
// for a moment, a share that stalls EIO, ESTALE or ENOTCONN. Such a file is read again, and when
// it stays unreadable it is kept as it is. Only bytes that were read and do not decode are damage,
// and only the very file read is set aside.
SelectionStore::Outcome SelectionStore::inspect(const SelectionLoadCandidate& candidate,
                                                StampedRecord& record) {
    for (int attempt = 1;; ++attempt) {
        FileVersion read;
        std::string text;
        try {
            text = fileManager_.contents(candidate.url, recordByteLimit_, &read);
        } catch (const std::system_error& error) {
            // Larger than any record we write: perhaps one of a later version that writes larger
            // ones, so it is kept as it is.
            if (error.code() == std::errc::file_too_large)
                return unreadable(candidate, SelectionProtection::tooLarge);
            if (attempt < kReadAttempts) {
                std::this_thread::sleep_for(kReadPause * attempt);
                continue;
            }
            if (!candidate.isLegacy) unavailableLocations_.insert(candidate.url);
            return Outcome::unavailable;
        } catch (const std::bad_alloc&) {
            // A record too large for this machine's memory is still a record.
            return unreadable(candidate, SelectionProtection::tooLarge);
        }
        if (!candidate.isLegacy) {
            seen_[candidate.url] = read;
            digests_[candidate.url] = Sha256::hex(text);
            unavailableLocations_.erase(candidate.url);
        }
        const Outcome outcome = decoded(candidate, text, record);
        if (outcome != Outcome::broken || candidate.isLegacy || setAside(candidate.url, read)) return outcome;
        // Another file took the name since it was read: that one is read. One that keeps
        // changing is left alone.
        record = {};
        if (attempt >= kReadAttempts) {
            unavailableLocations_.insert(candidate.url);
            return Outcome::unavailable;
        }
    }
}

SelectionStore::Outcome SelectionStore::decoded(const SelectionLoadCandidate& candidate,
                                                const std::string& text, StampedRecord& record) {
    SelectionJSONValue::Json document;
    try {
        document = parseRecordText(text);
    } catch (const std::bad_alloc&) {
        return unreadable(candidate, SelectionProtection::tooLarge);
    } catch (...) {
        return Outcome::broken;
    }
    const auto version =
        document.is_object()
            ? SelectionJSONValue::exactInteger(SelectionJSONValue::member(document, "version"))
            : std::nullopt;
    if (!version || *version < 1) return unreadable(candidate, SelectionProtection::unknownVersion);
    if (*version > 2) return unreadable(candidate, SelectionProtection::newerVersion);
    try {
        record.record = SelectionRecordDecoder::decode(document);
        record.stamps = SelectionStamping::read(document);
        record.notesStamps = SelectionStamping::noted(document);
        if (candidate.url == fallbackURL_) readFallbackNote(document);
    } catch (const std::bad_alloc&) {
        return unreadable(candidate, SelectionProtection::tooLarge);
    } catch (...) {
        return Outcome::broken;
    }
    // A change this copy makes after seeing another's is later than it.
    clock_ = std::max(clock_, SelectionStamping::latest(record.stamps));
    return Outcome::record;
}

std::optional<SelectionProtection> SelectionStore::protection() const {
    if (!protectedRecordURL_) return std::nullopt;
    if (*protectedRecordURL_ == primaryURL_) return protection_;
    const bool folderTakesNoRecord = folderRefusesWrites_ || keptLocations_.contains(primaryURL_);
    if (*protectedRecordURL_ == fallbackURL_ && folderTakesNoRecord) return protection_;
    return std::nullopt;
}

// A record this program cannot read is left where it is and never written over.
SelectionStore::Outcome SelectionStore::unreadable(const SelectionLoadCandidate& candidate,
                                                   SelectionProtection reason) {
    if (!candidate.isLegacy) {
        protectedRecordURL_ = candidate.url;
        protection_ = reason;
    }
    return Outcome::unreadable;
}

std::string SelectionStore::secondsNow() const {
    return std::to_string(
        std::chrono::duration_cast<std::chrono::seconds>(now_().time_since_epoch()).count());
}

bool SelectionStore::setAside(const fs::path& file, const FileVersion& read) {
    try {
        if (fileManager_.version(file) != read) return false;
    } catch (const std::system_error&) {
        // Whether it is still the file read cannot be told: it stays, and is never written over.
        keptLocations_.insert(file);
        return true;
    }
    const fs::path target =
        uniqueURL(file.parent_path() / (std::string(kFileName) + ".broken-" + secondsNow()));
    try {
        fileManager_.moveItem(file, target);
        seen_[file] = std::nullopt;
    } catch (const std::exception&) {
        keptLocations_.insert(file);
    }
    return true;
}

fs::path SelectionStore::uniqueURL(const fs::path& url) const {
    const auto taken = [&](const fs::path& path) { return fileManager_.entryExists(path); };
    if (!taken(url)) return url;
    for (long suffix = 1;; ++suffix) {
        fs::path candidate = url;
        candidate += fmt::format("-{}", suffix);
        if (!taken(candidate)) return candidate;
    }
}

std::optional<SelectionRecordHolder> SelectionStore::lock() {
    if (lock_) return std::nullopt;
    const fs::path folder = fallbackURL_.parent_path();
    try {
        fileManager_.createDirectories(folder);
        auto taken =
            SelectionStoreLock::acquire(folder / ("record-" + folderHash(folderIdentity_) + ".lock"));
        if (const auto* holder = std::get_if<SelectionRecordHolder>(&taken)) return *holder;
        lock_ = std::get<std::shared_ptr<FileLock>>(std::move(taken));
        lockless_ = false;
    } catch (const std::exception&) {
        // Nowhere to lock: saves still combine with a record that changed on disk.
        lockless_ = true;
    }
    return std::nullopt;
}

std::optional<fs::path> SelectionStore::keptBesideURL() const {
    return keptBesideURL_;
}

std::optional<SelectionDiversion> SelectionStore::diversion() const {
    return diversion_;
}

namespace {

// A table in path order. Its entries are still shared with the library, so they are copied.
template <typename Table>
auto ordered(const Table& table) {
    return SelectionRecord::PathMap<typename Table::value_type::second_type>(table.begin(), table.end());
}

} // namespace

SelectionRecord SelectionStore::recordOf(const SelectionSaveValues& values,
                                         std::chrono::system_clock::time_point date) {
    SelectionRecord record;
    record.updatedAt = InternetDateTime::utcText(date);
    record.cursor = values.cursor;
    record.hearts.assign(values.hearts.begin(), values.hearts.end());
    std::sort(record.hearts.begin(), record.hearts.end());
    for (const auto& [path, degrees] : values.rotations)
        if (const auto stored = PhotoRotation::stored(degrees)) record.rotations.emplace(path, *stored);
    for (const auto& [path, crop] : values.crops)
        if (!(crop == ManualCrop{})) record.crops.emplace(path, crop);
    record.brightness = ordered(PhotoLibrary::brightness(values.parameters));
    record.params = ordered(values.parameters);
    record.paramsRaw = ordered(values.parametersRaw);
    record.sources = ordered(values.sources);
    record.retouchesB = ordered(values.retouchesB);
    record.version = 2;
    record.app = "Sorvin";
    record.paramScale = 100;
    record.maskScale = 1000;
    return SelectionRecord::normalized(std::move(record));
}

bool SelectionStore::save(const SelectionSaveValues& values, std::chrono::system_clock::time_point date) {
    return write(recordOf(values, date));
}

bool SelectionStore::write(SelectionRecord mine) {
    mine = SelectionRecord::normalized(std::move(mine));
    combination_.reset();
    // What could not be read back is not written: the record on disk stays as it was.
    if (SelectionRecordEncoder::encode(mine).size() > recordByteLimit_)
        throw std::system_error(std::make_error_code(std::errc::file_too_large), "record too large");

    if (protectedRecordURL_ == primaryURL_) throw SelectionStoreError();
    if (!keptLocations_.contains(primaryURL_)) {
        try {
            writeCombined(primaryURL_, mine);
            folderRefusesWrites_ = false;
            dropKeptBeside();
            removeFallbackTakenIn();
            return false;
        } catch (const Uncombined& uncombined) {
            writeBeside(primaryURL_, mine, uncombined.why);
            return false;
        } catch (const SelectionStoreError&) {
            throw;
        } catch (const std::exception&) {
            // The folder cannot be written: the fallback keeps the record.
        }
    }
    folderRefusesWrites_ = true;
    if (protectedRecordURL_ == fallbackURL_ || keptLocations_.contains(fallbackURL_))
        throw fs::filesystem_error("記録ファイルを書き込む権限がありません", fallbackURL_,
                                   std::make_error_code(std::errc::permission_denied));
    fileManager_.createDirectories(fallbackURL_.parent_path());
    try {
        writeCombined(fallbackURL_, mine);
        dropKeptBeside();
    } catch (const Uncombined& uncombined) {
        writeBeside(fallbackURL_, mine, uncombined.why);
    }
    return true;
}

// Two copies of the program that share no lock (two computers on one share, a second path to the
// folder) may write the record at once. The record is replaced only as the version this store last
// read or wrote; where another stood there instead, it is read, combined and written again (see
// SelectionCombine), so a change one copy saved is never undone by a record the other combined
// before it saw that change.
void SelectionStore::writeCombined(const fs::path& url, const SelectionRecord& mine) {
    // A save that neither wrote nor read anything there leaves what this store knows of the
    // location as it was: what this copy changed is still its own change at the next save, and the
    // fallback tells it from the folder's record.
    const auto knownBefore = known_.find(url) == known_.end() ? std::nullopt : std::optional(known_[url]);
    const std::string digestBefore = digests_[url];
    try {
        writeCombinedOnce(url, mine);
    } catch (...) {
        if (digests_[url] == digestBefore) {
            if (knownBefore)
                known_[url] = *knownBefore;
            else
                known_.erase(url);
        }
        throw;
    }
}

namespace {

// How long a save that renamed its record in blind waits before it looks again: twice as long as
// its rename took, at least the first and at most the second. Another writer that found the name
// free before that rename may still rename its own over it. Only the rename counts: a share that
// stalled while the record was written holds no one's rename.
constexpr std::chrono::milliseconds kRenameSettle{50};
constexpr std::chrono::milliseconds kRenameSettleLimit{1000};

} // namespace

void SelectionStore::writeCombinedOnce(const fs::path& url, const SelectionRecord& mine) {
    std::optional<fs::path> exchangedOut;
    const auto dropExchangedOut = [&] {
        if (!exchangedOut) return;
        try {
            fileManager_.removeItem(*exchangedOut);
        } catch (const std::exception&) {
        }
        exchangedOut.reset();
    };
    // A location never written before starts from what this copy read of the folder's record.
    if (!known_.contains(url)) known_[url] = known_[primaryURL_];
    if (!handed_.contains(url)) handed_[url] = handed_[primaryURL_];
    StampedRecord& known = known_[url];
    std::optional<StampedRecord> unavailableThere;
    if (unavailableLocations_.contains(url)) unavailableThere = reread(url);
    // This copy's changes since its last save there: later than every change it has seen.
    const SelectionStamp stamp = freshStamp();
    Changes changes{mine, {}, {}, stamp};
    for (const std::string& path : SelectionRecordPhotos::differing(mine, handed_[url]))
        changes.stamps.emplace_hint(changes.stamps.end(), path, stamp);
    const auto meet = [&](const StampedRecord& there) { known = combinedWith(known, there, changes); };
    if (unavailableThere)
        meet(*unavailableThere);
    else
        SelectionCombine::applyChanges(known, mine, changes.stamps);
    const auto succeed = [&] {
        dropExchangedOut();
        const SelectionRecord& record = known.record;
        handed_[url] = record;
        // The values on disk that are not those handed in: the screen takes them.
        SelectionCombination combination;
        combination.paths = SelectionRecordPhotos::differing(record, mine);
        for (const std::string& path : combination.paths) {
            SelectionRecordPhotos::set(combination.written, path, SelectionRecordPhotos::of(record, path));
            SelectionRecordPhotos::set(combination.handed, path, SelectionRecordPhotos::of(mine, path));
        }
        if (!combination.paths.empty()) combination_ = std::move(combination);
    };
    // Met again after it was found changed: where the record there holds everything already, the
    // save ends on it.
    const auto meetAgain = [&] {
        const std::optional<StampedRecord> there = reread(url);
        if (!there) return false;
        meet(*there);
        if (!SelectionCombine::holds(*there, known)) return false;
        known = *there;
        return true;
    };
    for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
        // The writer that took the name from this copy's record holds it, and writes it again with
        // its own: once the record there holds all this copy has, nothing more need be written.
        if (exchangedOut && recordThereCovers(url, changes)) {
            succeed();
            return;
        }
        pauseBeforeWritingAgain(attempt - 1);
        dropStampsOfGonePhotos(known);
        // Where names cannot be exchanged, the record is moved aside while it is replaced, under a
        // name the next opening takes in should this copy end before it is written again.
        const AtomicFile::Expected expected{
            seen_.contains(url) ? seen_[url] : fileManager_.version(url), digests_[url],
            uniqueURL(url.parent_path() /
                      (url.filename().string() + ".conflict-" + secondsNow() + "-" + writerMark_))};
        const std::string text = textFor(url, known);
        if (text.size() > recordByteLimit_)
            throw std::system_error(std::make_error_code(std::errc::file_too_large), "record too large");
        const AtomicFile::Replacement replaced = fileManager_.replace(url, text, expected);
        if (replaced.written) {
            seen_[url] = *replaced.written;
            digests_[url] = Sha256::hex(text);
        }
        if (!replaced.unexpected && replaced.blind) {
            // Renamed in blind: another writer that found the name free right before may rename its
            // own over this one, its save confirmed. Looked at again once such a rename has
            // landed: a record there that is not this one is combined and written again.
            std::this_thread::sleep_for(std::clamp<std::chrono::steady_clock::duration>(
                2 * replaced.renaming, kRenameSettle, kRenameSettleLimit));
            std::optional<FileVersion> now;
            try {
                now = fileManager_.version(url);
            } catch (const std::system_error&) {
            }
            if (!now || now != seen_[url]) {
                if (meetAgain()) {
                    succeed();
                    return;
                }
                continue;
            }
        }
        if (!replaced.unexpected) {
            succeed();
            return;
        }
        if (*replaced.unexpected == url) {
            if (meetAgain()) {
                succeed();
                return;
            }
            continue;
        }
        // Exchanged out: the other writer's record lies beside, and ours holds the name. (This
        // process's temporary has one name: the next write takes it over once this is read.)
        if (exchangedOut != replaced.unexpected) dropExchangedOut();
        exchangedOut = replaced.unexpected;
        StampedRecord theirs;
        if (inspect({*exchangedOut, false, true}, theirs) == Outcome::record) {
            meet(theirs);
            continue;
        }
        // Not a record this program can combine: it goes back where it stood, and is read there.
        try {
            fileManager_.moveItem(*exchangedOut, url);
            exchangedOut.reset();
        } catch (const std::exception&) {
        }
        if (meetAgain()) {
            succeed();
            return;
        }
    }
    if (exchangedOut) {
        // Kept for the next opening to take in, rather than lost.
        try {
            fileManager_.moveItem(*exchangedOut, uniqueURL(url.parent_path() / (url.filename().string() +
                                                                                 ".conflict-" + secondsNow())));
        } catch (const std::exception&) {
        }
    }
    throw Uncombined{SelectionDiversion::changedOnDisk};
}

// Whether the record at the location holds everything this store knows with this save's changes
// combined in, every change as late (it is then taken as read). Only looked at: a record that does
// not is exchanged out by the next write, and combined then.
bool SelectionStore::recordThereCovers(const fs::path& url, Changes& changes) {
    FileVersion version;
    std::string text;
    StampedRecord there;
    try {
        text = fileManager_.contents(url, recordByteLimit_, &version);
        if (decoded({url, false, true}, text, there) != Outcome::record) return false;
    } catch (...) {
        return false;
    }
    const StampedRecord wanted = combinedWith(known_[url], there, changes);
    if (!SelectionCombine::holds(there, wanted)) return false;
    seen_[url] = version;
    digests_[url] = Sha256::hex(text);
    known_[url] = std::move(there);
    return true;
}

StampedRecord SelectionStore::combinedWith(const StampedRecord& known, const StampedRecord& there,
                                           Changes& changes) {
    SelectionCombine::orderAfter(changes.stamps, changes.ordered, there, changes.mine, [this] { return freshStamp(); });
    return SelectionCombine::combined(known, there, changes.mine, changes.stamps, changes.takenIn);
}

SelectionStamp SelectionStore::freshStamp() {
    clock_ = SelectionStamping::after(clock_);
    return {clock_, writerMark_};
}

// A photo at its defaults needs its stamp only while it is in the folder: once gone, no record
// of this folder brings its old values back to a photo the window shows.
void SelectionStore::dropStampsOfGonePhotos(StampedRecord& record) const {
    if (!folderPhotos_) return;
    std::erase_if(record.stamps, [&](const auto& entry) {
        return !SelectionRecordPhotos::holds(record.record, entry.first) &&
               !std::binary_search(folderPhotos_->begin(), folderPhotos_->end(), entry.first);
    });
}

std::optional<StampedRecord> SelectionStore::reread(const fs::path& url) {
    const SelectionLoadCandidate candidate{url, url == fallbackURL_, false};
    switch (look(url)) {
    case Look::unavailable:
        throw Uncombined{SelectionDiversion::unreadable};
    case Look::absent:
        // Nothing is lost where nothing is there now: this copy's values go there whole.
        seen_[url] = std::nullopt;
        unavailableLocations_.erase(url);
        return std::nullopt;
    case Look::other:
        // Something that is not a file stands at the name: this save fails, and the next one
        // looks again.
        throw fs::filesystem_error("記録の場所にファイルではないものがあります", url,
                                   std::make_error_code(std::errc::is_a_directory));
    case Look::file:
        break;
    }
    StampedRecord record;
    switch (inspect(candidate, record)) {
    case Outcome::record:
        return record;
    case Outcome::broken:
        // Set aside; a record that could not be set aside is kept and never written.
        if (keptLocations_.contains(url)) throw Uncombined{SelectionDiversion::changedOnDisk};
        return std::nullopt;
    case Outcome::unreadable:
        throw Uncombined{SelectionDiversion::changedOnDisk};
    case Outcome::unavailable:
        throw Uncombined{SelectionDiversion::unreadable};
    }
    return std::nullopt;
}

// The fallback notes the folder's record it started from, and which photos it changed since, so
// that the next opening orders the two by what was read rather than by their clocks.
// Every record notes when each of its photos was last changed, so that another writer that meets it
// knows which values are later.
namespace {

// The note's members go after the record's own, inside its top-level object.
std::string withNote(std::string text, const SelectionStamps& stamps, const nlohmann::ordered_json& note) {
    std::string members;
    if (!stamps.empty()) members = "  \"stamps\": " + SelectionStamping::text(stamps, 2);
    if (!note.empty()) {
        const std::string dumped = note.dump(2);
        std::string inner = dumped.substr(2, dumped.rfind('}') - 2);
        while (!inner.empty() && inner.back() == '\n')
            inner.pop_back();
        if (!members.empty()) members += ",\n";
        members += inner;
    }
    if (members.empty()) return text;
    text.resize(text.rfind('\n', text.rfind('}')));
    text += ",\n";
    text += members;
    text += "\n}\n";
    return text;
}

} // namespace

std::string SelectionStore::textFor(const fs::path& url, const StampedRecord& record) const {
    nlohmann::ordered_json note;
    if (url == fallbackURL_) {
        const auto seen = seen_.find(primaryURL_);
        const std::optional<FileVersion> folderVersion = seen == seen_.end() ? std::nullopt : seen->second;
        if (folderVersion)
            note["folderRecord"] = {{"device", static_cast<std::uint64_t>(folderVersion->node.device)},
                                    {"inode", static_cast<std::uint64_t>(folderVersion->node.inode)},
                                    {"size", folderVersion->size},
                                    {"modified", folderVersion->modifiedNanoseconds}};
        else
            note["folderRecord"] = nullptr;
        const auto base = known_.find(primaryURL_);
        note["changedHere"] = base == known_.end() ? SelectionRecordPhotos::paths(record.record)
                                                   : SelectionRecordPhotos::differing(record.record, base->second.record);
    }
    return withNote(SelectionRecordEncoder::encode(record.record), record.stamps, note);
}

void SelectionStore::readFallbackNote(const SelectionJSONValue::Json& document) {
    fallbackStartedFrom_.reset();
    fallbackChanged_.clear();
    const auto* folder = SelectionJSONValue::member(document, "folderRecord");
    const auto* changed = SelectionJSONValue::member(document, "changedHere");
    if (!folder || !changed || !changed->is_array() || !(folder->is_null() || folder->is_object())) return;
    for (const auto& path : *changed)
        if (path.is_string()) fallbackChanged_.insert(path.get<std::string>());
    if (folder->is_null()) {
        fallbackStartedFrom_ = std::optional<FileVersion>();
        return;
    }
    // Exact to the nanosecond: no detour through a double.
    const auto number = [&](const char* name) -> std::optional<std::int64_t> {
        const auto* value = SelectionJSONValue::member(*folder, name);
        if (!value || !value->is_number_integer()) return std::nullopt;
        return value->is_number_unsigned() ? static_cast<std::int64_t>(value->get<std::uint64_t>())
                                           : value->get<std::int64_t>();
    };
    const auto device = number("device"), inode = number("inode"), size = number("size"),
               modified = number("modified");
    if (!device || !inode || !size || !modified) return;
    fallbackStartedFrom_ = FileVersion{FileNode{static_cast<dev_t>(*device), static_cast<ino_t>(*inode)},
                                       static_cast<std::uint64_t>(*size), *modified};
}

// Written only where the record cannot take this copy's values: one file beside it, the same for
// every save until one writes the record again; a name someone else took meanwhile is left to
// them. It holds the photos this copy changed since it read the record.
void SelectionStore::writeBeside(const fs::path& url, const SelectionRecord& mine, SelectionDiversion why) {
    diversion_ = why;
    SelectionRecord changed;
    const std::set<std::string> paths = SelectionRecordPhotos::differing(mine, handed_[url]);
    for (const std::string& path : paths)
        SelectionRecordPhotos::set(changed, path, SelectionRecordPhotos::of(mine, path));
    changed.version = mine.version;
    changed.app = mine.app;
    changed.updatedAt = mine.updatedAt;
    changed.cursor = mine.cursor;
    // Later than any change this copy has seen, as the record would have noted them.
    SelectionStamps stamps;
    const SelectionStamp stamp = freshStamp();
    for (const std::string& path : paths)
        stamps.emplace_hint(stamps.end(), path, stamp);
    const std::string text =
        withNote(SelectionRecordEncoder::encode(SelectionRecord::normalized(std::move(changed))), stamps, {});
    for (int attempt = 1;; ++attempt) {
        if (!keptBesideURL_ || keptBesideURL_->parent_path() != url.parent_path()) {
            keptBesideURL_ =
                uniqueURL(url.parent_path() / (url.filename().string() + ".conflict-" + secondsNow()));
            seen_[*keptBesideURL_] = std::nullopt;
        }
        const AtomicFile::Replacement replaced =
            fileManager_.replace(*keptBesideURL_, text, {seen_[*keptBesideURL_], digests_[*keptBesideURL_], {}});
        if (replaced.written) {
            seen_[*keptBesideURL_] = *replaced.written;
            digests_[*keptBesideURL_] = Sha256::hex(text);
        }
        if (!replaced.unexpected) return;
        if (*replaced.unexpected != *keptBesideURL_) fileManager_.moveItem(*replaced.unexpected, *keptBesideURL_);
        if (attempt == 3)
            throw fs::filesystem_error("記録を書き込めません", *keptBesideURL_,
                                       std::make_error_code(std::errc::file_exists));
        keptBesideURL_.reset();
    }
}

// The file beside the record goes once a save wrote the record: it holds what this copy changed
// since it read the record, which the record now holds.
void SelectionStore::dropKeptBeside() {
    diversion_.reset();
    const auto beside = std::exchange(keptBesideURL_, std::nullopt);
    if (!beside) return;
    try {
        if (fileManager_.version(*beside) == seen_[*beside]) fileManager_.removeItem(*beside);
    } catch (const std::exception&) {
    }
}

void SelectionStore::removeFallbackTakenIn() {
    if (!fallbackTakenIn_) return;
    const auto seen = seen_.find(fallbackURL_);
    if (seen == seen_.end() || !seen->second) return;
    try {
        if (fileManager_.version(fallbackURL_) != seen->second) return;
        fileManager_.removeItem(fallbackURL_);
        seen_[fallbackURL_] = std::nullopt;
        known_.erase(fallbackURL_);
        handed_.erase(fallbackURL_);
    } catch (const std::exception&) {
    }
}

} // namespace sorvin
