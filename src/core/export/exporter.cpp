#include "export/exporter.hpp"

#include "export/export_conflict_resolver.hpp"
#include "export/export_error.hpp"
#include "export/export_long_edge.hpp"
#include "export/export_manifest_journal.hpp"
#include "export/export_manifest_store.hpp"
#include "export/exporter_destination.hpp"
#include "export/legacy_embedded_thumbnail_cleaner.hpp"
#include "model/file_name_resolver.hpp"
#include "platform/atomic_file.hpp"
#include "platform/file_node.hpp"
#include "platform/file_path.hpp"
#include "platform/mount_table.hpp"
#include "platform/output_file.hpp"

#include <algorithm>
#include <cctype>
#include <fmt/format.h>
#include <map>
#include <set>

namespace sorvin::Exporter {

namespace fs = std::filesystem;

std::string failureReason(std::error_code error) {
    return ExportError::failureReason(error);
}

namespace {

constexpr const char* kNoFormat = "出力形式を1つ以上選んでください";
constexpr const char* kNoFreeName = "同名ファイルの連番が上限に達しました";
constexpr const char* kNotExported = "書き出し先が元のフォルダになったため、書き出していません";
constexpr const char* kSourceMissing = "{} が見つかりません";

// What one output holds: the photo's file byte for byte, or a new encoding.
struct OutputContent {
    bool isCopy = false;
    std::string encoded;
};

// The rotation, crop, source and development of one item.
struct ItemEdit {
    double rotation = 0;
    ManualCrop crop;
    PhotoSource source = PhotoSource::jpeg;
    PhotoParameters parameters;
};

template <class Map>
auto valueOr(const Map& map, const std::string& key, typename Map::mapped_type fallback) {
    const auto found = map.find(key);
    return found != map.end() ? found->second : fallback;
}

ItemEdit editOf(const ExportRequest& request, const ExportItem& item) {
    const Photo& photo = item.photo;
    const std::string& path = photo.relativePath;
    ItemEdit edit;
    const auto copyB = request.retouchesB.find(path);
    if (item.slot == RetouchSlot::b && copyB != request.retouchesB.end()) {
        const RetouchState& state = copyB->second;
        edit.rotation = state.rotation;
        edit.crop = state.crop;
        edit.source = photo.hasRawCompanion()                    ? state.source
                      : photo.fileFormat == PhotoFileFormat::raw ? PhotoSource::raw
                                                                 : PhotoSource::jpeg;
        edit.parameters = edit.source == PhotoSource::raw ? state.paramsRaw : state.params;
        return edit;
    }
    edit.rotation = valueOr(request.rotations, path, 0.0);
    edit.crop = valueOr(request.crops, path, ManualCrop{});
    if (photo.hasRawCompanion())
        edit.source = valueOr(request.sources, path, PhotoSource::jpeg);
    else
        edit.source = photo.fileFormat == PhotoFileFormat::raw ? PhotoSource::raw : PhotoSource::jpeg;
    edit.parameters = selectedParameters(photo, edit.source, valueOr(request.brightness, path, 0),
                                         request.params, request.paramsRaw);
    return edit;
}

std::string outputName(const Photo& photo, RetouchSlot slot, ExportImageFormat format) {
    std::string name = photo.url.stem().string();
    if (slot == RetouchSlot::b) name += "-B";
    name += '.';
    name += traitsOf(format).fileExtension;
    return name;
}

// The name an item is listed under: its first output's, or its photo's without an output format.
std::string displayName(const ExportItem& item, const ExportFormatOptions& options) {
    const auto formats = options.outputFormats(item.photo);
    return formats.empty() ? item.photo.url.filename().string()
                           : outputName(item.photo, item.slot, formats.front());
}

std::string lowercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Splits "name.ext" into "name" and "ext" the way file names are split everywhere here.
std::pair<std::string, std::string> baseAndExtension(const std::string& name) {
    const fs::path path(name);
    const std::string extension = path.extension().string();
    if (extension.size() > 1) return {path.stem().string(), extension.substr(1)};
    return {name, ""};
}

// Why an output could not be written under its name: the file it is made from, when that is gone
// (a pair developed from its RAW names the RAW file, not the output), or a name the destination's
// disk refuses, told as such.
std::string outputFailure(std::error_code error, const std::string& name, const fs::path& source) {
    std::error_code ignored;
    if (error == std::errc::no_such_file_or_directory &&
        fs::symlink_status(source, ignored).type() == fs::file_type::not_found)
        return fmt::format(fmt::runtime(kSourceMissing), source.filename().string());
    return ExportError::failureReason(error, name);
}

// Walks one export, item by item; holds the counters of the result.
class ExportRun {
public:
    explicit ExportRun(const ExportRequest& request) : request_(request), token_(request.cancellation) {
        if (!token_) token_ = std::make_shared<ExportCancellationToken>();
        render_ = request.render;
        if (!render_) {
            const ExportImageDecoder decode = request.decode ? request.decode : fileDecoder();
            // A cancel stops the development at once instead of after the whole photo.
            render_ = [decode, token = token_](const Photo& photo, double rotation, const ManualCrop& crop,
                                               const PhotoParameters& params, PhotoSource source,
                                               std::optional<int> limit) {
                return renderEditedImageAndMetadata(photo, rotation, crop, params, source, limit, decode,
                                                    [token] { return token->isCancelled(); });
            };
        }
        result_.savedOriginals = request.saveOriginals;
        result_.destination = request.destination;
    }

