#pragma once

#include "platform/folder_probe.hpp"
#include "platform/mount_table.hpp"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sorvin {

// The folder chooser's rules: which folder it lists, which of its entries it shows, what the path
// field stands for, which folder it takes and where it starts from. Every question to the disk goes
// through the probe, off the main thread and with a time limit: a folder or an entry that does not
// answer is said so and left to its worker, and the chooser never waits. The save panel lists the
// files of a folder as well. Main thread only.
class FolderChooserModel {
public:
    // How long the disk may take before the chooser says that a folder does not answer.
    static constexpr double kAnswerWait = 0.5;
    // How many entries of a folder (links, and entries the listing could not tell) are asked at once
    // whether they are folders, in the order of the rows. One that did not answer in time gives its
    // place to the next: links into a share that stopped answering wait among that share's
    // questions (FolderProbe), and the links after them are asked and shown all the same.
    static constexpr std::size_t kEntriesAskedAtOnce = 16;

    // What the disk said of a path: still asked, a folder, something else or nothing, no answer in
    // time, or a folder that cannot be read.
    enum class PathState { asking, folder, notFolder, notAnswering, unreadable };

    struct Row {
        std::string name;
        std::filesystem::path path;
        PathState state;
        friend bool operator==(const Row&, const Row&) = default;
    };
    enum class PlaceKind { home, computer, volume, share };
    struct Place {
        std::string label;
        std::filesystem::path path;
        PlaceKind kind;
        friend bool operator==(const Place&, const Place&) = default;
    };
    // The entries whose rows changed since the last look: all of them (another folder, or its
    // listing came), or some that answered, each once, in order.
    struct RowChanges {
        bool all = false;
        std::vector<std::size_t> entries;
    };

    FolderChooserModel(FolderProbe& probe, std::filesystem::path home, std::function<void()> changed,
                       bool listsFiles = false);

    // Lists the folder; the path field then stands for it.
    void openFolder(const std::filesystem::path& folder);
    bool canGoUp() const;
    // Lists the folder above, with the folder left chosen in it once it is listed.
    void goUp();
    void openRow(std::size_t row);
    void openEntry(std::size_t entry);
    // The field then stands for the row.
    void select(std::optional<std::size_t> row);
    void selectEntry(std::optional<std::size_t> entry);
    // The path field as typed: a path, "~" for the home folder, or a name inside the folder shown.
    void edit(const std::string& text);
    // Return in the path field: a typed folder or the row chosen is opened once the disk says it is
    // a folder; the folder listed is taken. A Return made before the answer is kept for it, also
    // past the deadline: a disk slow on every call answers after it.
    void enter();
    // 選択: the folder the field stands for is taken, when there is one to take; one not answered
    // yet is taken once it answers as a folder.
    void accept();
    // Whether 選択 takes something now or once the disk answered.
    bool canAccept() const;
    // The chooser closed: every question out is dropped, and no answer changes anything.
    void stopAsking();
    // The folder taken by Return or 選択, once it answered as one.
    const std::optional<std::filesystem::path>& accepted() const { return accepted_; }

    const std::filesystem::path& folder() const { return folder_; }
    PathState listingState() const { return listing_; }
    // The subfolders shown (and the files, where files are listed), in the order of file names;
    // hidden ones are left out, a link is shown once it answered, and a folder that does not answer
    // is shown marked.
    std::vector<Row> rows() const;
    // The entries of the folder listed, in the same order, shown or not; a row when shown.
    std::size_t entryCount() const { return entries_.size(); }
    std::optional<Row> entryRow(std::size_t entry) const;
    RowChanges takeRowChanges();
    // Whether every entry shown or to be shown has said what it is, or that it does not answer.
    bool everyEntryAnswered() const;
    std::optional<std::size_t> selectedRow() const;
    std::optional<std::size_t> selectedEntry() const { return selected_; }
    const std::string& fieldText() const { return fieldText_; }
    // Whether the field holds a path typed, rather than the folder listed or a row chosen.
    bool standsForTypedPath() const { return target_.has_value(); }
    // The line under the list: why nothing can be chosen, or what a Return or 選択 waits for.
    std::string status() const;
    // The folder 選択 takes now, or none while there is none to take.
    std::optional<std::filesystem::path> choice() const;

    // ホーム, コンピュータ, then the volumes mounted under /media, /run/media and /mnt.
    const std::vector<Place>& places() const { return places_; }
    // The places, and the mount points: a folder that is one is asked whether it answers, though
    // the listing said it is a folder.
    void setMounts(const MountTable& mounts);
    static std::vector<Place> volumePlaces(const MountTable& mounts);

    // The type column of a row: a folder, a kind of file, or that it does not answer.
    static std::string typeText(const Row& row);

private:
    struct Entry {
        std::string name;
        std::filesystem::path path;
        bool listedAsFolder = false;
        bool listedAsFile = false;
        PathState state = PathState::asking;
        bool asked = false;
        bool waiting = false; // asked, and neither answered nor said not to answer yet
        FolderProbe::Question question;
    };
    // What the field stands for, when it is not the folder listed.
    struct Target {
        std::filesystem::path path;
        PathState state = PathState::asking;
        bool openWhenAnswered = false;
        bool acceptWhenAnswered = false;
        FolderProbe::Question question;
    };

    std::filesystem::path resolved(const std::string& text) const;
    bool shown(const Entry& entry) const;
    std::optional<std::size_t> entryOfRow(std::size_t row) const;
    void listed(std::optional<FolderProbeListing> listing);
    void rowChanged(std::size_t entry);
    void askNextEntries();
    void ask(std::size_t entry);
    void entryAnswered(std::size_t entry, std::optional<bool> isFolder);
    void targetAnswered(std::optional<bool> isFolder);

    FolderProbe& probe_;
    std::filesystem::path home_;
    std::function<void()> changed_;
    bool listsFiles_;
    std::filesystem::path folder_;
    PathState listing_ = PathState::asking;
    FolderProbe::Question listingQuestion_;
    std::vector<Entry> entries_;
    std::size_t entriesOut_ = 0; // entries waiting
    std::size_t nextToAsk_ = 0;  // no entry before it is left to ask
    std::vector<bool> changedEntries_;
    RowChanges rowChanges_;
    std::optional<std::size_t> selected_;
    std::string fieldText_;
    std::optional<Target> target_;
    bool acceptWhenListed_ = false;
    std::optional<std::filesystem::path> accepted_;
    // The folder left by going up, chosen once its parent is listed.
    std::optional<std::filesystem::path> selectWhenListed_;
    std::vector<Place> places_;
    std::set<std::filesystem::path> mountPoints_;
};

} // namespace sorvin
