#include "export/export_error.hpp"
#include "persistence/legacy_data_migrator.hpp"
#include "persistence/parameter_preset_manager.hpp"
#include "persistence/parameter_preset_save_form_state.hpp"
#include "persistence/preference_key.hpp"
#include "platform/atomic_file.hpp"
#include "support/failing_preferences.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/overlays/toast_view.hpp"
#include "ui/panel/parameter_preset_save_sheet.hpp"
#include "ui_test_fixture.hpp"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cerrno>
#include <fmt/format.h>
#include <nlohmann/json.hpp>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// The preferences file of the user's home, written by the previous version, under a window started
// on it as the program starts: a share holding the home may fail to read it for a moment or longer.
class PreferencesFailureWindowTest : public MainWindowTest {
protected:
    struct Session {
        explicit Session(PreferencesFailureWindowTest& test) : defaults(test.file()) {
            LegacyDataMigrator::migrateUserDefaultsIfNeeded(defaults, nullptr);
            settings = std::make_unique<AppSettings>(defaults, std::uint64_t{1} << 35);
            state = std::make_unique<AppState>(*settings, test.environment());
            window = std::make_unique<MainWindow>(*state, delegate, test.queue);
            window->show();
            window->activateWindow();
            QApplication::processEvents();
        }
        ~Session() {
            window.reset();
            state.reset();
        }
        DefaultsStore defaults;
        std::unique_ptr<AppSettings> settings;
        std::unique_ptr<AppState> state;
        AppDelegate delegate{nullptr};
        std::unique_ptr<MainWindow> window;
    };

    PreferencesFailureWindowTest() {
        fs::create_directories(file().parent_path());
        AtomicFile::write(file(), previousVersionPreferences());
        addStandardPhotos();
    }

    fs::path file() const { return root / "config" / "Sorvin" / "preferences.json"; }
    Json onDisk() const { return Json::parse(AtomicFile::read(file())); }
    bool setAside() const { return fs::exists(fs::path(file()) += ".damaged"); }

    // The settings' writes ended, and what they said shown.
    void written(Session& session) {
        session.defaults.waitUntilWritten();
        queue.runPending();
        QApplication::processEvents();
    }
    void openAtTheWindow(Session& session) {
        folderPanel.answer = photos();
        QTest::keyClick(session.window.get(), Qt::Key_O, Qt::ControlModifier);
        settle();
        QApplication::processEvents();
        ASSERT_EQ(session.state->screen(), AppScreen::select);
        written(session);
    }
    // A key typed at the window, its settings written; the toast it brings is shown.
    void typeAt(Session& session, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(session.window.get(), key, modifiers);
        written(session);
    }
    // Whether the window shows the message within the next few seconds, after what shows now.
    bool toastSays(Session& session, const std::string& message) {
        for (int step = 0; step < 40; ++step) {
            QApplication::processEvents();
            if (session.window->rootView()->toastView()->text().toStdString() == message) return true;
            queue.advance(0.1);
        }
        return false;
    }
    static std::string notSaved(int error) {
        return "設定を保存できませんでした（" +
               ExportError::failureReason(std::error_code(error, std::generic_category())) + "）";
    }
    // Every value of the previous version's file, but those named, is in the file as it was.
    void expectKeptBut(const std::vector<std::string_view>& changed) const {
        const Json before = Json::parse(previousVersionPreferences());
        const Json now = onDisk();
        for (const auto& [key, value] : before.items()) {
            if (std::find(changed.begin(), changed.end(), key) != changed.end()) continue;
            EXPECT_EQ(now.value(key, Json()), value) << key;
        }
    }
};

const std::vector<std::string> kPresetNames = {"晴れ", "夜景"};

std::vector<std::string> names(const std::vector<ParameterPreset>& presets) {
    std::vector<std::string> result;
    for (const auto& preset : presets)
        result.push_back(preset.name);
    return result;
}

// The file, written again by another copy, cannot be read for as long as the user presses W (the
// second letter page) at the window: the window says the settings were not saved, and the file
// stays as it was, not set aside. The next setting, once it can be read, goes in with W's over
// every other value.
TEST_F(PreferencesFailureWindowTest, ABlinkWhileAKeyWritesASettingLosesNothing) {
    for (const auto& [error, step] :
         {std::pair{EIO, DefaultsStore::FileStep::open}, std::pair{ESTALE, DefaultsStore::FileStep::read}}) {
        SCOPED_TRACE(error);
        AtomicFile::write(file(), previousVersionPreferences());
        Session session(*this);
        openAtTheWindow(session);
        const std::string opened = AtomicFile::read(file());
        AtomicFile::write(file(), opened); // this copy's write must read it
        {
            const FailingPreferences failing(file(), step, error);
            typeAt(session, Qt::Key_W);
            EXPECT_TRUE(toastSays(session, notSaved(error)));
            EXPECT_EQ(AtomicFile::read(file()), opened);
            EXPECT_FALSE(setAside());
        }
        typeAt(session, Qt::Key_G, Qt::ControlModifier); // the grid, shown since the file was read
        expectKeptBut({PreferenceKey::parameterTab, PreferenceKey::recentFolders, PreferenceKey::lastFolder,
                       PreferenceKey::showGrid});
        EXPECT_EQ(onDisk()[std::string(PreferenceKey::parameterTab)],
                  session.state->parameterPage().storedValue());
        EXPECT_EQ(onDisk()[std::string(PreferenceKey::showGrid)], true);
        EXPECT_EQ(onDisk()[std::string(PreferenceKey::recentFolders)],
                  Json::array({photos().string(), "/photos/2024/京都", "/photos/2023"}));
        EXPECT_FALSE(setAside());
    }
}