    ExportResult run() {
        destination_ = request_.destination;
        limit_ = ExportLongEdge::clampedLimit(request_.maximumLongEdge);
        protected_ =
            ExportConflictResolver::protectedSourcePaths(request_.photos, request_.protectedSourceURLs);
        if (request_.sourceFolder) photoFolders_ = photoFolders(request_.photos, *request_.sourceFolder);
        const auto items = retouchExportItems(request_.photos, request_.retouchesB, request_.selectedSlots);
        if (auto refusal = prepareFolders()) {
            result_.failures = {ExportFailure{"", *refusal}};
            return result_;
        }
        manifest_ = ExportManifestStore::load(destination_, request_.applicationSupportRoot);
        // The names earlier exports gave each photo are not another photo's to write over.
        protected_.written.addRecorded(manifest_, destination_);
        journal_.emplace(destination_, request_.applicationSupportRoot);
        // A journal left by an export before goes into the manifest first, so that the lines of
        // this one are read after what they change.
        if (journal_->exists()) writeManifest();
        int processed = 0;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (token_->isCancelled()) break;
            bool finished = true;
            // Once the destination has turned out to be a photo folder, or is gone, nothing more
            // goes there.
            if (halt_)
                result_.failures.push_back({displayName(items[i], request_.formatOptions), halt_->rest});
            else
                finished = exportItem(items[i]);
            if (finished) ++processed;
            if (request_.progress) request_.progress(static_cast<int>(i + 1), static_cast<int>(items.size()));
        }
        writeManifest();
        // The names given survive a power loss once the folders that hold them are on disk.
        for (const auto& folder : publishedFolders_)
            AtomicFile::flushFolder(folder);
        result_.cancelled = token_->isCancelled() && processed < static_cast<int>(items.size());
        return result_;
    }

private:
    // The working state of one item.
    struct ItemState {
        std::optional<ExportManifestEntry> newEntry;
        std::optional<ExportManifestFileRecord> previousOriginal;
        std::optional<ExportManifestFileRecord> previousCompanion;
        bool unchanged = false;
        std::size_t skippedOutputs = 0;
        bool wroteOutput = false;
        bool renamed = false;
        bool overwrote = false;
        bool stopped = false;
        std::optional<ExportFailure> failure;
        std::string key;   // of the item's manifest entry
        std::string photo; // the key of its photo (ExportManifest::photoKey)

