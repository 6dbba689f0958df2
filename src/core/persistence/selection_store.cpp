#include "persistence/selection_store.hpp"

#include "library/photo_library.hpp"
#include "model/photo_rotation.hpp"
#include "persistence/selection_json_value.hpp"
#include "persistence/selection_record_decoder.hpp"
#include "persistence/selection_record_encoder.hpp"
#include "persistence/selection_rotation.hpp"
#include "persistence/selection_store_error.hpp"
#include "platform/file_node.hpp"
#include "platform/internet_date_time.hpp"
#include "platform/json_text.hpp"
#include "platform/sha256.hpp"
#include "platform/xdg_folders.hpp"

#include <algorithm>
#include <fmt/format.h>
#include <new>
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

// A location whose file is not the one this store last saw there, or could not be read.
struct RecordChanged {
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

void SelectionStore::lookAtLocations() {
    for (const fs::path& url : {primaryURL_, fallbackURL_}) {
        try {
            seen_[url] = fileManager_.version(url);
        } catch (const std::system_error&) {
            unavailableLocations_.insert(url);
        }
    }
}

SelectionLoadResult SelectionStore::load() {
    lookAtLocations();
    const auto candidates = loadCandidates();
    auto chosen = candidates.end();
    // Something that is not a file where a record belongs is never read (a FIFO would block the
    // read for ever), moved or written: it is treated as a damaged record that cannot be set
    // aside, and the next candidate (the fallback, once saved) holds the record.
    bool skippedSpecial = false;
    for (auto it = candidates.begin(); it != candidates.end() && chosen == candidates.end(); ++it) {
        // What the system could not tell about is read all the same: reading looks again.
        if (unavailableLocations_.contains(it->url)) {
            chosen = it;
            break;
        }
        if (!fileManager_.fileExists(it->url)) continue;
        if (fileManager_.isRegularFile(it->url)) {
            chosen = it;
        } else {
            if (!it->isLegacy) keptLocations_.insert(it->url);
            skippedSpecial = true;
        }
    }
    if (chosen == candidates.end()) {
        SelectionLoadResult result;
        if (skippedSpecial) result.warning = SelectionLoadWarning::brokenJSON;
        return result;
    }

    // Saves go to the fallback while the folder cannot be written, so a folder file can be older
    // than the fallback beside it: then the fallback holds the latest edits. The folder file is
    // still checked, so one we cannot read is protected or set aside; and when the newer fallback
    // itself cannot be read, the folder file is the best record there is.
    SelectionRecord record;
    std::optional<Outcome> outcome;
    const auto& fallback = candidates[2];
    if (!chosen->usesFallback && fileManager_.isRegularFile(fallback.url)) {
        const auto folderTime = fileManager_.modificationTime(chosen->url);
        const auto fallbackTime = fileManager_.modificationTime(fallback.url);
        if (folderTime && fallbackTime && *fallbackTime > *folderTime) {
            if (inspect(fallback, record) == Outcome::record) {
                if (!chosen->isLegacy) {
                    SelectionRecord ignored;
                    inspect(*chosen, ignored);
                }
                outcome = Outcome::record;
                chosen = candidates.begin() + 2;
            } else {
                record = {};
            }
        }
    }
    if (!outcome) outcome = inspect(*chosen, record);

    SelectionLoadResult result;
    result.usesFallback = chosen->usesFallback;
    folderRefusesWrites_ = chosen->usesFallback;
    switch (*outcome) {
    case Outcome::unreadable:
        result.warning = SelectionLoadWarning::unknownVersion;
        break;
    case Outcome::broken:
        result.warning = SelectionLoadWarning::brokenJSON;
        break;
    case Outcome::unavailable:
        result.warning = SelectionLoadWarning::unreadableNow;
        break;
    case Outcome::record:
        result.hearts.insert(record.hearts.begin(), record.hearts.end());
        result.rotations = std::move(record.rotations);
        result.crops = std::move(record.crops);
        result.brightness = std::move(record.brightness);
        result.params = std::move(record.params);
        result.paramsRaw = std::move(record.paramsRaw);
        result.sources = std::move(record.sources);
        result.retouchesB = std::move(record.retouchesB);
        result.cursor = std::move(record.cursor);
        break;
    }
    return result;
}

// An error of the system is no damage: a record being renamed over through a share reads ENOENT
// for a moment, a share that stalls EIO, ESTALE or ENOTCONN. Such a file is read again, and when
// it stays unreadable it is kept as it is. Only bytes that were read and do not decode are damage,
// and only the very file read is set aside.
SelectionStore::Outcome SelectionStore::inspect(const SelectionLoadCandidate& candidate,
                                                SelectionRecord& record) {
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
                                                const std::string& text, SelectionRecord& record) {
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
        record = SelectionRecordDecoder::decode(document);
    } catch (const std::bad_alloc&) {
        return unreadable(candidate, SelectionProtection::tooLarge);
    } catch (...) {
        return Outcome::broken;
    }
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
    } catch (const std::exception&) {
        // Nowhere to lock: saves still never write over a record that changed on disk.
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

bool SelectionStore::save(const SelectionSaveValues& values, std::chrono::system_clock::time_point date) {
    SelectionRecord record;
    record.updatedAt = InternetDateTime::utcText(date);
    record.cursor = values.cursor;
    record.hearts.assign(values.hearts.begin(), values.hearts.end());
    std::sort(record.hearts.begin(), record.hearts.end());
    record.rotations = ordered(values.rotations);
    record.crops = ordered(values.crops);
    record.brightness = ordered(PhotoLibrary::brightness(values.parameters));
    record.params = ordered(values.parameters);
    record.paramsRaw = ordered(values.parametersRaw);
    record.sources = ordered(values.sources);
    record.retouchesB = ordered(values.retouchesB);
    return write(std::move(record));
}

bool SelectionStore::write(SelectionRecord record) {
    SelectionRecord::PathMap<double> storedRotations;
    for (const auto& [path, degrees] : record.rotations)
        if (const auto stored = PhotoRotation::stored(degrees)) storedRotations.emplace(path, *stored);
    record.rotations = std::move(storedRotations);
    std::erase_if(record.crops, [](const auto& entry) { return entry.second == ManualCrop{}; });
    record.version = 2;
    record.app = "Sorvin";
    record.paramScale = 100;
    record.maskScale = 1000;
    record.masks = {};
    const std::string text = SelectionRecordEncoder::encode(SelectionRecord::normalized(std::move(record)));
    // What could not be read back is not written: the record on disk stays as it was.
    if (text.size() > recordByteLimit_)
        throw std::system_error(std::make_error_code(std::errc::file_too_large), "record too large");

    if (protectedRecordURL_ == primaryURL_) throw SelectionStoreError();
    if (!keptLocations_.contains(primaryURL_)) {
        try {
            writeOver(primaryURL_, text);
            folderRefusesWrites_ = false;
            return false;
        } catch (const RecordChanged& changed) {
            writeBeside(primaryURL_, text, changed.why);
            return false;
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
        writeOver(fallbackURL_, text);
    } catch (const RecordChanged& changed) {
        writeBeside(fallbackURL_, text, changed.why);
    }
    return true;
}

void SelectionStore::writeOver(const fs::path& url, const std::string& text) {
    if (unavailableLocations_.contains(url)) throw RecordChanged{SelectionDiversion::unreadable};
    // Nothing is lost where nothing is there now, and no file is renamed over a folder or a FIFO:
    // that write fails of itself.
    std::function<void()> unchanged;
    if (const auto seen = seen_.find(url); seen != seen_.end())
        unchanged = [this, seen] {
            const auto now = fileManager_.version(seen->first);
            if (now && now != seen->second && fileManager_.isRegularFile(seen->first))
                throw RecordChanged{SelectionDiversion::changedOnDisk};
        };
    seen_[url] = fileManager_.writeAtomically(url, text, unchanged);
}

// One file beside the record takes every later save; a name someone else took meanwhile is left
// to them.
void SelectionStore::writeBeside(const fs::path& url, const std::string& text, SelectionDiversion why) {
    if (!diversion_) diversion_ = why;
    for (int attempt = 1;; ++attempt) {
        if (!keptBesideURL_ || keptBesideURL_->parent_path() != url.parent_path()) {
            keptBesideURL_ =
                uniqueURL(url.parent_path() / (url.filename().string() + ".conflict-" + secondsNow()));
            seen_[*keptBesideURL_] = std::nullopt;
        }
        try {
            writeOver(*keptBesideURL_, text);
            return;
        } catch (const RecordChanged&) {
            if (attempt == 3)
                throw fs::filesystem_error("記録を書き込めません", *keptBesideURL_,
                                           std::make_error_code(std::errc::file_exists));
            keptBesideURL_.reset();
        }
    }
}

} // namespace sorvin
