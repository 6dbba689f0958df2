#include "shell/folder_chooser_model.hpp"

#include "platform/localized_text_order.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <utility>

namespace sorvin {

namespace {

// "/a/b/" and "/a/./b" are "/a/b".
std::filesystem::path normal(const std::filesystem::path& path) {
    std::filesystem::path result = path.lexically_normal();
    if (!result.has_filename() && result.has_relative_path()) result = result.parent_path();
    return result;
}

// Where the system mounts the cards, drives and shares a user plugs in or connects.
constexpr std::array<std::string_view, 3> kVolumeFolders = {"/media", "/run/media", "/mnt"};

bool isVolumeMountPoint(const std::filesystem::path& point) {
    const std::filesystem::path at = normal(point);
    return std::any_of(kVolumeFolders.begin(), kVolumeFolders.end(), [&](std::string_view folder) {
        const std::filesystem::path root(folder);
        const std::filesystem::path inside = at.lexically_relative(root);
        return !inside.empty() && inside != "." && *inside.begin() != "..";
    });
}

bool isShare(const std::string& type) {
    static constexpr std::array<std::string_view, 12> kShareTypes = {
        "nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "9p", "davfs", "fuse.sshfs", "fuse.rclone",
        "fuse.davfs2"};
    return std::find(kShareTypes.begin(), kShareTypes.end(), type) != kShareTypes.end();
}

std::string lowerExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return {};
    std::string extension = name.substr(dot + 1);
    for (char& letter : extension) letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    return extension;
}

} // namespace

FolderChooserModel::FolderChooserModel(FolderProbe& probe, std::filesystem::path home,
                                       std::function<void()> changed, bool listsFiles)
    : probe_(probe), home_(normal(home)), changed_(std::move(changed)), listsFiles_(listsFiles),
      places_{{"ホーム", home_, PlaceKind::home}, {"コンピュータ", "/", PlaceKind::computer}} {}

void FolderChooserModel::openFolder(const std::filesystem::path& folder) {
    folder_ = normal(folder.is_absolute() ? folder : resolved(folder.string()));
    listing_ = PathState::asking;
    entries_.clear();
    entriesOut_ = 0;
    nextToAsk_ = 0;
    changedEntries_.clear();
    rowChanges_ = {.all = true, .entries = {}};
    selected_.reset();
    target_.reset();
    acceptWhenListed_ = false;
    selectWhenListed_.reset();
    fieldText_ = folder_.string();
    listingQuestion_ = probe_.list(folder_, kAnswerWait,
                                   [this](std::optional<FolderProbeListing> listing) { listed(std::move(listing)); });
    changed_();
}

bool FolderChooserModel::canGoUp() const {
    return folder_.has_relative_path();
}

void FolderChooserModel::goUp() {
    if (!canGoUp()) return;
    std::filesystem::path left = folder_;
    openFolder(folder_.parent_path());
    selectWhenListed_ = std::move(left);
}

void FolderChooserModel::openRow(std::size_t row) {
    if (const auto entry = entryOfRow(row)) openEntry(*entry);
}

// A file is no folder to open.
void FolderChooserModel::openEntry(std::size_t entry) {
    if (entry < entries_.size() && shown(entries_[entry]) && entries_[entry].state != PathState::notFolder)
        openFolder(entries_[entry].path);
}

void FolderChooserModel::select(std::optional<std::size_t> row) {
    selectEntry(row ? entryOfRow(*row) : std::nullopt);
}

void FolderChooserModel::selectEntry(std::optional<std::size_t> entry) {
    target_.reset();
    acceptWhenListed_ = false;
    selectWhenListed_.reset();
    if (!entry || *entry >= entries_.size() || !shown(entries_[*entry])) {
        selected_.reset();
        fieldText_ = folder_.string();
        changed_();
        return;
    }
    selected_ = entry;
    fieldText_ = entries_[*entry].path.string();
    // A folder chosen before its turn is asked at once.
    if (!entries_[*entry].asked) ask(*entry);
    changed_();
}