        void fail(ExportFailure failure) {
            if (!this->failure) this->failure = std::move(failure);
        }
    };

    // Checks and creates the folders; the text of the refusal when the export cannot start. Each
    // folder written into is checked against the source folder by file identity, here, before
    // anything is written, unless the caller has just checked the destination: a subfolder that
    // was there may be the source folder mounted once more; one the export makes is new and empty.
    std::optional<std::string> prepareFolders() {
        if (request_.destinationCheckedWith)
            mountsAsked_[destination_] = request_.destinationCheckedWith;
        else if (auto error = refusalOfFolder(destination_))
            return error;
        if (auto error = validateOriginalsDestination(destination_, request_.saveOriginals))
            return error->errorDescription();
        if (auto error = validateFormatDestinations(destination_, request_.photos, request_.formatOptions))
            return error->errorDescription();
        std::vector<fs::path> folders{destination_};
        if (request_.saveOriginals) folders.push_back(destination_ / kOriginalsFolderName);
        if (request_.formatOptions.usesFormatFolders())
            for (const auto format : request_.formatOptions.requiredFormats(request_.photos))
                folders.push_back(request_.formatOptions.folder(format, destination_));
        for (std::size_t i = 1; i < folders.size(); ++i) {
            bool made = false;
            if (auto error = createDirectoryIfNeeded(folders[i], &made)) return failureReason(error);
            if (made)
                mountsAsked_[folders[i]] = mountsAsked_[destination_];
            else if (auto error = refusalOfFolder(folders[i]))
                return error;
        }
        if (request_.saveOriginals) originalsFolder_ = folders[1];
        // Each folder is the one it is now, wherever its path leads later.
        for (const auto& folder : folders)
            folderNodes_[folder] = FileNode::of(folder);
        // Outputs of an export killed in these folders never got their names; their files go now.
        for (const auto& folder : folders)
            ExportConflictResolver::removeAbandonedOutputTemporaries(folder);
        return std::nullopt;
    }

    // By path, node and mount: the source folder or a folder under it behind a mount of its own.
    std::optional<std::string> refusalOfFolder(const fs::path& folder) {
        if (!request_.sourceFolder) return std::nullopt;
        auto mounts = MountTable::read();
        UnansweredMounts unanswered;
        if (auto refusal = refusalInsideSource(folder, *request_.sourceFolder, photoFolders_, &unanswered))
            return refusal->errorDescription();
        mountsAsked_[folder] = std::move(mounts);
        forgetPhotoFoldersBehind(unanswered);
        return std::nullopt;
    }

    // A photo folder behind a mount that did not answer the check is not asked again before a file
    // (after a mount made elsewhere meanwhile): the question would wait for that mount once more.
    void forgetPhotoFoldersBehind(const UnansweredMounts& mounts) {
        for (const std::string& place : mounts) {
            const fs::path mount = FilePath::standardized(*request_.sourceFolder / place);
            std::erase_if(photoFolders_, [&](const fs::path& folder) {
                const fs::path standardized = FilePath::standardized(folder);
                return standardized == mount || FilePath::isInside(standardized, mount);
            });
        }
    }

    // Once the manifest is written the journal goes; else the journal stays for the next export,
    // and when it misses lines too, the result says that the files are not noted.
    void writeManifest() {
        if (ExportManifestStore::write(manifest_, destination_, request_.applicationSupportRoot))
            journal_->remove();
        else if (const auto failure = journal_->failure())
            result_.recordFailure = failureReason(failure);
    }

    // The record of a file about to be (or just) given the final name, from its identity.
    std::optional<ExportManifestFileRecord> recordOf(const fs::path& finalURL, const fs::path& file) const {
        const auto identity = ExportManifestStore::fileIdentity(file);
        const auto relative = ExportManifestStore::relativePath(finalURL, destination_);
        if (!identity || !relative) return std::nullopt;
        return ExportManifestFileRecord{*relative, identity->size, identity->mtime};
    }