// A start that cannot read the file says so, runs on the defaults and writes nothing over the
// file, however the user works (a folder opened, the grid shown); once the file can be read, the
// user's changes go in over it, and the next start lists every recent folder and preset.
TEST_F(PreferencesFailureWindowTest, AStartThatCannotReadTheFileRunsOnTheDefaultsAndKeepsIt) {
    for (const int error : {EIO, ESTALE, EACCES, EMFILE}) {
        SCOPED_TRACE(error);
        AtomicFile::write(file(), previousVersionPreferences());
        {
            FailingPreferences failing(file(), DefaultsStore::FileStep::open, error);
            Session session(*this);
            EXPECT_TRUE(toastSays(session, notSaved(error)));
            EXPECT_TRUE(session.state->recentFolders().empty());
            EXPECT_TRUE(session.state->presets().empty());
            openAtTheWindow(session);
            typeAt(session, Qt::Key_G, Qt::ControlModifier); // the grid, shown as by default
            EXPECT_TRUE(toastSays(session, notSaved(error)));
            EXPECT_EQ(AtomicFile::read(file()), previousVersionPreferences());
            EXPECT_FALSE(setAside());

            failing.stop();
            typeAt(session, Qt::Key_B, Qt::ControlModifier); // both panels folded away
            expectKeptBut({PreferenceKey::recentFolders, PreferenceKey::lastFolder});
            EXPECT_EQ(onDisk()[std::string(PreferenceKey::rightPanelCollapsed)], true);
        }
        Session restarted(*this);
        EXPECT_EQ(restarted.state->recentFolders(),
                  (std::vector<std::string>{photos().string(), "/photos/2024/京都", "/photos/2023"}));
        EXPECT_EQ(names(restarted.state->presets()), kPresetNames);
        EXPECT_EQ(restarted.state->sortKey(), PhotoSortKey::name);
        EXPECT_FALSE(setAside());
    }
}

// Another running copy fills the preset list to 20.
void fillThePresetsFromAnotherCopy(const fs::path& file) {
    DefaultsStore other(file);
    ParameterPresetStore store(other);
    ParameterPresetManager manager(store, store.load().presets);
    for (int i = 0; manager.presets().size() < ParameterPresetStore::maxPresets; ++i)
        manager.save(fmt::format("別{}", i), PhotoParameters());
}

// Another running copy fills the preset list to 20 before the save sheet opens: the sheet reads
// the list again as it opens, and once it has, it says the list is full and refuses one more name.
TEST_F(PreferencesFailureWindowTest, ASaveSheetSaysTheListAnotherCopyFilledIsFull) {
    Session session(*this);
    openAtTheWindow(session);
    fillThePresetsFromAnotherCopy(file());
    session.state->presentPresetSave();
    written(session);
    auto* sheet =
        dynamic_cast<ParameterPresetSaveSheet*>(session.window->rootView()->selectView()->presetSheet());
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(session.state->presets().size(), ParameterPresetStore::maxPresets);
    sheet->nameField()->setFocus();
    QTest::keyClicks(sheet->nameField(), QStringLiteral("sunset"));
    EXPECT_EQ(sheet->noticeLabel()->text().toStdString(),
              ParameterPresetSaveFormState::noticeText(ParameterPresetSaveFormState::Notice::limitReached));
    EXPECT_FALSE(sheet->saveButton()->isEnabled());
    QTest::keyClick(sheet->nameField(), Qt::Key_Return);
    written(session);
    EXPECT_TRUE(session.state->isPresetSavePresented());
}

// Another running copy fills the preset list to 20 while the save sheet is open: saving one more
// by name and Return closes the sheet, and once the file is written the window says the preset was
// not saved, for the list is full, instead of saying it was saved, and lists the full list.
TEST_F(PreferencesFailureWindowTest, APresetAnotherCopyLeftNoRoomForIsNotSaidSaved) {
    Session session(*this);
    openAtTheWindow(session);
    session.state->presentPresetSave();
    written(session);
    auto* sheet =
        dynamic_cast<ParameterPresetSaveSheet*>(session.window->rootView()->selectView()->presetSheet());
    ASSERT_NE(sheet, nullptr);
    fillThePresetsFromAnotherCopy(file());
    sheet->nameField()->setFocus();
    QTest::keyClicks(sheet->nameField(), QStringLiteral("sunset"));
    ASSERT_TRUE(sheet->saveButton()->isEnabled());
    QTest::keyClick(sheet->nameField(), Qt::Key_Return);
    written(session);
    EXPECT_FALSE(session.state->isPresetSavePresented());
    EXPECT_TRUE(toastSays(session, "プリセット「sunset」を保存できませんでした（プリセットは20個までです）"));
    EXPECT_EQ(session.state->presets().size(), ParameterPresetStore::maxPresets);
    DefaultsStore reread(file());
    EXPECT_EQ(names(session.state->presets()), names(ParameterPresetStore(reread).load().presets));
}

} // namespace
} // namespace sorvin::test
