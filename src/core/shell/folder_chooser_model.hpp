#pragma once

#include "platform/folder_probe.hpp"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sorvin {

// The folder chooser's rules: which folder it lists, which of its entries it shows, what the path
// field stands for and which folder 選択 takes. Every question to the disk goes through the probe,
// off the main thread and with a time limit: a folder or an entry that does not answer is said so
// and left to its worker, and the chooser never waits. Main thread only.
class FolderChooserModel {
public:
    // How long the disk may take before the chooser says that a folder does not answer.
    static constexpr double kAnswerWait = 0.5;
    // How many entries of a folder are asked at once whether they are folders.
    static constexpr std::size_t kEntriesAskedAtOnce = 8;

    // What the disk said of a path: still asked, a folder, something else or nothing, no answer in
    // time, or a folder that cannot be read.
    enum class PathState { asking, folder, notFolder, notAnswering, unreadable };

    struct Row {
        std::string name;
        std::filesystem::path path;
        PathState state;
        friend bool operator==(const Row&, const Row&) = default;
    };
    struct Place {
        std::string label;
        std::filesystem::path path;
    };

    FolderChooserModel(FolderProbe& probe, std::filesystem::path home, std::function<void()> changed);

    // Lists the folder; the path field then stands for it.
    void openFolder(const std::filesystem::path& folder);
    bool canGoUp() const;
    void goUp();
    void openRow(std::size_t row);
    // The field then stands for the row.
    void select(std::optional<std::size_t> row);
    // The path field as typed: a path, "~" for the home folder, or a name inside the folder shown.
    void edit(const std::string& text);
    // Return in the path field: opens the folder typed, once the disk says it is one.
    void enter();

    const std::filesystem::path& folder() const { return folder_; }
    PathState listingState() const { return listing_; }
    // The subfolders shown, in the order of file names; hidden ones are left out, a link to a
    // folder is shown once it answered, and a folder that does not answer is shown marked.
    std::vector<Row> rows() const;
    std::optional<std::size_t> selectedRow() const;
    const std::string& fieldText() const { return fieldText_; }
    // The line under the list: why nothing can be chosen, or nothing.
    std::string status() const;
    // The folder 選択 takes now, or none while there is none to take.
    std::optional<std::filesystem::path> choice() const;
    std::vector<Place> places() const;
    // The type column of a row.
    static std::string typeText(PathState state);

private:
    struct Entry {
        std::string name;
        std::filesystem::path path;
        bool listedAsFolder = false;
        PathState state = PathState::asking;
        bool asked = false;
        FolderProbe::Question question;
    };
    // What the field stands for, when it is not the folder listed.
    struct Target {
        std::filesystem::path path;
        PathState state = PathState::asking;
        bool openWhenAnswered = false;
        FolderProbe::Question question;
    };

    std::filesystem::path resolved(const std::string& text) const;
    bool shown(const Entry& entry) const;
    void listed(std::optional<FolderProbeListing> listing);
    void askNextEntries();
    void ask(std::size_t entry);
    void entryAnswered(std::size_t entry, std::optional<bool> isFolder);
    void targetAnswered(std::optional<bool> isFolder);

    FolderProbe& probe_;
    std::filesystem::path home_;
    std::function<void()> changed_;
    std::filesystem::path folder_;
    PathState listing_ = PathState::asking;
    FolderProbe::Question listingQuestion_;
    std::vector<Entry> entries_;
    std::size_t entriesOut_ = 0; // asked and not answered in time yet
    std::optional<std::filesystem::path> selected_;
    std::string fieldText_;
    std::optional<Target> target_;
};

} // namespace sorvin