    // Before a file of the item gets its name, the journal learns the item's entry with it; the
    // record announced, kept for when the name is given (`announced`).
    template <class Place>
    void announce(const ItemState& state, const fs::path& finalURL, const fs::path& temporary, const Place& place,
                  std::optional<ExportManifestFileRecord>& announced) {
        announced.reset();
        if (!state.newEntry) return;
        announced = recordOf(finalURL, temporary);
        if (!announced) return;
        ExportManifestEntry entry = *state.newEntry;
        place(entry, *announced);
        journal_->append(state.key, entry);
    }

    // The record of the file just published: the one announced for its name (the same file, now
    // under that name), else read anew.
    std::optional<ExportManifestFileRecord> recordOfPublished(const ExportWriteTarget& target,
                                                              const std::optional<ExportManifestFileRecord>& announced) const {
        if (announced && ExportManifestStore::relativePath(target.finalURL, destination_) == announced->file)
            return announced;
        return recordOf(target.finalURL, target.finalURL);
    }

    // True when the item finished (it counts in the result), false when a cancel stopped it.
    bool exportItem(const ExportItem& item) {
        const Photo& photo = item.photo;
        const auto formats = request_.formatOptions.outputFormats(photo);
        const ItemEdit edit = editOf(request_, item);
        const std::string plainKey = ExportManifestStore::pathText(photo.url);
        const std::string copyBKey = plainKey + std::string(ExportManifest::kCopyBSuffix);
        const std::string key = item.slot == RetouchSlot::b ? copyBKey : plainKey;

        ItemState state;
        state.key = key;
        state.photo = plainKey;
        for (const std::string& withOriginal : {plainKey, copyBKey})
            if (const auto found = manifest_.entries.find(withOriginal);
                found != manifest_.entries.end() && found->second.original) {
                state.previousOriginal = found->second.original;
                state.previousCompanion = found->second.companion;
                break;
            }

        const PhotoAsset asset = photo.asset(edit.source);
        const auto sourceIdentity = ExportManifestStore::fileIdentity(asset.url);
        const std::string fingerprint = ExportManifestStore::parameterHash(
            edit.source, edit.rotation, edit.crop, edit.parameters, request_.burnInOrientation, limit_);
        const auto previousFound = manifest_.entries.find(key);
        const ExportManifestEntry* previous =
            previousFound != manifest_.entries.end() ? &previousFound->second : nullptr;
        state.unchanged = sourceIdentity && previous && previous->srcSize == sourceIdentity->size &&
                          previous->srcMtime == sourceIdentity->mtime && previous->params == fingerprint;
        if (sourceIdentity) {
            ExportManifestEntry entry;
            entry.srcSize = sourceIdentity->size;
            entry.srcMtime = sourceIdentity->mtime;
            entry.params = fingerprint;
            if (state.unchanged) entry.outputs = previous->outputs;
            if (item.slot == RetouchSlot::a && previous) {
                entry.original = previous->original;
                entry.companion = previous->companion;
            }
            state.newEntry = std::move(entry);
        }

        if (formats.empty()) {
            state.fail({photo.url.filename().string(), kNoFormat});
        } else {
            for (const auto format : formats) {
                if (token_->isCancelled()) {
                    state.stopped = true;
                    break;
                }
                exportOutput(item, edit, format, previous, state);
                if (state.stopped) break;
            }
        }

        bool finished = true;
        if (state.failure) {
            result_.failures.push_back(*state.failure);
        } else if (state.stopped) {
            finished = false;
        } else {
            if (!state.wroteOutput && state.skippedOutputs == formats.size()) ++result_.skippedCount;
            if (state.wroteOutput) {
                ++result_.copiedCount;
                if (state.renamed) ++result_.renamedCount;
            }
            if (item.copiesOriginals && originalsFolder_) copyOriginals(photo, state);
        }
        if (state.overwrote) ++result_.overwrittenCount;
        if (state.newEntry) manifest_.entries[key] = std::move(*state.newEntry);
        return finished;
    }

