#include "export/exporter_destination.hpp"

#include "export/export_conflict_resolver.hpp"
#include "export/export_error.hpp"
#include "platform/file_node.hpp"
#include "platform/file_path.hpp"
#include "platform/folder_tree.hpp"
#include "platform/heif_encoder.hpp"
#include "platform/mount_table.hpp"
#include "platform/timed_call.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include <fcntl.h>
#include <unistd.h>

namespace sorvin::Exporter {

namespace {

namespace fs = std::filesystem;

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

bool isWritable(const fs::path& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

// Where a folder lies against the source folder, by path and by file identity: the source folder
// reached through another path (a bind mount, a share mounted twice) is the source folder too.
FileNode::Placement placementAgainstSource(const fs::path& folder, const fs::path& sourceFolder) {
    const auto resolvedFolder = FilePath::resolved(folder);
    const auto resolvedSource = FilePath::resolved(sourceFolder);
    if (resolvedFolder == resolvedSource) return FileNode::Placement::same;
    if (FilePath::isInside(resolvedFolder, resolvedSource)) return FileNode::Placement::inside;
    return FileNode::placement(folder, sourceFolder);
}

constexpr const char* kProbeName = "folder-check";

// How long a check waits for the mounts inside the source folder once the folder itself answered
// (kFolderAnswerWait), and how many places it asks each mount about; how long an export waits for
// a photo folder before each file.
constexpr auto kMountWait = std::chrono::seconds(4);
constexpr std::size_t kMostPlacesPerMount = 64;
constexpr auto kPhotoFolderWait = std::chrono::seconds(1);

using MountQuestionHook = std::function<void(const fs::path&)>;

std::mutex& hookMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<const MountQuestionHook>& hookSlot() {
    static std::shared_ptr<const MountQuestionHook> hook;
    return hook;
}

// Whatever a test put before a question to a place a mount may show; nothing otherwise.
void beforeMountQuestion(const fs::path& place) {
    std::shared_ptr<const MountQuestionHook> hook;
    {
        const std::lock_guard lock(hookMutex());
        hook = hookSlot();
    }
    if (hook) (*hook)(place);
}

// The probes that a check killed midway left in a folder go at the first check of the folder in
// this run: later checks find only their own, which they remove.
void removeLeftoverProbesOnce(const fs::path& folder) {
    static std::mutex mutex;
    static std::set<fs::path> cleaned;
    {
        const std::lock_guard lock(mutex);
        if (!cleaned.insert(folder).second) return;
    }
    ExportConflictResolver::removeAbandonedTemporariesOf(folder, kProbeName);
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
    fs::path resolvedFolder;
    fs::path resolvedSource;
    // Where the probe could still show, through which mounts; the probe is made only for them.
    std::vector<MountLookup> lookups;
    std::optional<fs::path> probe;
    std::optional<FileNode> node;
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
    const fs::path& resolvedSource = survey.resolvedSource;
    const auto* folderMount = table.mountShowing(survey.resolvedFolder);
    const MountTable::Disk folderDisk = folderMount ? table.diskShownBy(*folderMount) : MountTable::Disk{};
    std::vector<const MountTable::Mount*> mounts{table.mountShowing(resolvedSource)};
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
        const auto below = survey.resolvedFolder.lexically_relative(folderMount->mountPoint);
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

// Whether the survey of a folder (by its key) is asking the source folder: one per folder while a
// survey of it is out, so that a check that finds it still out knows what holds it up.
std::shared_ptr<std::atomic<bool>> askingSourceFlagOf(const std::string& key) {
    static std::mutex mutex;
    static std::map<std::string, std::weak_ptr<std::atomic<bool>>> flags;
    const std::lock_guard lock(mutex);
    std::erase_if(flags, [](const auto& entry) { return entry.second.expired(); });
    auto& weak = flags[key];
    if (auto flag = weak.lock()) return flag;
    auto flag = std::make_shared<std::atomic<bool>>(false);
    weak = flag;
    return flag;
}

// What a survey shares with the check that waits for it: which folder it asks (the one a wait that
// ends blames), and whether the check gave up on it, after which the survey leaves no probe.
struct SurveyWatch {
    std::shared_ptr<std::atomic<bool>> askingSource;
    std::mutex mutex;
    bool givenUp = false;
    bool probeHandedOver = false;
};

// Where a folder lies against the source folder by everything but the mounts inside the source
// folder that may show other folders (FUSE, a network share, an overlay): those the survey only
// lists, with a probe made in the folder for them to be asked about. Reads the folder's disk.
FolderSurvey surveyOf(const fs::path& folder, const fs::path& sourceFolder, const std::vector<fs::path>& listedFolders,
                      SurveyWatch& watch) {
    // The questions that ask the source folder, after the folder itself answered.
    const auto askingSource = [&watch](const auto& question) {
        *watch.askingSource = true;
        auto answer = question();
        *watch.askingSource = false;
        return answer;
    };
    FolderSurvey survey;
    survey.exists = isDirectory(folder);
    survey.refusal = refusalOf(askingSource([&] { return placementAgainstSource(folder, sourceFolder); }));
    if (survey.refusal || !survey.exists) return survey;
    survey.writable = isWritable(folder);
    if (sourceFolder.empty()) return survey;
    const auto table = MountTable::read();
    if (const auto placement = askingSource([&] { return table.placement(folder, sourceFolder); })) {
        survey.refusal = refusalOf(*placement);
        return survey;
    }
    survey.resolvedFolder = FilePath::resolved(folder);
    survey.resolvedSource = askingSource([&] { return FilePath::resolved(sourceFolder); });
    survey.lookups = askingSource([&] { return lookupsFor(table, survey, sourceFolder, listedFolders); });
    if (survey.lookups.empty()) return survey;
    // Given up on, it leaves the folder as it is: the next check cleans it up.
    const auto givenUp = [&watch] {
        const std::lock_guard lock(watch.mutex);
        return watch.givenUp;
    };
    if (givenUp()) return survey;
    removeLeftoverProbesOnce(survey.resolvedFolder);
    survey.node = FileNode::of(folder);
    const fs::path probe = folder / ExportConflictResolver::temporaryName(kProbeName);
    const int made = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (made < 0) return survey;
    ::close(made);
    survey.probe = probe;
    {
        const std::lock_guard lock(watch.mutex);
        watch.probeHandedOver = !watch.givenUp;
        if (watch.probeHandedOver) return survey;
    }
    // Nobody asks the mounts about it any more, nor removes it.
    ::unlink(probe.c_str());
    survey.probe.reset();
    return survey;
}

// The survey when it ends in time; otherwise none, and whether it was the source folder that held
// it up.
struct TimedSurvey {
    std::optional<FolderSurvey> survey;
    bool sourceSilent = false;
};

TimedSurvey timedSurveyOf(const fs::path& folder, const fs::path& sourceFolder, const std::vector<fs::path>& listedFolders) {
    using Call = TimedCall<FolderSurvey>;
    const std::string key = "folder " + FilePath::standardized(folder).string();
    auto watch = std::make_shared<SurveyWatch>();
    watch->askingSource = askingSourceFlagOf(key);
    Call call(key, [folder, sourceFolder, listedFolders, watch] {
        return surveyOf(folder, sourceFolder, listedFolders, *watch);
    });
    if (auto survey = call.waitUntil(Call::Clock::now() + kFolderAnswerWait)) return {std::move(survey), false};
    bool handedOver = false;
    {
        const std::lock_guard lock(watch->mutex);
        watch->givenUp = true;
        handedOver = watch->probeHandedOver;
    }
    // It ended as the wait did, its probe made: taken all the same, so that the probe goes.
    if (handedOver)
        if (auto survey = call.waitUntil(Call::Clock::now() + kFolderAnswerWait)) return {std::move(survey), false};
    return {std::nullopt, watch->askingSource->load()};
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

// The mounts of the survey asked, each on a thread of its own and all by one deadline, whether
// they show the probe (or, without one, the folder's node) at one of their places: the folder is
// then the source folder or lies inside it. A mount that has not answered by then refuses
// nothing: it goes into `unanswered` (when given) by its place under the source folder.
std::optional<ExportValidationError> refusalThroughMounts(const FolderSurvey& survey, UnansweredMounts* unanswered) {
    using Call = TimedCall<std::optional<fs::path>>;
    std::vector<Call> calls;
    for (const auto& lookup : survey.lookups)
        calls.emplace_back("mount " + lookup.shownAt.string(), [lookup, survey] {
            return FolderTree::findShown(lookup.places, survey.resolvedFolder, [&](const fs::path& place) {
                beforeMountQuestion(place);
                return survey.probe ? FileNode::showsIn(*survey.probe, place) : FileNode::of(place) == survey.node;
            });
        });
    const auto deadline = Call::Clock::now() + kMountWait;
    UnansweredMounts silent;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const auto answer = calls[i].waitUntil(deadline);
        if (answer && *answer)
            return refusalOf(**answer == survey.resolvedSource ? FileNode::Placement::same
                                                               : FileNode::Placement::inside);
        if (!answer) {
            const auto& shownAt = survey.lookups[i].shownAt;
            silent.push_back(shownAt == survey.resolvedSource
                                 ? std::string()
                                 : shownAt.lexically_relative(survey.resolvedSource).string());
        }
    }
    if (unanswered) unanswered->insert(unanswered->end(), silent.begin(), silent.end());
    return std::nullopt;
}

// The probe goes once every mount answered or was given up on.
void removeProbe(const FolderSurvey& survey) {
    if (!survey.probe) return;
    (void)TimedCall<bool>::run("folder " + survey.probe->string(), kFolderAnswerWait,
                               [probe = *survey.probe] { return ::unlink(probe.c_str()) == 0; });
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
    return refusalOf(placementAgainstSource(folder, sourceFolder));
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
        const auto shows = TimedCall<bool>::run("photo folder " + folder->string(), kPhotoFolderWait,
                                                [file, place = *folder] {
                                                    beforeMountQuestion(place);
                                                    return FileNode::showsIn(file, place);
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

std::error_code createDirectoryIfNeeded(const fs::path& folder) {
    std::error_code error;
    const auto status = fs::symlink_status(folder, error);
    if (status.type() != fs::file_type::not_found && status.type() != fs::file_type::none) {
        if (isDirectory(folder)) return {};
        return ExportErrc::fileWriteFileExists;
    }
    error.clear();
    fs::create_directory(folder, error);
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
        const auto kind = refusalOfUnanswered(folder, sourceFolder, sourceSilent).kind;
        return kind == Kind::destinationIsSource || kind == Kind::destinationInsideSource ? E::destinationInsideSource
                                                                                          : E::destinationNotAnswering;
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
