#include "export/exporter_destination.hpp"

#include "export/export_conflict_resolver.hpp"
#include "export/export_error.hpp"
#include "platform/file_node.hpp"
#include "platform/file_path.hpp"
#include "platform/folder_tree.hpp"
#include "platform/heif_encoder.hpp"
#include "platform/mount_table.hpp"
#include "platform/opened_folder.hpp"
#include "platform/timed_call.hpp"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sorvin::Exporter {

namespace {

namespace fs = std::filesystem;

using Ask = OpenedFolder::Ask;

bool isDirectory(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

// Something that is not a directory stands there (a file, a dangling link...).
bool isNonDirectory(const fs::path& path) {
    std::error_code error;
    const auto status = fs::symlink_status(path, error);
    if (status.type() == fs::file_type::not_found || status.type() == fs::file_type::none) return false;
    return !fs::is_directory(path, error);
}

constexpr const char* kProbeName = "folder-check";

// How many places a check asks each mount inside the source folder about.
constexpr std::size_t kMostPlacesPerMount = 64;

// Which folder a question of a check asks: the one a check that waits in vain names.
enum Asked : int { askedFolder = 0, askedSource = 1 };

using MountQuestionHook = std::function<void(const fs::path&)>;

std::mutex& hookMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<const MountQuestionHook>& hookSlot() {
    static std::shared_ptr<const MountQuestionHook> hook;
    return hook;
}

// Whatever a test put before a question to the disk; nothing otherwise.
void beforeQuestion(const fs::path& place) {
    std::shared_ptr<const MountQuestionHook> hook;
    {
        const std::lock_guard lock(hookMutex());
        hook = hookSlot();
    }
    if (hook) (*hook)(place);
}

// The questions a check asks of one folder's disk: each told to the wait as it answers, and each
// after the test's hook.
Ask askerOf(DiskQuestions& disk, Asked subject) {
    return [&disk, subject](const fs::path& place, const std::function<void()>& call) {
        disk.ask(subject, [&] {
            beforeQuestion(place);
            call();
            return true;
        });
    };
}

// Asks at once, after the test's hook.
void askNow(const fs::path& place, const std::function<void()>& call) {
    beforeQuestion(place);
    call();
}

// The probes that a check killed midway left in a folder go at the first check of the folder in
// this run: later checks find only their own, which they remove.
void removeLeftoverProbesOnce(const fs::path& folder, const OpenedFolder& opened, const Ask& ask) {
    static std::mutex mutex;
    static std::set<fs::path> cleaned;
    {
        const std::lock_guard lock(mutex);
        if (!cleaned.insert(folder).second) return;
    }
    ask(folder, [&] { ExportConflictResolver::removeAbandonedTemporariesOf(opened.handlePath(), kProbeName); });
}

// A folder as a check found it: the folder itself opened, or where nothing (or a file) is at its
// path, the nearest folder above it, with the names below that. Its path with links resolved.
struct FoundFolder {
    std::optional<OpenedFolder> opened;
    std::optional<OpenedFolder::Identity> identity;
    fs::path below; // empty when the folder itself is there
    fs::path resolved;

    bool exists() const { return identity && below.empty(); }
};

FoundFolder find(const fs::path& folder, const Ask& ask) {
    FoundFolder found;
    fs::path existing = FilePath::standardized(folder);
    for (;;) {
        std::error_code error;
        found.opened = OpenedFolder::open(existing, ask, error);
        const bool absent = error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
        if (found.opened || !absent || !existing.has_relative_path()) break;
        found.below = found.below.empty() ? existing.filename() : existing.filename() / found.below;
        existing = existing.parent_path();
    }
    if (!found.opened) {
        found.resolved = FilePath::standardized(folder);
        return found;
    }
    found.identity = found.opened->identity(ask);
    found.resolved = FilePath::standardized(found.opened->resolved() / found.below);
    return found;
}

// Where a folder lies against the source folder, by path and by node: the source folder reached
// through another path (a bind mount, a share mounted twice) is the source folder too.
FileNode::Placement placementAgainst(const FoundFolder& folder, const FoundFolder& source, const Ask& askFolder) {
    using Placement = FileNode::Placement;
    if (folder.resolved == source.resolved) return Placement::same;
    if (FilePath::isInside(folder.resolved, source.resolved)) return Placement::inside;
    if (!folder.identity || !source.exists()) return Placement::elsewhere;
    const auto placement = folder.opened->placementAgainst(source.identity->node, *folder.identity, askFolder);
    // A folder not there, below the source folder.
    if (placement == Placement::same && !folder.below.empty()) return Placement::inside;
    return placement;
}

// The places under the source folder that one mount shows, where a hidden file made in the folder
// being checked could show: the source folder or the mount's root first, then the photo folders
// it shows, nearest first.
struct MountLookup {
    fs::path shownAt; // the mount point (or the source folder itself), resolved
    std::vector<fs::path> places;
};

// What the folder's own disk and the mount table tell of a folder, without asking any other mount.
struct FolderSurvey {
    bool exists = false;
    bool writable = false;
    // Is or lies inside the source folder by path, node or the mount table.
    std::optional<ExportValidationError> refusal;
    MountTable::Location folder;
    MountTable::Location source;
    // Where the probe could still show, through which mounts; the probe is made only for them.
    std::vector<MountLookup> lookups;
    std::optional<std::string> probe; // its name in the folder
    std::optional<FileNode> node;
    std::shared_ptr<const OpenedFolder> opened; // the folder, where the probe is removed
};

// The refusal of a folder by where it lies against the source folder.
std::optional<ExportValidationError> refusalOf(FileNode::Placement placement) {
    using Kind = ExportValidationError::Kind;
    switch (placement) {
    case FileNode::Placement::same:
        return ExportValidationError{Kind::destinationIsSource, {}};
    case FileNode::Placement::inside:
        return ExportValidationError{Kind::destinationInsideSource, {}};
    case FileNode::Placement::elsewhere:
        break;
    }
    return std::nullopt;
}

// The places that may show the folder, grouped by the mount that shows them: the source folder's
// own and each mount inside the source folder (each asked on its own, so that one that does not
// answer holds up no other), each with the photo folders under it. A mount is asked only when
// it may show the folder's disk: a share of a server or a FUSE mount of a disk the folder is not
// on never shows it; mounts that each keep their own files the table has told about already.
std::vector<MountLookup> lookupsFor(const MountTable& table, const FolderSurvey& survey, const fs::path& sourceFolder,
                                    const std::vector<fs::path>& listedFolders) {
    const fs::path& resolvedSource = survey.source.resolved;
    const auto* folderMount = table.mountShowing(survey.folder);
    const MountTable::Disk folderDisk = folderMount ? table.diskShownBy(*folderMount) : MountTable::Disk{};
    std::vector<const MountTable::Mount*> mounts{table.mountShowing(survey.source)};
    std::vector<MountLookup> lookups{{resolvedSource, {resolvedSource}}};
    for (const auto* mount : table.mountsInside(resolvedSource)) {
        mounts.push_back(mount);
        lookups.push_back({mount->mountPoint, {mount->mountPoint}});
    }
    // A place goes to the deepest mount point above it.
    const auto add = [&](const fs::path& place) {
        if (place != resolvedSource && !FilePath::isInside(place, resolvedSource)) return;
        std::size_t at = 0;
        for (std::size_t i = 1; i < lookups.size(); ++i)
            if ((place == lookups[i].shownAt || FilePath::isInside(place, lookups[i].shownAt)) &&
                lookups[i].shownAt.native().size() > lookups[at].shownAt.native().size())
                at = i;
        auto& places = lookups[at].places;
        if (std::find(places.begin(), places.end(), place) == places.end()) places.push_back(place);
    };
    // Where a FUSE mount such as bindfs says the folder is kept.
    if (folderMount && folderMount->isFuse() && fs::path(folderMount->source).is_absolute()) {
        const auto below = survey.folder.resolved.lexically_relative(folderMount->mountPoint);
        if (!below.empty() && *below.begin() != "..")
            add(FilePath::standardized(fs::path(folderMount->source) / below));
    }
    for (const auto& listed : listedFolders) {
        const auto below = FilePath::standardized(listed).lexically_relative(FilePath::standardized(sourceFolder));
        if (!below.empty() && *below.begin() != "..") add(FilePath::standardized(resolvedSource / below));
    }
    std::vector<MountLookup> asked;
    for (std::size_t i = 0; i < lookups.size(); ++i) {
        const auto* mount = mounts[i];
        const bool toldByTable = mount && folderMount && mount->keepsItsOwnFiles() && folderMount->keepsItsOwnFiles();
        if (toldByTable || (mount && !table.diskShownBy(*mount).mayBe(folderDisk))) continue;
        auto& places = lookups[i].places;
        std::stable_sort(places.begin() + 1, places.end(), [](const fs::path& a, const fs::path& b) {
            return std::distance(a.begin(), a.end()) < std::distance(b.begin(), b.end());
        });
        if (places.size() > kMostPlacesPerMount) places.resize(kMostPlacesPerMount);
        asked.push_back(std::move(lookups[i]));
    }
    return asked;
}

// What a survey shares with the check that waits for it: whether the check gave up on it, after
// which the survey leaves no probe.
struct SurveyWatch {
    std::mutex mutex;
    bool givenUp = false;
    bool probeHandedOver = false;
};

// Where a folder lies against the source folder by everything but the mounts inside the source
// folder that may show other folders (FUSE, a network share, an overlay): those the survey only
// lists, with a probe made in the folder for them to be asked about. Asks the folder's disk and
// the source folder's, one call at a time, each by its handle once the folder is open.
FolderSurvey surveyOf(const fs::path& folder, const fs::path& sourceFolder, const std::vector<fs::path>& listedFolders,
                      SurveyWatch& watch, DiskQuestions& disk) {
    const Ask askFolder = askerOf(disk, askedFolder);
    const Ask askSource = askerOf(disk, askedSource);
    FolderSurvey survey;
    FoundFolder found = find(folder, askFolder);
    survey.exists = found.exists();
    survey.folder = {found.resolved, found.exists() ? found.identity->mountId : std::nullopt};
    if (sourceFolder.empty()) {
        survey.writable = survey.exists && found.opened->isWritable(askFolder);
        return survey;
    }
    const FoundFolder source = find(sourceFolder, askSource);
    survey.source = {source.resolved, source.exists() ? source.identity->mountId : std::nullopt};
    survey.refusal = refusalOf(placementAgainst(found, source, askFolder));
    if (survey.refusal || !survey.exists) return survey;
    survey.writable = found.opened->isWritable(askFolder);
    const auto table = MountTable::read();
    if (const auto placement = table.placement(survey.folder, survey.source)) {
        survey.refusal = refusalOf(*placement);
        return survey;
    }
    survey.lookups = lookupsFor(table, survey, sourceFolder, listedFolders);
    if (survey.lookups.empty()) return survey;
    // Given up on, it leaves the folder as it is: the next check cleans it up.
    const auto givenUp = [&watch] {
        const std::lock_guard lock(watch.mutex);
        return watch.givenUp;
    };
    if (givenUp()) return survey;
    auto opened = std::make_shared<const OpenedFolder>(std::move(*found.opened));
    const fs::path& resolved = survey.folder.resolved;
    removeLeftoverProbesOnce(resolved, *opened, askFolder);
    survey.node = found.identity->node;
    const std::string probe = ExportConflictResolver::temporaryName(kProbeName);
    // Made without being opened: a share then has nothing to open and close.
    int made = -1;
    askFolder(resolved / probe, [&] { made = ::mknodat(opened->descriptor(), probe.c_str(), S_IFREG | 0600, 0); });
    if (made != 0) return survey;
    bool handedOver = false;
    {
        const std::lock_guard lock(watch.mutex);
        handedOver = watch.probeHandedOver = !watch.givenUp;
    }
    if (handedOver) {
        survey.probe = probe;
        survey.opened = std::move(opened);
        return survey;
    }
    // Nobody asks the mounts about it any more, nor removes it.
    ::unlinkat(opened->descriptor(), probe.c_str(), 0);
    return survey;
}

// The survey when it ends while its disks answer; otherwise none, and whether it was the source
// folder that did not answer.
struct TimedSurvey {
    std::optional<FolderSurvey> survey;
    bool sourceSilent = false;
};

TimedSurvey timedSurveyOf(const fs::path& folder, const fs::path& sourceFolder, const std::vector<fs::path>& listedFolders) {
    auto watch = std::make_shared<SurveyWatch>();
    TimedCall<FolderSurvey> call("folder " + FilePath::standardized(folder).string(),
                                 [folder, sourceFolder, listedFolders, watch](DiskQuestions& disk) {
                                     return surveyOf(folder, sourceFolder, listedFolders, *watch, disk);
                                 });
    auto survey = call.waitWhileAnswering(kDiskAnswerWait);
    if (survey) return {std::move(survey), false};
    bool handedOver = false;
    {
        const std::lock_guard lock(watch->mutex);
        watch->givenUp = true;
        handedOver = watch->probeHandedOver;
    }
    // It ended as the wait did, its probe made: taken all the same, so that the probe goes.
    if (handedOver)
        if (auto ended = call.waitWhileAnswering(kDiskAnswerWait)) return {std::move(ended), false};
    return {std::nullopt, call.asking() == askedSource};
}

// A folder whose survey did not end in time is told by its path, else as not answering, or the
// source folder as not answering when it was the one asked.
ExportValidationError refusalOfUnanswered(const fs::path& folder, const fs::path& sourceFolder, bool sourceSilent) {
    using Kind = ExportValidationError::Kind;
    const auto path = FilePath::standardized(folder);
    const auto source = FilePath::standardized(sourceFolder);
    if (path == source) return {Kind::destinationIsSource, {}};
    if (FilePath::isInside(path, source)) return {Kind::destinationInsideSource, {}};
    return {sourceSilent ? Kind::sourceNotAnswering : Kind::destinationNotAnswering, {}};
}

// The mounts of the survey asked, each on a thread of its own, whether they show the probe (or,
// without one, the folder's node) at one of their places: the folder is then the source folder or
// lies inside it. A mount that goes without answering for a while refuses nothing: it goes into
// `unanswered` (when given) by its place under the source folder.
std::optional<ExportValidationError> refusalThroughMounts(const FolderSurvey& survey, UnansweredMounts* unanswered) {
    using Call = TimedCall<std::optional<fs::path>>;
    std::vector<Call> calls;
    for (const auto& lookup : survey.lookups)
        calls.emplace_back("mount " + lookup.shownAt.string(), [lookup, survey](DiskQuestions& disk) {
            const Ask ask = askerOf(disk, askedSource);
            return FolderTree::findShown(lookup.places, survey.folder.resolved, [&](const fs::path& place) {
                bool shown = false;
                ask(place, [&] {
                    shown = survey.probe ? FileNode::showsIn(place / *survey.probe, place)
                                         : FileNode::of(place) == survey.node;
                });
                return shown;
            });
        });
    UnansweredMounts silent;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const auto answer = calls[i].waitWhileAnswering(kDiskAnswerWait);
        if (answer && *answer)
            return refusalOf(**answer == survey.source.resolved ? FileNode::Placement::same
                                                                : FileNode::Placement::inside);
        if (!answer) {
            const auto& shownAt = survey.lookups[i].shownAt;
            silent.push_back(shownAt == survey.source.resolved
                                 ? std::string()
                                 : shownAt.lexically_relative(survey.source.resolved).string());
        }
    }
    if (unanswered) unanswered->insert(unanswered->end(), silent.begin(), silent.end());
    return std::nullopt;
}

// The probe goes once every mount answered or was given up on.
void removeProbe(const FolderSurvey& survey) {
    if (!survey.probe) return;
    const fs::path place = survey.folder.resolved / *survey.probe;
    TimedCall<bool> call("folder " + place.string(), [place, survey](DiskQuestions& disk) {
        bool removed = false;
        askerOf(disk, askedFolder)(place, [&] {
            removed = ::unlinkat(survey.opened->descriptor(), survey.probe->c_str(), 0) == 0;
        });
        return removed;
    });
    (void)call.waitWhileAnswering(kDiskAnswerWait);
}

// The survey and then the mounts: the folder's refusal as the source folder or inside it.
std::optional<ExportValidationError> refusalInside(const FolderSurvey& survey, UnansweredMounts* unanswered) {
    if (survey.refusal) return survey.refusal;
    auto refusal = refusalThroughMounts(survey, unanswered);
    removeProbe(survey);
    return refusal;
}

} // namespace