    void exportOutput(const ExportItem& item, const ItemEdit& edit, ExportImageFormat format,
                      const ExportManifestEntry* previous, ItemState& state) {
        const Photo& photo = item.photo;
        const auto& traits = traitsOf(format);
        const std::string outputKey(traits.manifestKey);
        const fs::path folder = request_.formatOptions.folder(format, destination_);
        const std::string name = outputName(photo, item.slot, format);

        if (state.unchanged && previous) {
            const auto record = previous->outputs.find(outputKey);
            if (record != previous->outputs.end() &&
                ExportManifestStore::recordMatches(record->second, destination_)) {
                ++state.skippedOutputs;
                return;
            }
        }
        if (state.newEntry) state.newEntry->outputs.erase(outputKey);

        std::optional<ExportManifestFileRecord> earlier;
        if (previous)
            if (const auto record = previous->outputs.find(outputKey); record != previous->outputs.end())
                earlier = record->second;
        const ExportConflictResolver::NameClaim claim{state.photo, earlierNameIn(earlier, folder)};
        OutputContent content;
        std::error_code error = prepareOutput(photo, edit, format, content);
        std::optional<ExportWriteTarget> target;
        std::optional<ExportManifestFileRecord> announced;
        if (!error) {
            const auto write = [&](const fs::path& file) {
                const auto stored = storeOutput(photo, format, content, file);
                // False when a cancel came during the write: the cancel has removed the file.
                const bool kept = token_->completeWriting(file);
                if (!stored && !kept) return make_error_code(std::errc::operation_canceled);
                return stored;
            };
            const auto place = [&](const fs::path& finalURL, const fs::path& temporary) {
                announce(
                    state, finalURL, temporary,
                    [&](ExportManifestEntry& entry, ExportManifestFileRecord record) {
                        entry.outputs[outputKey] = std::move(record);
                    },
                    announced);
            };
            target = storeUnderFreeName(name, folder, claim, error, write, place);
            if (!target && !error) {
                state.fail({name, kNoFreeName});
                return;
            }
        }
        if (error) {
            // A write that fails because of a cancel stops the item like any other cancel.
            if (token_->isCancelled())
                state.stopped = true;
            else
                state.fail({name, halt_ ? halt_->reason : outputFailure(error, name, photo.asset(edit.source).url)});
            return;
        }
        if (target->replacesExisting) state.overwrote = true;

        ++result_.outputFileCount;
        if (state.newEntry)
            if (auto record = recordOfPublished(*target, announced))
                state.newEntry->outputs[outputKey] = std::move(*record);
        if (target->isRenamed) {
            if (!result_.firstRenamedFileName)
                result_.firstRenamedFileName = target->finalURL.filename().string();
            state.renamed = true;
        }
        state.wroteOutput = true;
    }

    // Renders and encodes an output that is not a byte copy of the photo's file.
    std::error_code prepareOutput(const Photo& photo, const ItemEdit& edit, ExportImageFormat format,
                                  OutputContent& content) {
        try {
            return prepareOutputOrThrow(photo, edit, format, content);
        } catch (const std::bad_alloc&) { // a photo too large for this machine fails alone
            return std::make_error_code(std::errc::not_enough_memory);
        }
    }

    std::error_code prepareOutputOrThrow(const Photo& photo, const ItemEdit& edit, ExportImageFormat format,
                                         OutputContent& content) {
        content.isCopy = !shouldReencode(photo, format, request_.burnInOrientation, edit.rotation, edit.crop, 0,
                                         edit.parameters, edit.source, limit_);
        if (content.isCopy) return {};
        if (format == ExportImageFormat::heif && !supportsOutput(format))
            return ExportErrc::featureUnsupported;
        auto rendering = render_(photo, edit.rotation, edit.crop, edit.parameters, edit.source, limit_);
        if (!rendering.rendered || !rendering.rendered->image)
            return rendering.error ? rendering.error : make_error_code(ExportErrc::fileReadCorruptFile);
        if (token_->isCancelled()) return std::make_error_code(std::errc::operation_canceled);
        auto bytes = encodedImage(std::move(*rendering.rendered), format);
        if (!bytes) return ExportErrc::fileWriteUnknown;
        // Cancelled while encoding: the file is never written.
        if (token_->isCancelled()) return std::make_error_code(std::errc::operation_canceled);
        content.encoded = std::move(*bytes);
        return {};
    }

