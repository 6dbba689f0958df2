// A user's steps with the real program while the photo folder, the export's destination and the
// preferences' folder all lie on a share that answers every call late, as a cloud drive or a NAS
// over a slow link does: open the folder through the chooser, heart and develop a photo, save a
// preset and rename it, save one photo with Ctrl+S, choose the export's destination in its chooser
// and export, quit. The window never waits on the share: the main thread makes no call on it, and
// never keeps its event loop from turning for longer than a user notices. Everything is on the
// share afterwards.

#include "program_session.hpp"
#include "support/main_thread_work.hpp"
#include "support/slow_share.hpp"
#include "ui/export/export_sheet.hpp"
#include "ui/panel/panel_button.hpp"
#include "ui/panel/parameter_panel_view.hpp"
#include "ui/panel/parameter_preset_organizer_sheet.hpp"
#include "ui/panel/parameter_preset_save_sheet.hpp"
#include "ui/platform/folder_chooser_dialog.hpp"

#include <QElapsedTimer>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace sorvin::test {
namespace {

using namespace std::chrono_literals;

// Every call on the share takes longer than the main thread may hold the event loop
// (kLongestWorkMilliseconds): one call made there shows.
constexpr auto kLate = 350ms;

QString qPath(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// Text typed as an input method gives it: letters QTest has no key for.
void typeText(QWidget* field, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
    QApplication::sendEvent(field, &press);
}

// Return in a text field, which lets the key go on to its dialog once it has said so.
void pressReturn(QWidget* field) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(field, &press);
}

std::string contentOf(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class SlowShareJourney : public ProgramSession {
protected:
    SlowShareJourney() : share_(root / "server", root / "share"), home_(root / "home", config()) {
        if (!share_.skipReason().empty()) return;
        fs::create_directories(photos());
        fs::create_directories(exports());
        for (const char* name : {"canon_6d_adobergb_gps_lens.jpg", "iceland_srgb_untagged_nikon_d800e.jpg",
                                 "canon_50d_progressive_adobergb_gps_lens.jpg"})
            fs::copy_file(sample(std::string("jpeg/") + name), photos() / name);
    }

    // The server's folders, as the share shows them.
    fs::path photos() const { return root / "share" / "photos"; }
    fs::path exports() const { return root / "share" / "exports"; }
    fs::path config() const { return root / "share" / "config"; }

    // A modal dialog of the kind shown while `open` runs (a dialog's own loop holds the key press
    // that opened it): `drive` gets it once it is up, and must close it.
    template <class Dialog>
    void inDialog(const std::function<void()>& open, const std::function<void(Dialog&)>& drive) {
        bool driven = false;
        QTimer::singleShot(0, [&] {
            Dialog* dialog = nullptr;
            if (waitFor([&] { return (dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())); })) {
                drive(*dialog);
                // A drive that failed leaves no dialog holding the session in its loop.
                if (dialog->isVisible()) {
                    ADD_FAILURE() << "the dialog stayed open";
                    dialog->reject();
                }
            } else {
                ADD_FAILURE() << "the dialog never came";
            }
            driven = true;
        });
        open();
        EXPECT_TRUE(waitFor([&] { return driven; }));
    }

    // A folder typed into a chooser, opened once it answered, and taken.
    void choose(FolderChooserDialog& dialog, const fs::path& folder) {
        dialog.pathField()->setFocus();
        QTest::keyClick(dialog.pathField(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(dialog.pathField(), qPath(folder));
        ASSERT_TRUE(waitFor([&] { return dialog.model().choice().has_value(); })) << "the typed folder answered";
        QTest::keyClick(dialog.pathField(), Qt::Key_Return);
        ASSERT_TRUE(waitFor([&] {
            return dialog.model().folder() == folder &&
                   dialog.model().listingState() == FolderChooserModel::PathState::folder;
        })) << "the folder was listed";
        QTest::keyClick(dialog.pathField(), Qt::Key_Return);
    }

    // The preset menu's item that holds the text, chosen by keys.
    void choosePresetMenuItem(const QString& text) {
        QTimer::singleShot(0, [&] {
            QMenu* menu = nullptr;
            if (!waitFor([&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())); })) {
                ADD_FAILURE() << "the preset menu never opened";
                return;
            }
            for (QAction* action : menu->actions())
                if (action->text().contains(text)) menu->setActiveAction(action);
            pressReturn(menu);
        });
        click(browsing().parameterPanel()->presetButton());
    }

    template <class Sheet>
    Sheet* presetSheet() {
        Sheet* sheet = nullptr;
        EXPECT_TRUE(waitFor([&] {
            sheet = dynamic_cast<Sheet*>(browsing().presetSheet());
            return sheet && sheet->isVisible();
        }));
        return sheet;
    }

    SlowShare share_;
    TemporaryHome home_;
};

TEST_F(SlowShareJourney, TheWindowNeverWaitsOnAShareThatAnswersEveryCallLate) {
    if (!share_.skipReason().empty()) GTEST_SKIP() << share_.skipReason();
    double longest = 0;
    std::vector<SlowShare::Call> onTheMainThread;

    runProgram([&] {
        // The start may read the preferences before the window shows; from here on the share is
        // slow, and what the main thread does is measured.
        share_.answerEachAfter(kLate);
        share_.clearCallLog();
        MainThreadWork work;

        inDialog<FolderChooserDialog>([&] { key(Qt::Key_O, Qt::ControlModifier); },
                                      [&](FolderChooserDialog& dialog) { choose(dialog, photos()); });
        ASSERT_TRUE(waitFor([&] { return state().screen() == AppScreen::select; }));
        ASSERT_TRUE(shown());

        key(Qt::Key_Space);
        key(Qt::Key_A);
        ASSERT_TRUE(shown());

        choosePresetMenuItem(QStringLiteral("保存"));
        auto* save = presetSheet<ParameterPresetSaveSheet>();
        ASSERT_NE(save, nullptr);
        typeText(save->nameField(), QStringLiteral("夕方"));
        pressReturn(save->nameField());
        ASSERT_TRUE(waitFor([&] { return state().presets().size() == 1; }));
        ASSERT_TRUE(backAtTheWindow());

        choosePresetMenuItem(QStringLiteral("整理"));
        auto* organizer = presetSheet<ParameterPresetOrganizerSheet>();
        ASSERT_NE(organizer, nullptr);
        QWidget* row = nullptr;
        for (QWidget* w : organizer->findChildren<QWidget*>())
            if (w->property("presetIndex") == QVariant(0)) row = w;
        ASSERT_NE(row, nullptr);
        QTest::mouseClick(row, Qt::LeftButton);
        QTest::mouseDClick(row, Qt::LeftButton);
        QLineEdit* rename = nullptr;
        ASSERT_TRUE(waitFor([&] { return (rename = organizer->renameField()) && rename->isVisible(); }));
        QTest::keyClick(rename, Qt::Key_A, Qt::ControlModifier);
        typeText(rename, QStringLiteral("夜"));
        pressReturn(rename);
        ASSERT_TRUE(waitFor([&] { return state().presets()[0].name == "夜"; }));
        for (QPushButton* button : organizer->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("閉じる") && button->isVisible()) click(button);
        ASSERT_TRUE(backAtTheWindow());

        // Ctrl+S into the exports folder, typed as a path into the name field.
        inDialog<FolderChooserDialog>([&] { key(Qt::Key_S, Qt::ControlModifier); },
                                      [&](FolderChooserDialog& dialog) {
                                          QLineEdit* name = nullptr;
                                          for (QLineEdit* field : dialog.findChildren<QLineEdit*>())
                                              if (field != dialog.pathField()) name = field;
                                          ASSERT_NE(name, nullptr);
                                          name->setFocus();
                                          QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
                                          QTest::keyClicks(name, qPath(exports() / "one.jpg"));
                                          QTest::keyClick(name, Qt::Key_Return);
                                          ASSERT_TRUE(waitFor([&] { return !dialog.isVisible(); }));
                                      });
        ASSERT_TRUE(waitFor([&] { return !state().isSingleExportInProgress(); }));
        ASSERT_TRUE(backAtTheWindow());

        // The export: its destination through the sheet's chooser, then 書き出す.
        key(Qt::Key_E, Qt::ControlModifier);
        ExportSheet* sheet = nullptr;
        ASSERT_TRUE(waitFor([&] { return (sheet = browsing().exportSheet()) && sheet->isVisible(); }));
        QPushButton* chooser = nullptr;
        for (QPushButton* button : sheet->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("選ぶ…")) chooser = button;
        ASSERT_NE(chooser, nullptr);
        inDialog<FolderChooserDialog>([&] { click(chooser); },
                                      [&](FolderChooserDialog& dialog) { choose(dialog, exports()); });
        ASSERT_TRUE(waitFor([&] { return sheet->exportButton()->isEnabled(); }))
            << sheet->validationLabel()->text().toStdString();
        click(sheet->exportButton());
        QElapsedTimer exporting;
        exporting.start();
        ASSERT_TRUE(waitFor([&] { return sheet->closeButton()->isVisible(); }, 4 * kPatience))
            << sheet->findChild<QLabel*>()->text().toStdString();
        RecordProperty("exportMilliseconds", static_cast<int>(exporting.elapsed()));
        EXPECT_TRUE(sheet->failureTexts().isEmpty()) << sheet->failureTexts().join(' ').toStdString();
        click(sheet->closeButton());
        ASSERT_TRUE(backAtTheWindow());

        longest = work.longestMilliseconds();
        quit();
        for (const SlowShare::Call& call : share_.calls())
            if (call.thread == ::getpid()) onTheMainThread.push_back(call);
    });

    RecordProperty("longestMainThreadMilliseconds", static_cast<int>(longest));
    EXPECT_LT(longest, kLongestWorkMilliseconds) << "the main thread held the event loop";
    EXPECT_TRUE(onTheMainThread.empty()) << onTheMainThread.size() << " calls on the share from the main thread, the first "
                                         << onTheMainThread.front().op << " " << onTheMainThread.front().path;

    // Everything reached the share: the record with its heart, the preset under its new name, the
    // saved photo and the export.
    share_.answerEachAfter(0ms);
    EXPECT_NE(contentOf(photos() / "sorvin.json").find("heart"), std::string::npos);
    bool renamed = false;
    for (const auto& entry : fs::recursive_directory_iterator(config()))
        if (entry.path().filename() == "preferences.json" && contentOf(entry.path()).find("夜") != std::string::npos)
            renamed = true;
    EXPECT_TRUE(renamed) << "the renamed preset is in the preferences";
    EXPECT_FALSE(QImageReader(qPath(exports() / "one.jpg")).read().isNull());
    int exported = 0;
    for (const auto& entry : fs::directory_iterator(exports()))
        if (entry.path().filename() != "one.jpg" && !QImageReader(qPath(entry.path())).read().isNull()) ++exported;
    EXPECT_EQ(exported, 1) << "the hearted photo was exported";
}

} // namespace
} // namespace sorvin::test