void FolderChooserModel::edit(const std::string& text) {
    fieldText_ = text;
    selected_.reset();
    acceptWhenListed_ = false;
    selectWhenListed_.reset();
    const std::filesystem::path path = resolved(text);
    if (text.empty() || path == folder_) {
        target_.reset();
    } else if (!target_ || target_->path != path) {
        target_.emplace();
        target_->path = path;
        target_->question = probe_.isFolder(path, kAnswerWait, [this](std::optional<bool> isFolder) {
            targetAnswered(isFolder);
        });
    }
    changed_();
}

// A disk that answers every call slowly may be said not to answer before it does: Return and
// 選択 are kept for its answer all the same, and the line under the list says so.
static bool awaitsAnswer(FolderChooserModel::PathState state) {
    return state == FolderChooserModel::PathState::asking || state == FolderChooserModel::PathState::notAnswering;
}

void FolderChooserModel::enter() {
    if (target_) {
        if (target_->state == PathState::folder) openFolder(target_->path);
        else if (awaitsAnswer(target_->state)) target_->openWhenAnswered = true;
        changed_();
        return;
    }
    if (!selected_ && awaitsAnswer(listing_)) {
        acceptWhenListed_ = true;
        changed_();
        return;
    }
    accept();
}

void FolderChooserModel::accept() {
    if (const auto chosen = choice()) {
        accepted_ = chosen;
    } else if (target_ && awaitsAnswer(target_->state)) {
        target_->acceptWhenAnswered = true;
    } else if (!target_ && !selected_ && awaitsAnswer(listing_)) {
        acceptWhenListed_ = true;
    } else {
        return;
    }
    changed_();
}

bool FolderChooserModel::canAccept() const {
    if (choice()) return true;
    if (target_) return awaitsAnswer(target_->state);
    return !selected_ && awaitsAnswer(listing_);
}

void FolderChooserModel::stopAsking() {
    listingQuestion_.cancel();
    for (Entry& entry : entries_) entry.question.cancel();
    if (target_) target_->question.cancel();
    acceptWhenListed_ = false;
    selectWhenListed_.reset();
}

std::vector<FolderChooserModel::Row> FolderChooserModel::rows() const {
    std::vector<Row> result;
    for (std::size_t entry = 0; entry < entries_.size(); ++entry)
        if (auto row = entryRow(entry)) result.push_back(std::move(*row));
    return result;
}

std::optional<FolderChooserModel::Row> FolderChooserModel::entryRow(std::size_t entry) const {
    if (entry >= entries_.size() || !shown(entries_[entry])) return std::nullopt;
    return Row{entries_[entry].name, entries_[entry].path, entries_[entry].state};
}

FolderChooserModel::RowChanges FolderChooserModel::takeRowChanges() {
    RowChanges changes = std::exchange(rowChanges_, RowChanges{});
    for (const std::size_t entry : changes.entries) changedEntries_[entry] = false;
    std::sort(changes.entries.begin(), changes.entries.end());
    return changes;
}

bool FolderChooserModel::everyEntryAnswered() const {
    return listing_ != PathState::asking && std::none_of(entries_.begin(), entries_.end(), [](const Entry& entry) {
               return entry.state == PathState::asking && !entry.name.starts_with('.');
           });
}

std::optional<std::size_t> FolderChooserModel::selectedRow() const {
    if (!selected_) return std::nullopt;
    std::size_t row = 0;
    for (std::size_t entry = 0; entry < *selected_; ++entry)
        if (shown(entries_[entry])) ++row;
    return row;
}

std::optional<std::size_t> FolderChooserModel::entryOfRow(std::size_t row) const {
    for (std::size_t entry = 0; entry < entries_.size(); ++entry) {
        if (!shown(entries_[entry])) continue;
        if (row == 0) return entry;
        --row;
    }
    return std::nullopt;
}

std::string FolderChooserModel::status() const {
    const PathState state = target_ ? target_->state : listing_;
    const bool kept = target_ ? target_->openWhenAnswered || target_->acceptWhenAnswered : acceptWhenListed_;
    switch (state) {
    case PathState::notFolder:
        return "フォルダが見つかりません";
    case PathState::notAnswering:
        return kept ? "フォルダが応答しません。応答を待っています…" : "フォルダが応答しません";
    case PathState::asking:
        return kept ? "フォルダの応答を待っています…" : "";
    case PathState::unreadable:
        return "このフォルダは読み込めません";
    case PathState::folder:
        break;
    }
    return {};
}