    // Writes one output file (a byte copy or the new encoding) as a new file. The token knows it
    // from the moment it exists, so that a cancel removes it; a cancel before that refuses it.
    std::error_code storeOutput(const Photo& photo, ExportImageFormat format, const OutputContent& content,
                                const fs::path& file) {
        const auto created = [this](const fs::path& path) { return token_->beginWriting(path); };
        if (!content.isCopy) return OutputFile::writeNew(file, content.encoded, created);
        if (auto error = OutputFile::copyNew(photo.url, file, created)) return error;
        if (format == ExportImageFormat::jpeg) LegacyEmbeddedThumbnailCleaner::cleanIfNeeded(file);
        return {};
    }

    // Writes a file to a hidden temporary beside its final name, then publishes it whole under the
    // name the conflict rules give the claim at that moment: a free name is taken only while it is still
    // free, so a file another program saved there meanwhile is never touched (rename mode moves on
    // to the next free name, overwrite mode replaces the newcomer), and a file is replaced by a
    // rename over it. Before the first name given in a folder, and before each after a mount was
    // made or removed, the temporary tells whether the folder has become a photo folder (a mount
    // made meanwhile); before each, the folder must still be the one the export started with:
    // otherwise nothing more is written (halt_).
    // Just before each attempt to give the name, `naming` is told the name and the temporary. The target,
    // or none with error set when the write or the publishing failed (the temporary file is gone
    // then) and without when no name is left.
    std::optional<ExportWriteTarget> storeUnderFreeName(
        const std::string& name, const fs::path& folder, const ExportConflictResolver::NameClaim& claim,
        std::error_code& error, const std::function<std::error_code(const fs::path&)>& write,
        const std::function<void(const fs::path& finalURL, const fs::path& temporary)>& naming) {
        if (halt_) {
            error = std::make_error_code(std::errc::operation_not_permitted);
            return std::nullopt;
        }
        const fs::path temporary = folder / ExportConflictResolver::temporaryName(name);
        error = write(temporary); // a failed write removes what it created
        if (error) return std::nullopt;
        for (int attempt = 0; attempt <= FileNameResolver::kMaximumVariant; ++attempt) {
            const auto target = ExportConflictResolver::target(name, folder, request_.conflictMode,
                                                               protected_, claim, &error);
            if (!target) break;
            if (request_.sourceFolder && mountsChangedFor(folder))
                if (auto refusal = refusalAsPhotoFolder(temporary, photoFolders_, *request_.sourceFolder)) {
                    halt_ = Halt{refusal->errorDescription(), kNotExported};
                    error = std::make_error_code(std::errc::operation_not_permitted);
                    break;
                }
            if (haltWhereMoved(folder)) {
                error = std::make_error_code(std::errc::operation_not_permitted);
                break;
            }
            naming(target->finalURL, temporary);
            error = target->replacesExisting ? OutputFile::replace(target->finalURL, temporary)
                                             : OutputFile::publishNew(temporary, target->finalURL);
            if (!error) {
                publishedFolders_.insert(folder);
                protected_.written.add(target->finalURL);
                if (request_.published) request_.published(target->finalURL);
                return target;
            }
            if (error != std::errc::file_exists) break;
            error.clear();
        }
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return std::nullopt;
    }