std::optional<ExportValidationError> validate(const fs::path& destination, const fs::path& sourceFolder,
                                              const std::vector<fs::path>& listedFolders,
                                              UnansweredMounts* unanswered) {
    using Kind = ExportValidationError::Kind;
    const auto [survey, sourceSilent] = timedSurveyOf(destination, sourceFolder, listedFolders);
    if (!survey) return refusalOfUnanswered(destination, sourceFolder, sourceSilent);
    if (!survey->exists) return ExportValidationError{Kind::destinationMissing, {}};
    if (auto refusal = refusalInside(*survey, unanswered)) return refusal;
    if (!survey->writable) return ExportValidationError{Kind::destinationNotWritable, {}};
    return std::nullopt;
}

std::optional<ExportValidationError> refusalAsSource(const fs::path& folder, const fs::path& sourceFolder) {
    return refusalOf(placementAgainst(find(folder, askNow), find(sourceFolder, askNow), askNow));
}

std::optional<ExportValidationError> refusalInsideSource(const fs::path& folder, const fs::path& sourceFolder,
                                                         const std::vector<fs::path>& listedFolders,
                                                         UnansweredMounts* unanswered) {
    const auto [survey, sourceSilent] = timedSurveyOf(folder, sourceFolder, listedFolders);
    if (!survey) return refusalOfUnanswered(folder, sourceFolder, sourceSilent);
    return refusalInside(*survey, unanswered);
}

