#pragma once

#include "app/app_state.hpp"
#include "persistence/app_settings.hpp"
#include "platform/defaults_store.hpp"
#include "support/manual_main_queue.hpp"
#include "support/test_support.hpp"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sorvin::test {

// A clipboard that keeps what it was given.
class MemoryPasteboard final : public Pasteboard {
public:
    void clearContents() override { items.clear(); }
    bool writeItems(const std::vector<PasteboardItem>& written) override {
        if (refuses) return false;
        items = written;
        return true;
    }
    std::vector<PasteboardItem> items;
    bool refuses = false;
};

class ScriptedFolderPanel final : public FolderPanel {
public:
    std::optional<std::filesystem::path> chooseFolder(const std::filesystem::path& start) override {
        startFolders.push_back(start);
        if (whileShown) whileShown();
        return answer;
    }
    std::optional<std::filesystem::path> answer;
    std::vector<std::filesystem::path> startFolders;
    std::function<void()> whileShown;
};

// Keeps the panel open until the test answers for the user.
class ScriptedExportPanel final : public SingleExportPanel {
public:
    void present(const SingleExportPanelOptions& shown, FormatChanged changed, Completion done) override {
        options = shown;
        formatChanged = std::move(changed);
        completion = std::move(done);
    }
    std::optional<SingleExportPanelOptions> options;
    FormatChanged formatChanged;
    Completion completion;
};

// Stands in for the desktop's opener: keeps each request until the test says how it ended.
class ScriptedFolderOpener final : public FolderOpener {
public:
    void open(const std::filesystem::path& folder, std::function<void(bool)> done) override {
        folders.push_back(folder);
        pending.push_back(std::move(done));
    }
    void finish(bool shown) {
        auto done = std::move(pending.front());
        pending.erase(pending.begin());
        done(shown);
    }
    std::vector<std::filesystem::path> folders;
    std::vector<std::function<void(bool)>> pending;
};

class RecordingAlerts final : public AlertPresenter {
public:
    void showWarning(const std::string& message, const std::string& informative) override {
        shown.emplace_back(message, informative);
    }
    std::vector<std::pair<std::string, std::string>> shown;
};

// An application state over a manual main queue and executor, an in-memory preferences store and
// temporary folders; the photo folder is filled from the sample photos.
class AppStateTest : public ::testing::Test {
protected:
    AppStateTest() { std::filesystem::create_directories(photos()); }

    std::filesystem::path photos() const { return root / "photos"; }

    // Copies a sample into the photo folder under a name of the test's choosing.
    void addPhoto(const std::string& sampleName, const std::string& name) {
        std::filesystem::copy_file(sample(sampleName), photos() / name);
        std::filesystem::permissions(photos() / name, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
    }

    // Three JPEG photos, the first one with its RAW file.
    void addStandardPhotos() {
        addPhoto("jpeg/nikon_d70s_gps_lens.jpg", "a.jpg");
        addPhoto("raw/nikon_d1.nef", "a.nef");
        addPhoto("jpeg/canon_6d_adobergb_gps_lens.jpg", "b.jpg");
        addPhoto("jpeg/iceland_srgb_untagged_nikon_d800e.jpg", "c.jpg");
    }

    AppState& state() {
        if (!state_) {
            state_ = std::make_unique<AppState>(settings, environment());
            undoManager = std::make_shared<UndoManager>();
            state_->setUndoManager(undoManager);
        }
        return *state_;
    }

    AppStateEnvironment environment() {
        AppStateEnvironment environment{queue, executor, pasteboard};
        environment.folderPanel = chooser ? chooser : &folderPanel;
        environment.singleExportPanel = savePanel ? savePanel : &exportPanel;
        environment.alerts = &alerts;
        environment.folderOpener = &folderOpener;
        environment.cachesRoot = root / "caches";
        environment.applicationSupportDirectory = support;
        environment.legacyApplicationSupportDirectory = root / "legacy-support";
        environment.recordFiles = recordFiles;
        environment.recordExecutor = recordExecutor;
        if (rawDevelopmentFails)
            environment.rawDevelopment =
                [](const RawDevelopmentRequest&) -> std::optional<RawDevelopmentResult> {
                return std::nullopt;
            };
        return environment;
    }

    // Runs background work and what it posts back until nothing is left.
    void settle() {
        for (int round = 0; round < 100 && (executor.waiting() > 0 || queue.pendingCount() > 0); ++round) {
            executor.runAll();
            queue.runPending();
        }
    }

    void openPhotos() {
        state().open(photos());
        settle();
        ASSERT_EQ(state().screen(), AppScreen::select);
    }

    std::string currentPath() {
        const Photo* photo = state().library()->currentPhoto();
        return photo ? photo->relativePath : std::string();
    }

    void destroyState() { state_.reset(); }

    TemporaryFolder root;
    // The data folder, where records go when a folder cannot be written and where they are locked.
    std::filesystem::path support = root / "support";
    DefaultsStore defaults;
    AppSettings settings{defaults, std::uint64_t{1} << 35};
    ManualMainQueue queue;
    ManualExecutor executor;
    MemoryPasteboard pasteboard;
    ScriptedFolderPanel folderPanel;
    ScriptedExportPanel exportPanel;
    RecordingAlerts alerts;
    ScriptedFolderOpener folderOpener;
    std::shared_ptr<UndoManager> undoManager;
    bool rawDevelopmentFails = false;
    // The folder chooser when a test gives one (before the state is made); the scripted one otherwise.
    FolderPanel* chooser = nullptr;
    // The one-photo save panel when a test gives one (before the state is made); the scripted one otherwise.
    SingleExportPanel* savePanel = nullptr;
    // Where records are written, and by whom, when a test decides (before the state is made).
    FileManager* recordFiles = nullptr;
    BackgroundExecutor* recordExecutor = nullptr;

private:
    std::unique_ptr<AppState> state_;
};

} // namespace sorvin::test