    // Whether a mount was made or removed since the photo folders were last asked whether they show
    // the folder (by the folder's check, or before a file): only a mount made since can make the
    // folder show among the photos. The mounts as they are now count as asked about.
    bool mountsChangedFor(const fs::path& folder) {
        auto now = MountTable::read();
        auto& asked = mountsAsked_[folder];
        if (asked == now) return false;
        asked = std::move(now);
        return true;
    }

    // Stops the export when a folder it writes into is no longer the one it started with: the
    // stick it was on has been pulled or unmounted, and its path leads nowhere or to the empty
    // folder it was mounted on, on another disk. A folder that cannot be reached at all (a lost
    // connection) fails each file with its own error instead. True when stopped.
    bool haltWhereMoved(const fs::path& folder) {
        const auto started = folderNodes_.find(folder);
        if (started == folderNodes_.end()) return false;
        std::error_code unreachable;
        const auto now = FileNode::of(folder, unreachable);
        if (now == started->second ||
            (!now && unreachable != std::errc::no_such_file_or_directory && unreachable != std::errc::not_a_directory))
            return false;
        const std::string gone =
            ExportValidationError{ExportValidationError::Kind::destinationMissing, {}}.errorDescription();
        halt_ = Halt{gone, gone};
        return true;
    }

    // The name of a file an earlier export recorded, when it lies in the folder.
    std::optional<std::string> earlierNameIn(const std::optional<ExportManifestFileRecord>& record,
                                             const fs::path& folder) const {
        if (!record) return std::nullopt;
        const fs::path file = destination_ / record->file;
        if (file.parent_path() != (folder / "name").parent_path()) return std::nullopt;
        return file.filename().string();
    }

    // Whether the copy a record names is still its source as the source is now: the source has the
    // identity it had when it was copied, and the copy is as it was written. Older manifests know
    // only the copy's identity, which stands for the source's then.
    bool copyIsCurrent(const std::optional<ExportManifestFileRecord>& record,
                       const std::optional<FileIdentity>& source) const {
        if (!record || !source) return false;
        const FileIdentity copied = record->source.value_or(FileIdentity{record->size, record->mtime});
        return copied == *source && ExportManifestStore::recordMatches(*record, destination_);
    }

    // Copies the photo's files (main file, then RAW companion) into the originals folder, each
    // unless its copy from an earlier export is still current.
    void copyOriginals(const Photo& photo, ItemState& state) {
        const auto files = photo.originalFiles();
        bool failed = false;
        bool copied = false;
        std::optional<std::string> renamedOriginal;
        // A copy that is not made again stays recorded as it was.
        if (state.newEntry) {
            state.newEntry->original = state.previousOriginal;
            state.newEntry->companion = state.previousCompanion;
        }
        for (std::size_t k = 0; k < files.size(); ++k) {
            const auto& file = files[k];
            const bool isPrimary = k == 0;
            const auto& previous = isPrimary ? state.previousOriginal : state.previousCompanion;
            const auto identity = ExportManifestStore::fileIdentity(file.url);
            if (copyIsCurrent(previous, identity)) {
                // A record of an older version learns the source's identity, which it has matched.
                if (state.newEntry && !previous->source)
                    (isPrimary ? state.newEntry->original : state.newEntry->companion)->source = identity;
                continue;
            }
            // A companion copied by an older version has no record; it lies beside its primary's copy.
            if (!isPrimary && !previous &&
                copyIsCurrent(state.previousOriginal, ExportManifestStore::fileIdentity(files[0].url)) &&
                companionOriginalExists(file, files[0], state.previousOriginal, *originalsFolder_))
                continue;
            const auto recordIn = [&](ExportManifestEntry& entry, ExportManifestFileRecord record) {
                record.source = identity;
                (isPrimary ? entry.original : entry.companion) = std::move(record);
            };
            std::error_code error;
            const auto write = [&](const fs::path& copy) { return OutputFile::copyNew(file.url, copy); };
            std::optional<ExportManifestFileRecord> announced;
            const auto place = [&](const fs::path& finalURL, const fs::path& temporary) {
                announce(state, finalURL, temporary, recordIn, announced);
            };
            const ExportConflictResolver::NameClaim claim{state.photo,
                                                          earlierNameIn(previous, *originalsFolder_)};
            const auto target =
                storeUnderFreeName(file.fileName, *originalsFolder_, claim, error, write, place);
            if (!target || error) {
                failed = true;
                continue;
            }
            if (target->replacesExisting) state.overwrote = true;
            if (target->isRenamed && !renamedOriginal) renamedOriginal = target->finalURL.filename().string();
            if (state.newEntry)
                if (auto record = recordOfPublished(*target, announced)) recordIn(*state.newEntry, std::move(*record));
            copied = true;
        }
        if (request_.conflictMode == ExportConflictMode::overwrite && renamedOriginal && !state.renamed) {
            ++result_.renamedCount;
            if (!result_.firstRenamedFileName) result_.firstRenamedFileName = renamedOriginal;
        }
        if (failed)
            ++result_.originalFailureCount;
        else if (copied)
            ++result_.originalCopiedCount;
    }