std::vector<fs::path> photoFolders(const std::vector<Photo>& photos, const fs::path& sourceFolder) {
    std::vector<fs::path> folders;
    std::set<fs::path> named;    // the photos of one folder resolve its path once
    std::set<fs::path> resolved; // two paths of one folder are asked about once
    const auto add = [&](const fs::path& folder) {
        if (named.insert(folder).second && resolved.insert(FilePath::resolved(folder)).second)
            folders.push_back(folder);
    };
    add(sourceFolder);
    for (const auto& photo : photos)
        for (const auto& file : photo.originalFiles())
            add(file.url.parent_path());
    return folders;
}

std::optional<ExportValidationError> refusalAsPhotoFolder(const fs::path& file, std::vector<fs::path>& photoFolders,
                                                          const fs::path& sourceFolder) {
    for (auto folder = photoFolders.begin(); folder != photoFolders.end();) {
        const auto shows = TimedCall<bool>::run("photo folder " + folder->string(), kDiskAnswerWait,
                                                [file, place = *folder] {
                                                    bool shown = false;
                                                    askNow(place, [&] { shown = FileNode::showsIn(file, place); });
                                                    return shown;
                                                });
        if (!shows) {
            folder = photoFolders.erase(folder);
            continue;
        }
        if (*shows) {
            if (auto refusal = refusalAsSource(*folder, sourceFolder)) return refusal;
            return ExportValidationError{ExportValidationError::Kind::destinationIsSource, {}};
        }
        ++folder;
    }
    return std::nullopt;
}