// A folder listed as one may be taken while it is still asked: the listing said what it is. A
// folder that does not answer, or that cannot be read, is not taken, nor is a file.
std::optional<std::filesystem::path> FolderChooserModel::choice() const {
    if (selected_) {
        const Entry& entry = entries_[*selected_];
        const bool folder = entry.state == PathState::folder || (entry.state == PathState::asking && entry.listedAsFolder);
        return folder ? std::optional(entry.path) : std::nullopt;
    }
    if (target_) return target_->state == PathState::folder ? std::optional(target_->path) : std::nullopt;
    return listing_ == PathState::folder ? std::optional(folder_) : std::nullopt;
}

void FolderChooserModel::setMounts(const MountTable& mounts) {
    mountPoints_.clear();
    for (const MountTable::Mount& mount : mounts.mounts()) mountPoints_.insert(normal(mount.mountPoint));
    std::vector<Place> places(places_.begin(), places_.begin() + 2);
    for (Place& volume : volumePlaces(mounts)) places.push_back(std::move(volume));
    if (places == places_) return;
    places_ = std::move(places);
    changed_();
}

// One place for each mount point (the last mount over a point is the one seen there), in the
// order of their names.
std::vector<FolderChooserModel::Place> FolderChooserModel::volumePlaces(const MountTable& mounts) {
    std::vector<Place> volumes;
    for (const MountTable::Mount& mount : mounts.mounts()) {
        if (!isVolumeMountPoint(mount.mountPoint)) continue;
        const std::filesystem::path point = normal(mount.mountPoint);
        std::erase_if(volumes, [&](const Place& place) { return place.path == point; });
        volumes.push_back({point.filename().string(), point, isShare(mount.type) ? PlaceKind::share : PlaceKind::volume});
    }
    std::stable_sort(volumes.begin(), volumes.end(), [](const Place& a, const Place& b) {
        const auto order = LocalizedTextOrder::compare(a.label, b.label);
        return order != 0 ? order < 0 : a.path < b.path;
    });
    return volumes;
}

std::string FolderChooserModel::typeText(const Row& row) {
    switch (row.state) {
    case PathState::notAnswering:
        return "応答なし";
    case PathState::asking:
    case PathState::folder:
        return "フォルダ";
    case PathState::notFolder:
    case PathState::unreadable:
        break;
    }
    const std::string extension = lowerExtension(row.name);
    if (extension == "jpg" || extension == "jpeg") return "JPEG 画像";
    if (extension == "heic" || extension == "heif" || extension == "hif") return "HEIF 画像";
    return "ファイル";
}

std::filesystem::path FolderChooserModel::resolved(const std::string& text) const {
    if (text == "~") return home_;
    if (text.starts_with("~/")) return normal(home_ / text.substr(2));
    const std::filesystem::path path(text);
    return normal(path.is_absolute() ? path : folder_ / path);
}

// Hidden entries are left out, as file managers do; an entry the listing could not tell is shown
// once it answered as a folder (or, where files are listed, as anything).
bool FolderChooserModel::shown(const Entry& entry) const {
    if (entry.name.starts_with('.')) return false;
    switch (entry.state) {
    case PathState::folder:
    case PathState::notAnswering:
        return true;
    case PathState::asking:
        return entry.listedAsFolder;
    case PathState::notFolder:
        return listsFiles_;
    case PathState::unreadable:
        break;
    }
    return false;
}