    const ExportRequest& request_;
    std::shared_ptr<ExportCancellationToken> token_;
    ExportRenderer render_;
    ExportResult result_;
    fs::path destination_;
    std::optional<int> limit_;
    ExportConflictResolver::ProtectedPaths protected_;
    std::optional<fs::path> originalsFolder_;
    ExportManifest manifest_;
    std::optional<ExportManifestJournal> journal_;
    std::vector<fs::path> photoFolders_;
    std::set<fs::path> publishedFolders_;
    std::map<fs::path, std::optional<FileNode>> folderNodes_; // the folders written into, as they started
    // The mounts as they were when the photo folders were last asked about a folder written into.
    std::map<fs::path, std::optional<MountTable>> mountsAsked_;
    // Why nothing more is written (the destination turned out to be a photo folder, or is gone):
    // the reason of the file that found it, and of every item after it.
    struct Halt {
        std::string reason;
        std::string rest;
    };
    std::optional<Halt> halt_;
};

} // namespace

ExportResult exportPhotos(const ExportRequest& request) {
    try {
        return ExportRun(request).run();
    } catch (const std::exception& error) {
        // Running out of memory above all; the export reports it instead of ending the program.
        ExportResult result;
        result.savedOriginals = request.saveOriginals;
        result.destination = request.destination;
        result.failures = {ExportFailure{"", ExportError::describe(error)}};
        return result;
    }
}

bool companionOriginalExists(const Photo::OriginalFile& companion, const Photo::OriginalFile& primarySource,
                             const std::optional<ExportManifestFileRecord>& primaryRecord,
                             const fs::path& directory) {
    if (!primaryRecord) return false;
    const auto identity = ExportManifestStore::fileIdentity(companion.url);
    if (!identity) return false;
    const std::string recordedName = fs::path(primaryRecord->file).filename().string();
    const std::string primaryBase = baseAndExtension(primarySource.fileName).first;
    const std::string recordedBase = baseAndExtension(recordedName).first;
    std::string suffix;
    if (recordedBase.compare(0, primaryBase.size(), primaryBase) == 0)
        suffix = recordedBase.substr(primaryBase.size());
    const auto [companionBase, companionExtension] = baseAndExtension(companion.fileName);
    const std::string expected =
        companionBase + suffix + (companionExtension.empty() ? "" : "." + companionExtension);
    if (ExportManifestStore::fileIdentity(directory / expected) == identity) return true;

    const std::string wantedExtension = lowercased(companionExtension);
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
        const auto [base, extension] = baseAndExtension(it->path().filename().string());
        if (lowercased(extension) != wantedExtension) continue;
        if (base != companionBase && base.compare(0, companionBase.size() + 1, companionBase + "-") != 0)
            continue;
        if (ExportManifestStore::fileIdentity(it->path()) == identity) return true;
    }
    return false;
}

} // namespace sorvin::Exporter
