#include "shell/folder_chooser_model.hpp"

#include "platform/localized_text_order.hpp"

#include <algorithm>
#include <utility>

namespace sorvin {

namespace {

// "/a/b/" and "/a/./b" are "/a/b".
std::filesystem::path normal(const std::filesystem::path& path) {
    std::filesystem::path result = path.lexically_normal();
    if (!result.has_filename() && result.has_relative_path()) result = result.parent_path();
    return result;
}

} // namespace

FolderChooserModel::FolderChooserModel(FolderProbe& probe, std::filesystem::path home,
                                       std::function<void()> changed)
    : probe_(probe), home_(normal(home)), changed_(std::move(changed)) {}

void FolderChooserModel::openFolder(const std::filesystem::path& folder) {
    folder_ = normal(folder.is_absolute() ? folder : resolved(folder.string()));
    listing_ = PathState::asking;
    entries_.clear();
    entriesOut_ = 0;
    selected_.reset();
    target_.reset();
    fieldText_ = folder_.string();
    listingQuestion_ = probe_.list(folder_, kAnswerWait,
                                   [this](std::optional<FolderProbeListing> listing) { listed(std::move(listing)); });
    changed_();
}

bool FolderChooserModel::canGoUp() const {
    return folder_.has_relative_path();
}

void FolderChooserModel::goUp() {
    if (canGoUp()) openFolder(folder_.parent_path());
}

void FolderChooserModel::openRow(std::size_t row) {
    const std::vector<Row> shownRows = rows();
    if (row < shownRows.size()) openFolder(shownRows[row].path);
}

void FolderChooserModel::select(std::optional<std::size_t> row) {
    const std::vector<Row> shownRows = rows();
    target_.reset();
    if (!row || *row >= shownRows.size()) {
        selected_.reset();
        fieldText_ = folder_.string();
        changed_();
        return;
    }
    selected_ = shownRows[*row].path;
    fieldText_ = selected_->string();
    // A folder chosen before its turn is asked at once.
    for (std::size_t index = 0; index < entries_.size(); ++index)
        if (entries_[index].path == *selected_ && !entries_[index].asked) ask(index);
    changed_();
}

void FolderChooserModel::edit(const std::string& text) {
    fieldText_ = text;
    selected_.reset();
    const std::filesystem::path path = resolved(text);
    if (text.empty() || path == folder_) {
        target_.reset();
    } else if (!target_ || target_->path != path) {
        target_ = Target{.path = path, .state = PathState::asking, .openWhenAnswered = false, .question = {}};
        target_->question = probe_.isFolder(path, kAnswerWait, [this](std::optional<bool> isFolder) {
            targetAnswered(isFolder);
        });
    }
    changed_();
}

void FolderChooserModel::enter() {
    if (selected_) {
        openFolder(*selected_);
    } else if (target_) {
        if (target_->state == PathState::folder) openFolder(target_->path);
        else target_->openWhenAnswered = target_->state == PathState::asking;
    }
}

std::vector<FolderChooserModel::Row> FolderChooserModel::rows() const {
    std::vector<Row> result;
    for (const Entry& entry : entries_)
        if (shown(entry)) result.push_back({entry.name, entry.path, entry.state});
    return result;
}

std::optional<std::size_t> FolderChooserModel::selectedRow() const {
    if (!selected_) return std::nullopt;
    std::size_t row = 0;
    for (const Entry& entry : entries_) {
        if (!shown(entry)) continue;
        if (entry.path == *selected_) return row;
        ++row;
    }
    return std::nullopt;
}

std::string FolderChooserModel::status() const {
    const PathState state = target_ ? target_->state : listing_;
    switch (state) {
    case PathState::notFolder:
        return "フォルダが見つかりません";
    case PathState::notAnswering:
        return "フォルダが応答しません";
    case PathState::unreadable:
        return "このフォルダは読み込めません";
    case PathState::asking:
    case PathState::folder:
        break;
    }
    return {};
}

// A folder listed as one may be taken while it is still asked: the listing said what it is. A
// folder that does not answer, or that cannot be read, is not taken.
std::optional<std::filesystem::path> FolderChooserModel::choice() const {
    if (selected_) {
        for (const Entry& entry : entries_)
            if (entry.path == *selected_ && shown(entry) && entry.state != PathState::notAnswering)
                return entry.path;
        return std::nullopt;
    }
    if (target_) return target_->state == PathState::folder ? std::optional(target_->path) : std::nullopt;
    return listing_ == PathState::folder ? std::optional(folder_) : std::nullopt;
}

std::vector<FolderChooserModel::Place> FolderChooserModel::places() const {
    return {{"ホーム", home_}, {"コンピュータ", "/"}};
}

std::string FolderChooserModel::typeText(PathState state) {
    return state == PathState::notAnswering ? "応答なし" : "フォルダ";
}

std::filesystem::path FolderChooserModel::resolved(const std::string& text) const {
    if (text == "~") return home_;
    if (text.starts_with("~/")) return normal(home_ / text.substr(2));
    const std::filesystem::path path(text);
    return normal(path.is_absolute() ? path : folder_ / path);
}

// Hidden entries are left out, as file managers do; an entry the listing could not tell is shown
// once it answered as a folder.
bool FolderChooserModel::shown(const Entry& entry) const {
    if (entry.name.starts_with('.')) return false;
    switch (entry.state) {
    case PathState::folder:
    case PathState::notAnswering:
        return true;
    case PathState::asking:
        return entry.listedAsFolder;
    case PathState::notFolder:
    case PathState::unreadable:
        break;
    }
    return false;
}

void FolderChooserModel::listed(std::optional<FolderProbeListing> listing) {
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
    std::vector<std::pair<LocalizedTextOrder::Key, FolderProbeEntry>> sorted;
    for (FolderProbeEntry& entry : listing->entries) {
        LocalizedTextOrder::Key key = LocalizedTextOrder::key(entry.name);
        sorted.emplace_back(std::move(key), std::move(entry));
    }
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    entries_.clear();
    entriesOut_ = 0;
    for (auto& [key, entry] : sorted) {
        Entry added;
        added.path = folder_ / entry.name;
        added.name = std::move(entry.name);
        added.listedAsFolder = entry.listedAsFolder;
        entries_.push_back(std::move(added));
    }
    askNextEntries();
    changed_();
}

void FolderChooserModel::askNextEntries() {
    for (std::size_t index = 0; index < entries_.size() && entriesOut_ < kEntriesAskedAtOnce; ++index)
        if (!entries_[index].asked && !entries_[index].name.starts_with('.')) ask(index);
}

void FolderChooserModel::ask(std::size_t index) {
    Entry& entry = entries_[index];
    entry.asked = true;
    ++entriesOut_;
    entry.question = probe_.isFolder(entry.path, kAnswerWait,
                                     [this, index](std::optional<bool> isFolder) { entryAnswered(index, isFolder); });
}

void FolderChooserModel::entryAnswered(std::size_t index, std::optional<bool> isFolder) {
    Entry& entry = entries_[index];
    const bool wasShown = shown(entry);
    const bool firstWord = entry.state == PathState::asking;
    entry.state = !isFolder ? PathState::notAnswering : *isFolder ? PathState::folder : PathState::notFolder;
    if (firstWord) {
        --entriesOut_;
        askNextEntries();
    }
    // A folder listed as one that answers so changes nothing on screen, unless it is the one chosen.
    const bool visible = wasShown != shown(entry) || entry.state != PathState::folder || !entry.listedAsFolder ||
                         (selected_ && *selected_ == entry.path);
    if (visible) changed_();
}

void FolderChooserModel::targetAnswered(std::optional<bool> isFolder) {
    target_->state = !isFolder ? PathState::notAnswering : *isFolder ? PathState::folder : PathState::notFolder;
    // Return is kept for the answer, not past a folder said not to answer.
    if (std::exchange(target_->openWhenAnswered, false) && target_->state == PathState::folder) {
        openFolder(target_->path);
        return;
    }
    changed_();
}

} // namespace sorvin