void FolderChooserModel::listed(std::optional<FolderProbeListing> listing) {
    rowChanges_ = {.all = true, .entries = {}};
    if (!listing) {
        listing_ = PathState::notAnswering;
        changed_();
        return;
    }
    // What answered is shown even when the listing ended in an error part of the way.
    listing_ = !listing->error ? PathState::folder
               : listing->error == std::errc::not_a_directory || listing->error == std::errc::no_such_file_or_directory
                   ? PathState::notFolder
                   : PathState::unreadable;
    // A row chosen while the listing was out is kept by its name, as is the folder left going up.
    std::optional<std::filesystem::path> selectedPath =
        selected_ && *selected_ < entries_.size() ? std::optional(entries_[*selected_].path) : std::nullopt;
    const bool cameFromBelow = !selectedPath && selectWhenListed_;
    if (cameFromBelow) selectedPath = std::exchange(selectWhenListed_, std::nullopt);
    selected_.reset();
    entries_.clear();
    entries_.reserve(listing->entries.size());
    entriesOut_ = 0;
    nextToAsk_ = 0;
    // The listing tells folders and plain files apart: only links, entries it could not tell and
    // mount points (which may not answer) are asked.
    std::set<std::string> mountedHere;
    for (const std::filesystem::path& point : mountPoints_)
        if (point.parent_path() == folder_ && point.has_filename()) mountedHere.insert(point.filename().string());
    for (FolderProbeEntry& entry : listing->entries) {
        if (entry.listedAsFile && !listsFiles_) continue;
        Entry added;
        added.path = folder_ / entry.name;
        added.name = std::move(entry.name);
        added.listedAsFolder = entry.listedAsFolder;
        added.listedAsFile = entry.listedAsFile;
        if (added.listedAsFile || (added.listedAsFolder && !mountedHere.contains(added.name))) {
            added.state = added.listedAsFile ? PathState::notFolder : PathState::folder;
            added.asked = true;
        }
        if (selectedPath == added.path && !added.name.starts_with('.')) selected_ = entries_.size();
        entries_.push_back(std::move(added));
    }
    changedEntries_.assign(entries_.size(), false);
    if (selected_ && cameFromBelow) {
        fieldText_ = entries_[*selected_].path.string();
        if (!entries_[*selected_].asked) ask(*selected_);
    }
    askNextEntries();
    if (std::exchange(acceptWhenListed_, false) && listing_ == PathState::folder && !target_) accepted_ = folder_;
    changed_();
}

void FolderChooserModel::rowChanged(std::size_t entry) {
    if (rowChanges_.all || changedEntries_[entry]) return;
    changedEntries_[entry] = true;
    rowChanges_.entries.push_back(entry);
}

// Asked in the order of the rows, a few at a time; the next is asked as one answers or is said
// not to answer.
void FolderChooserModel::askNextEntries() {
    for (; nextToAsk_ < entries_.size() && entriesOut_ < kEntriesAskedAtOnce; ++nextToAsk_)
        if (!entries_[nextToAsk_].asked && !entries_[nextToAsk_].name.starts_with('.')) ask(nextToAsk_);
}

void FolderChooserModel::ask(std::size_t index) {
    Entry& entry = entries_[index];
    entry.asked = true;
    entry.waiting = true;
    ++entriesOut_;
    entry.question = probe_.isFolder(entry.path, kAnswerWait,
                                     [this, index](std::optional<bool> isFolder) { entryAnswered(index, isFolder); });
}

void FolderChooserModel::entryAnswered(std::size_t index, std::optional<bool> isFolder) {
    Entry& entry = entries_[index];
    const std::optional<Row> before = entryRow(index);
    entry.state = !isFolder ? PathState::notAnswering : *isFolder ? PathState::folder : PathState::notFolder;
    // None is the deadline's word; the answer itself comes once, however late.
    if (std::exchange(entry.waiting, false)) {
        --entriesOut_;
        askNextEntries();
    }
    if (entryRow(index) == before) return;
    rowChanged(index);
    changed_();
}

void FolderChooserModel::targetAnswered(std::optional<bool> isFolder) {
    target_->state = !isFolder ? PathState::notAnswering : *isFolder ? PathState::folder : PathState::notFolder;
    // Return and 選択 are kept past the deadline, for the answer itself, however late.
    if (target_->state != PathState::notAnswering) {
        const bool open = std::exchange(target_->openWhenAnswered, false);
        const bool take = std::exchange(target_->acceptWhenAnswered, false);
        // 選択 takes the folder, Return opens it.
        if (target_->state == PathState::folder && take) {
            accepted_ = target_->path;
        } else if (target_->state == PathState::folder && open) {
            openFolder(target_->path);
            return;
        }
    }
    changed_();
}

} // namespace sorvin