std::optional<ExportValidationError> validateOriginalsDestination(const fs::path& destination,
                                                                  bool saveOriginals) {
    if (saveOriginals && isNonDirectory(destination / kOriginalsFolderName))
        return ExportValidationError{ExportValidationError::Kind::originalsIsFile, {}};
    return std::nullopt;
}

std::optional<ExportValidationError> validateFormatDestinations(const fs::path& destination,
                                                                const std::vector<Photo>& photos,
                                                                const ExportFormatOptions& options) {
    if (!options.usesFormatFolders()) return std::nullopt;
    for (const auto format : options.requiredFormats(photos)) {
        const std::string name(traitsOf(format).folderName);
        if (isNonDirectory(destination / name))
            return ExportValidationError{ExportValidationError::Kind::formatFolderIsFile, name};
    }
    return std::nullopt;
}

std::error_code createDirectoryIfNeeded(const fs::path& folder, bool* made) {
    std::error_code error;
    const auto status = fs::symlink_status(folder, error);
    if (status.type() != fs::file_type::not_found && status.type() != fs::file_type::none) {
        if (isDirectory(folder)) return {};
        return ExportErrc::fileWriteFileExists;
    }
    error.clear();
    const bool created = fs::create_directory(folder, error);
    if (made) *made = created;
    return error;
}

