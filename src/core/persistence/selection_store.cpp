#include "persistence/selection_store.hpp"

#include "library/photo_library.hpp"
#include "model/photo_rotation.hpp"
#include "persistence/selection_json_value.hpp"
#include "persistence/selection_record_decoder.hpp"
#include "persistence/selection_record_encoder.hpp"
#include "persistence/selection_rotation.hpp"
#include "persistence/selection_store_error.hpp"
#include "platform/internet_date_time.hpp"
#include "platform/json_text.hpp"
#include "platform/sha256.hpp"
#include "platform/xdg_folders.hpp"

#include <algorithm>
#include <fmt/format.h>
#include <new>
#include <stdexcept>
#include <system_error>

namespace sorvin {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFileName = "sorvin.json";
constexpr const char* kLegacyFileName = "tolvanite.json";
// Records nest four levels deep; a file nesting deeper than this is not one of ours.
constexpr int kMaxNesting = 64;

SelectionJSONValue::Json parseRecordText(const std::string& text) {
    if (JsonText::nestingDepth(text) > kMaxNesting) throw std::runtime_error("record nested too deeply");
    return SelectionJSONValue::Json::parse(text);
}

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
      recordByteLimit_(recordByteLimit) {
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

SelectionLoadResult SelectionStore::load() {
    const auto candidates = loadCandidates();
    auto chosen = candidates.end();
    // Something that is not a file where a record belongs is never read (a FIFO would block the
    // read for ever), moved or written: it is treated as a damaged record that cannot be set
    // aside, and the next candidate (the fallback, once saved) holds the record.
    bool skippedSpecial = false;
    for (auto it = candidates.begin(); it != candidates.end() && chosen == candidates.end(); ++it) {
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

SelectionStore::Outcome SelectionStore::inspect(const SelectionLoadCandidate& candidate,
                                                SelectionRecord& record) {
    const auto broken = [&] {
        if (!candidate.isLegacy) setAside(candidate.url);
        return Outcome::broken;
    };
    SelectionJSONValue::Json document;
    try {
        document = parseRecordText(fileManager_.contents(candidate.url, recordByteLimit_));
    } catch (const std::system_error& error) {
        // Larger than any record we write: perhaps one of a later version that writes larger
        // ones, so it is kept as it is.
        if (error.code() == std::errc::file_too_large)
            return unreadable(candidate, SelectionProtection::tooLarge);
        return broken();
    } catch (const std::bad_alloc&) {
        // A record too large for this machine's memory is still a record.
        return unreadable(candidate, SelectionProtection::tooLarge);
    } catch (...) {
        return broken();
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
        return broken();
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

void SelectionStore::setAside(const fs::path& file) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now_().time_since_epoch()).count();
    const fs::path target =
        uniqueBrokenURL(file.parent_path() / (std::string(kFileName) + ".broken-" + std::to_string(seconds)));
    try {
        fileManager_.moveItem(file, target);
    } catch (const std::exception&) {
        keptLocations_.insert(file);
    }
}

fs::path SelectionStore::uniqueBrokenURL(const fs::path& url) const {
    const auto taken = [&](const fs::path& path) { return fileManager_.entryExists(path); };
    if (!taken(url)) return url;
    for (long suffix = 1;; ++suffix) {
        fs::path candidate = url;
        candidate += fmt::format("-{}", suffix);
        if (!taken(candidate)) return candidate;
    }
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
            fileManager_.writeAtomically(primaryURL_, text);
            folderRefusesWrites_ = false;
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
    fileManager_.writeAtomically(fallbackURL_, text);
    return true;
}

} // namespace sorvin