bool supportsOutput(ExportImageFormat format) {
    switch (format) {
    case ExportImageFormat::jpeg:
        return true;
    case ExportImageFormat::heif:
        return HeifEncoder::isAvailable();
    }
    return false;
}

std::optional<SingleExportValidationError> validateSingleExportDestination(const fs::path& file,
                                                                           const fs::path& sourceFolder) {
    using E = SingleExportValidationError;
    using Kind = ExportValidationError::Kind;
    const auto folder = FilePath::standardized(file).parent_path();
    const auto [survey, sourceSilent] = timedSurveyOf(folder, sourceFolder, {});
    if (!survey) {
        switch (refusalOfUnanswered(folder, sourceFolder, sourceSilent).kind) {
        case Kind::destinationIsSource:
        case Kind::destinationInsideSource:
            return E::destinationInsideSource;
        case Kind::sourceNotAnswering:
            return E::sourceNotAnswering;
        default:
            return E::destinationNotAnswering;
        }
    }
    // A missing folder is asked by its path alone: nothing can be made in it.
    if (survey->refusal) return E::destinationInsideSource;
    if (!survey->exists) return E::destinationMissing;
    if (refusalInside(*survey, nullptr)) return E::destinationInsideSource;
    if (!survey->writable) return E::destinationNotWritable;
    return std::nullopt;
}

void setMountQuestionHookForTesting(std::function<void(const fs::path& place)> hook) {
    auto shared = hook ? std::make_shared<const MountQuestionHook>(std::move(hook)) : nullptr;
    const std::lock_guard lock(hookMutex());
    hookSlot() = std::move(shared);
}

} // namespace sorvin::Exporter
