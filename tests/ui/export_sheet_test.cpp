#include "library/photo_library.hpp"
#include "persistence/preference_key.hpp"
#include "platform/output_file.hpp"
#include "shell/quit_confirmation.hpp"
#include "support/breakable_fuse_mount.hpp"
#include "support/folder_mount.hpp"
#include "support/held_mount_questions.hpp"
#include "support/scoped_environment.hpp"
#include "support/share_calls.hpp"
#include "ui/app/menu_bar.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/bottom_bar_view.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/canvas/photo_canvas_view.hpp"
#include "ui/export/export_sheet.hpp"
#include "ui/home/home_view.hpp"
#include "ui/overlays/toast_view.hpp"
#include "ui_test_fixture.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;

class ExportSheetTest : public MainWindowTest {
protected:
    // The export manifests go under the data folder: a temporary one here.
    ExportSheetTest() { environment.set("XDG_DATA_HOME", root / "data"); }

    ScopedEnvironment environment;

    SelectView& view() { return *window().rootView()->selectView(); }
    ExportSheet* sheet() { return view().exportSheet(); }

    void openBrowsing() {
        addStandardPhotos();
        window().resize(1400, 900);
        window().show();
        openPhotos();
    }
    void redraw() {
        QApplication::processEvents();
        queue.runPending();
        QApplication::processEvents();
    }
    // Hearts the current photo and the next one.
    void heartTwo() {
        state().toggleHeart();
        state().move(1);
        state().toggleHeart();
        settle();
    }
    ExportSheet& present() {
        state().presentExport();
        redraw();
        EXPECT_NE(sheet(), nullptr);
        return *sheet();
    }
    // "書き出す" was clicked: the destination's check, waiting on the executor, runs and reports.
    void checkDestination() {
        ASSERT_GE(executor.waiting(), 1u);
        executor.runAll();
        redraw();
    }
    // Ctrl+E, the destination typed and "書き出す" clicked, its check run: the sheet left copying
    // or refusing. `answeredIn` is how long the click took to get that answer.
    ExportSheet& exportTo(const fs::path& destination) {
        press(&window(), Qt::Key_E, Qt::ControlModifier);
        release(&window(), Qt::Key_E, Qt::ControlModifier);
        redraw();
        ExportSheet* s = sheet();
        EXPECT_NE(s, nullptr);
        type(s->destinationField(), QString::fromStdString(destination.string()));
        const auto clicked = std::chrono::steady_clock::now();
        QTest::mouseClick(s->exportButton(), Qt::LeftButton);
        checkDestination();
        answeredIn = std::chrono::steady_clock::now() - clicked;
        return *s;
    }
    std::chrono::steady_clock::duration answeredIn{};
    // The export of the two hearted photos runs to its end: both are written.
    void expectBothExported(ExportSheet& s) {
        settle();
        redraw();
        ASSERT_EQ(s.model().stage, ExportSheetModel::Stage::result);
        EXPECT_TRUE(s.resultTexts().contains(QStringLiteral("書き出し   2枚")));
    }
    // Ctrl+E into a new folder `destination`: the export starts within `answerWithin` of the
    // click, writes both photos and the sheet is closed.
    void expectBothExportedInto(const fs::path& destination, std::chrono::steady_clock::duration answerWithin) {
        fs::create_directories(destination);
        ExportSheet& s = exportTo(destination);
        EXPECT_EQ(s.model().stage, ExportSheetModel::Stage::copying);
        EXPECT_LT(answeredIn, answerWithin);
        ASSERT_NO_FATAL_FAILURE(expectBothExported(s));
        s.closeButton()->click();
        redraw();
    }
    // この写真だけを書き出す (Ctrl+S) into `file`: saved, with no alert.
    void expectThePhotoShownSavedAs(const fs::path& file) {
        activate();
        alerts.shown.clear();
        MainWindowTest::type(&window(), Qt::Key_S, Qt::ControlModifier);
        ASSERT_TRUE(exportPanel.completion) << "the export panel opened";
        const auto saving = std::chrono::steady_clock::now();
        exportPanel.completion(file, SingleExportFormat::jpeg);
        exportPanel.completion = nullptr;
        settle();
        redraw();
        EXPECT_LT(std::chrono::steady_clock::now() - saving, Exporter::kDiskAnswerWait + std::chrono::seconds(5));
        EXPECT_TRUE(alerts.shown.empty());
        EXPECT_TRUE(fs::exists(file));
    }
    // Two hearted photos, exported into a new folder: the sheet is left copying.
    ExportSheet& startExportOfTwo(const fs::path& out) {
        openBrowsing();
        heartTwo();
        fs::create_directories(out);
        ExportSheet& s = present();
        type(s.destinationField(), QString::fromStdString(out.string()));
        s.exportButton()->click();
        checkDestination();
        return s;
    }
    static void type(QLineEdit* field, const QString& text) {
        field->setFocus();
        field->selectAll();
        if (text.isEmpty()) press(field, Qt::Key_Backspace);
        for (const QChar ch : text) {
            QKeyEvent event(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(field, &event);
        }
    }
    static void commit(QLineEdit* field, const QString& text) {
        type(field, text);
        press(field, Qt::Key_Return);
    }
};

TEST_F(ExportSheetTest, TheSheetFollowsTheStateAndEachPresentationStartsAfresh) {
    openBrowsing();
    EXPECT_EQ(sheet(), nullptr);
    ExportSheet& first = present();
    EXPECT_TRUE(first.isVisible());
    EXPECT_TRUE(first.isModal() || first.windowModality() == Qt::WindowModal);
    type(first.destinationField(), QStringLiteral("/somewhere"));
    auto firstToken = first.model().cancellation;

    first.cancelButton()->click();
    EXPECT_FALSE(state().isExportPresented());
    redraw();
    EXPECT_EQ(sheet(), nullptr);

    ExportSheet& second = present();
    EXPECT_TRUE(second.destinationField()->text().isEmpty());
    EXPECT_NE(second.model().cancellation, firstToken);
}

TEST_F(ExportSheetTest, WithoutHeartsNothingCanBeExported) {
    openBrowsing();
    ExportSheet& s = present();
    type(s.destinationField(), QString::fromStdString((root / "out").string()));
    EXPECT_EQ(s.targetLabel()->text(), QStringLiteral("対象: 0枚"));
    EXPECT_FALSE(s.exportButton()->isEnabled());
}

TEST_F(ExportSheetTest, TheExportButtonFollowsThePathAndTheChosenFormats) {
    openBrowsing();
    heartTwo();
    ExportSheet& s = present();
    EXPECT_EQ(s.targetLabel()->text(), QStringLiteral("対象: 2枚"));
    EXPECT_FALSE(s.exportButton()->isEnabled()); // no destination yet
    type(s.destinationField(), QString::fromStdString((root / "out").string()));
    EXPECT_TRUE(s.exportButton()->isEnabled());

    // The formats only apply once they are specified.
    EXPECT_FALSE(s.jpegBox()->isEnabled());
    s.specifyFormatButton()->click();
    EXPECT_TRUE(s.jpegBox()->isEnabled());
    s.jpegBox()->setChecked(false);
    s.heifBox()->setChecked(false);
    EXPECT_FALSE(s.exportButton()->isEnabled());
    EXPECT_FALSE(s.formatNoticeLabel()->isHidden());
    EXPECT_EQ(s.formatNoticeLabel()->text(), QStringLiteral("出力形式を1つ以上選んでください"));
    s.heifBox()->setChecked(true);
    EXPECT_TRUE(s.exportButton()->isEnabled());
    EXPECT_TRUE(s.formatNoticeLabel()->isHidden());
}

TEST_F(ExportSheetTest, TheLongEdgeFieldKeepsOnlyValidNumbersWithinTheRange) {
    openBrowsing();
    ExportSheet& s = present();
    EXPECT_FALSE(s.longEdgeField()->isEnabled());
    s.specifyLongEdgeButton()->click();
    ASSERT_TRUE(s.longEdgeField()->isEnabled());
    const struct {
        const char* typed;
        const char* shown;
    } cases[] = {{"abc", "2048"},    {"+300", "300"},    {"100", "256"},
                 {"20000", "16384"}, {" 3000 ", "3000"}, {"99999999999999999999", "3000"},
                 {"", "3000"}};
    for (const auto& c : cases) {
        commit(s.longEdgeField(), QString::fromUtf8(c.typed));
        EXPECT_EQ(s.longEdgeField()->text(), QString::fromUtf8(c.shown)) << c.typed;
    }
}

TEST_F(ExportSheetTest, AMissingDestinationIsRefusedAndNothingIsStored) {
    openBrowsing();
    heartTwo();
    ExportSheet& s = present();
    EXPECT_TRUE(s.validationLabel()->isHidden());
    type(s.destinationField(), QString::fromStdString((root / "missing").string()));
    s.exportButton()->click();
    checkDestination();
    EXPECT_EQ(s.model().stage, ExportSheetModel::Stage::settings);
    EXPECT_FALSE(s.validationLabel()->isHidden());
    EXPECT_FALSE(s.validationLabel()->text().isEmpty());
    EXPECT_FALSE(defaults.string(PreferenceKey::lastExportFolder).has_value());
    EXPECT_EQ(state().activeExportCancellation(), nullptr);

    // Typing another destination clears the message; "書き出す" checks the new one.
    type(s.destinationField(), QString::fromStdString((root / "missing2").string()));
    EXPECT_TRUE(s.validationLabel()->isHidden());
    s.exportButton()->click();
    checkDestination();
    ASSERT_FALSE(s.validationLabel()->isHidden());

    // Choosing a folder clears the message and remembers the folder at once.
    fs::create_directories(root / "out");
    s.setFolderChooser([this](const fs::path&) { return std::optional<fs::path>(root / "out"); });
    s.chooseDestination();
    EXPECT_TRUE(s.validationLabel()->isHidden());
    EXPECT_EQ(s.destinationField()->text().toStdString(), (root / "out").string());
    EXPECT_EQ(defaults.string(PreferenceKey::lastExportFolder), (root / "out").string());
    // A cancelled chooser changes nothing.
    s.setFolderChooser([](const fs::path&) { return std::optional<fs::path>(); });
    s.chooseDestination();
    EXPECT_EQ(s.destinationField()->text().toStdString(), (root / "out").string());
}

// キャンセル and 書き出す stay under the pointer while a notice comes and goes: the refusal of a
// destination and the notice that no format is chosen.
TEST_F(ExportSheetTest, TheButtonsStayPutWhileNoticesComeAndGo) {
    openBrowsing();
    heartTwo();
    ExportSheet& s = present();
    const auto buttons = [&] {
        redraw();
        return std::pair{s.cancelButton()->mapToGlobal(QPoint()), s.exportButton()->mapToGlobal(QPoint())};
    };
    const auto placed = buttons();
    type(s.destinationField(), QString::fromStdString((root / "missing").string()));
    QTest::mouseClick(s.exportButton(), Qt::LeftButton);
    EXPECT_EQ(buttons(), placed) << "checking";
    checkDestination();
    ASSERT_FALSE(s.validationLabel()->isHidden());
    EXPECT_EQ(buttons(), placed) << "refused";
    type(s.destinationField(), QString::fromStdString((root / "missing2").string()));
    ASSERT_TRUE(s.validationLabel()->isHidden());
    EXPECT_EQ(buttons(), placed) << "refusal gone";

    // On the round mark: the button is as wide as its column.
    QTest::mouseClick(s.specifyFormatButton(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(8, s.specifyFormatButton()->height() / 2));
    for (QCheckBox* box : {s.jpegBox(), s.heifBox()})
        if (box->isChecked()) QTest::mouseClick(box, Qt::LeftButton);
    ASSERT_FALSE(s.formatNoticeLabel()->isHidden());
    EXPECT_EQ(buttons(), placed) << "no format";
    QTest::mouseClick(s.jpegBox(), Qt::LeftButton);
    ASSERT_TRUE(s.formatNoticeLabel()->isHidden());
    EXPECT_EQ(buttons(), placed) << "a format again";
}

TEST_F(ExportSheetTest, TheSheetStaysWithinTheSmallestWindowWithEveryRowShown) {
    // Every notice of the sheet: a lone RAW, a pair shown as RAW, turned and developed photos.
    addPhoto("raw/nikon_d1.nef", "d.nef");
    openBrowsing();
    window().resize(1360, 800);
    const auto key = [this](int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        press(&window(), k, modifiers);
        release(&window(), k, modifiers);
        redraw();
    };
    for (int photo = 0; photo < 5; ++photo) {
        for (const int k : {Qt::Key_Space, Qt::Key_Right, Qt::Key_A, Qt::Key_Tab})
            key(k);
        key(Qt::Key_Down);
    }
    settle();
    key(Qt::Key_E, Qt::ControlModifier);
    ExportSheet* s = sheet();
    ASSERT_NE(s, nullptr);
    type(s->destinationField(), QString::fromStdString((root / "missing").string()));
    QTest::mouseClick(s->exportButton(), Qt::LeftButton);
    checkDestination();
    ASSERT_FALSE(s->validationLabel()->isHidden());
    ASSERT_FALSE(s->formatNoticeLabel()->isHidden());
    ASSERT_EQ(s->targetNoticesLabel()->text().count(u'\n'), 3);
    EXPECT_LE(s->height(), window().height());
    for (QWidget* w :
         {static_cast<QWidget*>(s->validationLabel()), static_cast<QWidget*>(s->targetNoticesLabel()),
          static_cast<QWidget*>(s->exportButton())}) {
        const QRect shown(w->mapTo(s, QPoint(0, 0)), w->size());
        EXPECT_TRUE(s->rect().contains(shown)) << w->metaObject()->className();
    }
}

// A folder inside the photo folder is refused before anything starts, with the same red line
// whether it is typed as it is or reached through another mount of the photo folder.
TEST_F(ExportSheetTest, AFolderInsideThePhotoFolderIsRefusedThroughAMountToo) {
    FuseMirror mirror(photos(), root / "mnt");
    if (!mirror.skipReason().empty()) GTEST_SKIP() << mirror.skipReason();
    openBrowsing();
    heartTwo();
    ExportSheet& s = present();
    const QString refusal = QStringLiteral("書き出し先に元のフォルダの中は指定できません");
    for (const fs::path& inside :
         {photos() / "sub", mirror.path() / "sub", mirror.path() / "sub2" / "deeper"}) {
        fs::create_directories(inside);
        type(s.destinationField(), QString::fromStdString(inside.string()));
        s.exportButton()->click();
        checkDestination();
        EXPECT_EQ(s.model().stage, ExportSheetModel::Stage::settings) << inside;
        ASSERT_FALSE(s.validationLabel()->isHidden()) << inside;
        EXPECT_EQ(s.validationLabel()->text(), refusal) << inside;
        EXPECT_TRUE(fs::is_empty(inside)) << inside;
    }
    EXPECT_EQ(state().activeExportCancellation(), nullptr);
}

// Every file and folder under a photo folder but its record (which an export saves as it starts),
// for "nothing was written there".
std::set<fs::path> everythingUnder(const fs::path& folder) {
    std::set<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().filename() != "sorvin.json") found.insert(entry.path());
    return found;
}

// The subfolders of the photo folder a user may reach through a mount of their own, made there: an
// empty one, one that holds a photo, and one two levels down.
std::vector<fs::path> makeSubfoldersToMount(const fs::path& photos) {
    for (const char* folder : {"exports", "s1", "a/b"})
        fs::create_directories(photos / folder);
    fs::copy_file(sample("jpeg/iphone5_orient3.jpg"), photos / "s1" / "s1.jpg");
    return {"exports", "s1", "a/b"};
}

// A subfolder of the photo folder mounted at a place of its own (a bind mount, bindfs, a share of
// the subfolder) is refused by "書き出す" with the sheet's red line, as the subfolder typed by its
// own path is, and receives nothing; a mount of a folder elsewhere is taken.
TEST_F(ExportSheetTest, ASubfolderOfThePhotoFolderMountedElsewhereGetsTheRedLine) {
    const auto subfolders = makeSubfoldersToMount(photos());
    openBrowsing();
    heartTwo();
    ExportSheet& s = present();
    const auto before = everythingUnder(photos());
    int ran = 0;
    for (const auto kind : {FolderMount::Kind::bind, FolderMount::Kind::fuse})
        for (const fs::path& subfolder : subfolders) {
            SCOPED_TRACE(std::string(FolderMount::nameOf(kind)) + " of " + subfolder.string());
            const FolderMount mount(kind, photos() / subfolder, root / "mnt");
            if (!mount.skipReason().empty()) continue;
            ++ran;
            type(s.destinationField(), QString::fromStdString(mount.path().string()));
            QTest::mouseClick(s.exportButton(), Qt::LeftButton);
            checkDestination();
            EXPECT_EQ(s.model().stage, ExportSheetModel::Stage::settings);
            ASSERT_FALSE(s.validationLabel()->isHidden());
            EXPECT_EQ(s.validationLabel()->text(), QStringLiteral("書き出し先に元のフォルダの中は指定できません"));
            EXPECT_EQ(everythingUnder(photos()), before);
        }
    if (ran == 0) GTEST_SKIP() << "neither a bind nor a FUSE mount can be made here";
    EXPECT_EQ(state().activeExportCancellation(), nullptr);
    EXPECT_FALSE(defaults.string(PreferenceKey::lastExportFolder).has_value());

    // The same kind of mount of a folder elsewhere is a destination like any other.
    fs::create_directories(root / "elsewhere");
    const FolderMount elsewhere(FolderMount::Kind::fuse, root / "elsewhere", root / "mnt");
    if (!elsewhere.skipReason().empty()) return;
    type(s.destinationField(), QString::fromStdString(elsewhere.path().string()));
    QTest::mouseClick(s.exportButton(), Qt::LeftButton);
    checkDestination();
    EXPECT_EQ(s.model().stage, ExportSheetModel::Stage::copying);
    settle();
    EXPECT_FALSE(fs::is_empty(root / "elsewhere"));
    EXPECT_EQ(everythingUnder(photos()), before);
}

// この写真だけを書き出す (Ctrl+S) into the same mounts: the alert says that nothing can be written
// inside the photo folder, and nothing is.
TEST_F(ExportSheetTest, TheOnePhotoExportIntoAMountedSubfolderIsRefused) {
    const auto subfolders = makeSubfoldersToMount(photos());
    openBrowsing();
    activate();
    const auto before = everythingUnder(photos());
    int ran = 0;
    for (const auto kind : {FolderMount::Kind::bind, FolderMount::Kind::fuse})
        for (const fs::path& subfolder : subfolders) {
            SCOPED_TRACE(std::string(FolderMount::nameOf(kind)) + " of " + subfolder.string());
            const FolderMount mount(kind, photos() / subfolder, root / "mnt");
            if (!mount.skipReason().empty()) continue;
            ++ran;
            alerts.shown.clear();
            MainWindowTest::type(&window(), Qt::Key_S, Qt::ControlModifier);
            ASSERT_TRUE(exportPanel.completion) << "the export panel opened";
            exportPanel.completion(mount.path() / "chosen.jpg", SingleExportFormat::jpeg);
            exportPanel.completion = nullptr;
            settle();
            redraw();
            ASSERT_EQ(alerts.shown.size(), 1u);
            EXPECT_EQ(alerts.shown[0].second, "元の写真フォルダの中には書き出せません");
            EXPECT_EQ(everythingUnder(photos()), before);
        }
    if (ran == 0) GTEST_SKIP() << "neither a bind nor a FUSE mount can be made here";
}

// The check of the destination reads every photo folder, which on a slow share takes seconds: it
// runs off the main thread while the sheet says that it checks, takes no second click, and lets
// the user leave; a check that ends after the sheet has gone starts nothing.
TEST_F(ExportSheetTest, TheDestinationIsCheckedInTheBackgroundWhileTheSheetSaysSo) {
    openBrowsing();
    heartTwo();
    const fs::path out = root / "out";
    fs::create_directories(out);
    ExportSheet& s = present();
    type(s.destinationField(), QString::fromStdString((root / "missing").string()));
    const std::size_t waiting = executor.waiting();
    QTest::mouseClick(s.exportButton(), Qt::LeftButton);
    redraw();
    ASSERT_EQ(executor.waiting(), waiting + 1) << "the check waits on the executor";
    EXPECT_EQ(s.model().stage, ExportSheetModel::Stage::settings);
    ASSERT_FALSE(s.validationLabel()->isHidden());
    EXPECT_EQ(s.validationLabel()->text(), QStringLiteral("書き出し先を確かめています…"));
    EXPECT_FALSE(s.exportButton()->isEnabled());
    EXPECT_FALSE(s.destinationField()->isEnabled());
    EXPECT_TRUE(s.cancelButton()->isEnabled());
    QTest::mouseClick(s.exportButton(), Qt::LeftButton);
    EXPECT_EQ(executor.waiting(), waiting + 1) << "a second click starts no second check";

    // The refusal replaces the line, and the settings can be changed again.
    checkDestination();
    EXPECT_EQ(s.validationLabel()->text(), QStringLiteral("書き出し先のフォルダが見つかりません"));
    EXPECT_TRUE(s.destinationField()->isEnabled());
    type(s.destinationField(), QString::fromStdString(out.string()));
    ASSERT_TRUE(s.exportButton()->isEnabled());

    // Leaving while the folder is checked: the check's end starts nothing.
    QTest::mouseClick(s.exportButton(), Qt::LeftButton);
    QTest::mouseClick(s.cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(state().isExportPresented());
    redraw();
    EXPECT_EQ(sheet(), nullptr);
    settle();
    EXPECT_EQ(state().activeExportCancellation(), nullptr);
    EXPECT_FALSE(defaults.string(PreferenceKey::lastExportFolder).has_value());
    EXPECT_TRUE(fs::is_empty(out));
}

// A share of a disk of its own inside the photo folder stops answering (its FUSE process stopped):
// Ctrl+E, a folder on the local disk and "書き出す" still start the export at once, and it ends
// with both photos written. The folder the share shows cannot be checked: the export starts once
// the share has left its question unanswered for the wait, and the sheet names the share, in
// orange, while it copies and with its result; nothing waits for the share to come back.
TEST_F(ExportSheetTest, AShareThatStopsAnsweringInsideThePhotoFolderHoldsUpNoExportElsewhere) {
    using namespace std::chrono_literals;
    TemporaryFolder otherDisk("/dev/shm");
    struct stat here {}, other {};
    if (::stat(root.path().c_str(), &here) != 0 || ::stat(otherDisk.path().c_str(), &other) != 0 ||
        here.st_dev == other.st_dev)
        GTEST_SKIP() << "no second disk (/dev/shm) here";
    fs::create_directories(otherDisk / "nas");
    BreakableFuseMount nas(otherDisk / "nas", photos() / "nas");
    if (!nas.skipReason().empty()) GTEST_SKIP() << nas.skipReason();
    openBrowsing();
    heartTwo();
    nas.stall(30s);

    ASSERT_NO_FATAL_FAILURE(expectBothExportedInto(root / "out", 1s));

    ExportSheet& shown = exportTo(otherDisk / "nas");
    EXPECT_EQ(shown.model().stage, ExportSheetModel::Stage::copying);
    EXPECT_LT(answeredIn, Exporter::kDiskAnswerWait + 5s);
    const QString note =
        QStringLiteral("元のフォルダの中の nas が応答しないため、書き出し先がその中でないことを確かめられませんでした");
    EXPECT_FALSE(shown.uncheckedMountsLabel()->isHidden());
    EXPECT_EQ(shown.uncheckedMountsLabel()->text(), note);
    ASSERT_NO_FATAL_FAILURE(expectBothExported(shown));
    EXPECT_FALSE(shown.uncheckedMountsLabel()->isHidden());
    EXPECT_FALSE(nas.resumedByWatchdog()) << "the window waited on the stalled share";
    nas.resume();
}

// A mount inside the photo folder that may show any local folder, asked through a seam that
// answers each question in 2 s, then not at all: Ctrl+E, a local folder and "書き出す" start the
// export once the slow mount has answered, or the silent one has left a question unanswered for the
// wait, the sheet names the silent mount it could not ask, and both photos are written; Ctrl+S
// saves into the same folder. The folder the slow mount shows is still refused, in red.
TEST_F(ExportSheetTest, ASlowOrSilentMountInsideThePhotoFolderLetsALocalExportStart) {
    using namespace std::chrono_literals;
    using Held = HeldMountQuestions;
    fs::create_directories(root / "shared" / "2023");
    fs::create_directories(root / "shared" / "2024");
    const FolderMount nas(FolderMount::Kind::fuse, root / "shared", photos() / "nas");
    if (!nas.skipReason().empty()) GTEST_SKIP() << nas.skipReason();
    openBrowsing();
    heartTwo();
    int out = 0;
    for (const auto kind : {Held::Kind::slow, Held::Kind::silent}) {
        SCOPED_TRACE(kind == Held::Kind::slow ? "slow" : "silent");
        const Held held(photos() / "nas", kind, 2s);
        if (kind == Held::Kind::slow) {
            ExportSheet& refused = exportTo(root / "shared");
            EXPECT_EQ(refused.model().stage, ExportSheetModel::Stage::settings);
            EXPECT_EQ(refused.validationLabel()->text(), QStringLiteral("書き出し先に元のフォルダの中は指定できません"));
            refused.cancelButton()->click();
            redraw();
        }
        const fs::path local = root / ("out" + std::to_string(++out));
        fs::create_directories(local);
        ExportSheet& s = exportTo(local);
        EXPECT_LT(answeredIn, Exporter::kDiskAnswerWait + 5s);
        EXPECT_EQ(s.model().stage, ExportSheetModel::Stage::copying);
        // The slow mount answers: it is not named.
        EXPECT_EQ(s.uncheckedMountsLabel()->text().contains(QStringLiteral("nas が応答しない")),
                  kind == Held::Kind::silent);
        EXPECT_EQ(s.uncheckedMountsLabel()->isHidden(), kind == Held::Kind::slow);
        ASSERT_NO_FATAL_FAILURE(expectBothExported(s));
        s.closeButton()->click();
        redraw();
        ASSERT_NO_FATAL_FAILURE(expectThePhotoShownSavedAs(local / "chosen.jpg"));
    }
}

// A real FUSE mount inside the photo folder, showing a folder of the same disk, answers every call
// a second late, as a share that wakes for each does: Ctrl+E, a local folder and "書き出す" start
// the export within seconds and both photos are written, Ctrl+S saves into the same folder, and the
// folder the mount shows is still refused, in red, since the mount does answer.
TEST_F(ExportSheetTest, AMountThatAnswersLateInsideThePhotoFolderLetsALocalExportStart) {
    using namespace std::chrono_literals;
    fs::create_directories(root / "shared" / "2023");
    BreakableFuseMount nas(root / "shared", photos() / "nas");
    if (!nas.skipReason().empty()) GTEST_SKIP() << nas.skipReason();
    openBrowsing();
    heartTwo();
    nas.answerLate(1s);

    ASSERT_NO_FATAL_FAILURE(expectBothExportedInto(root / "out", 5s));
    ASSERT_NO_FATAL_FAILURE(expectThePhotoShownSavedAs(root / "out" / "chosen.jpg"));

    ExportSheet& refused = exportTo(root / "shared" / "2023");
    EXPECT_EQ(refused.model().stage, ExportSheetModel::Stage::settings);
    EXPECT_EQ(refused.validationLabel()->text(), QStringLiteral("書き出し先に元のフォルダの中は指定できません"));
    refused.cancelButton()->click();
    redraw();
    nas.resume();
}

// Ctrl+E, originals on, a folder on a share whose calls it logs, and "書き出す": the sheet's check
// is the only one of the destination (one check file is made in it, none in the originals folder
// the export makes), and both photos are written, with their originals.
TEST_F(ExportSheetTest, TheDestinationIsCheckedOnceForAnExport) {
    fs::create_directories(root / "far" / "out");
    SlowShare share(root / "far", root / "share");
    if (!share.skipReason().empty()) GTEST_SKIP() << share.skipReason();
    openBrowsing();
    heartTwo();
    defaults.set(PreferenceKey::saveOriginals, true);
    share.clearCallLog();
    ExportSheet& s = exportTo(share.path() / "out");
    ASSERT_EQ(s.model().stage, ExportSheetModel::Stage::copying);
    ASSERT_NO_FATAL_FAILURE(expectBothExported(s));
    EXPECT_EQ(filesMadeOn(share, "folder-check"), 1);
    EXPECT_FALSE(fs::is_empty(root / "far" / "out" / "originals"));
}

TEST_F(ExportSheetTest, AnExportRunsInTheBackgroundAndShowsItsResult) {
    const fs::path out = root / "out";
    ExportSheet& s = startExportOfTwo(out);

    // Copying: the export waits on the executor; the sheet cannot be dismissed.
    EXPECT_EQ(s.model().stage, ExportSheetModel::Stage::copying);
    EXPECT_TRUE(s.progressBar()->isVisible());
    EXPECT_EQ(s.progressLabel()->text(), QStringLiteral("0 / 2"));
    EXPECT_EQ(state().activeExportCancellation(), s.model().cancellation);
    press(&s, Qt::Key_Escape);
    s.close();
    EXPECT_TRUE(state().isExportPresented());
    EXPECT_TRUE(s.isVisible());

    settle();
    redraw();
    ASSERT_EQ(s.model().stage, ExportSheetModel::Stage::result);
    EXPECT_EQ(state().activeExportCancellation(), nullptr);
    const QStringList texts = s.resultTexts();
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_EQ(texts.first(), QStringLiteral("書き出しが終わりました"));
    EXPECT_TRUE(texts.contains(QStringLiteral("書き出し   2枚")));
    EXPECT_EQ(texts.last(), QStringLiteral("書き出し先: ") + QString::fromStdString(out.string()));
    EXPECT_TRUE(s.failureTexts().isEmpty());
    int written = 0;
    for (const auto& entry : fs::directory_iterator(out))
        written += entry.path().extension() == ".jpg";
    EXPECT_EQ(written, 2);
    // The settings are remembered for the next export.
    EXPECT_EQ(defaults.string(PreferenceKey::lastExportFolder), out.string());

    s.closeButton()->click();
    EXPECT_FALSE(state().isExportPresented());
}

// "書き出し先を開く" hands the destination to the desktop and the sheet stays; where no program
// can show the folder, the user is told so in a toast beside the sheet, and nothing is printed.
TEST_F(ExportSheetTest, OpeningTheDestinationTellsTheUserWhenNoProgramCanShowIt) {
    const fs::path out = root / "out";
    ExportSheet& s = startExportOfTwo(out);
    settle();
    redraw();
    ASSERT_EQ(s.model().stage, ExportSheetModel::Stage::result);
    QPushButton* open = s.openDestinationButton();
    ASSERT_TRUE(open->isVisible());
    const ToastView* toast = window().rootView()->toastView();

    QTest::mouseClick(open, Qt::LeftButton);
    ASSERT_EQ(folderOpener.folders, std::vector<fs::path>{out});
    folderOpener.finish(true);
    redraw();
    EXPECT_NE(toast->text(), QStringLiteral("書き出し先を開けませんでした"));

    QTest::mouseClick(open, Qt::LeftButton);
    ASSERT_EQ(folderOpener.folders.size(), 2u);
    folderOpener.finish(false);
    redraw();
    EXPECT_EQ(toast->text(), QStringLiteral("書き出し先を開けませんでした"));
    EXPECT_TRUE(toast->capsule()->isVisible());
    EXPECT_EQ(toast->opacity(), 1.0);
    const QRect capsule(toast->capsule()->mapToGlobal(QPoint(0, 0)), toast->capsule()->size());
    EXPECT_FALSE(s.frameGeometry().intersects(capsule)) << "the sheet hides the toast";
    EXPECT_TRUE(s.isVisible());
    EXPECT_TRUE(state().isExportPresented());
}

// Once the result shows, the sheet no longer holds the window: the menus and Ctrl+Q quit as usual
// (asking first), Ctrl+Q also from the sheet, which keeps the keyboard; Esc still closes it and
// the window has the keyboard again.
TEST_F(ExportSheetTest, AtTheResultTheProgramQuitsAsUsual) {
    int asked = 0;
    delegate().confirmQuit = [&asked](QWidget*, const QuitConfirmation&) {
        ++asked;
        return false;
    };
    ExportSheet& s = startExportOfTwo(root / "out");
    settle();
    redraw();
    ASSERT_EQ(s.model().stage, ExportSheetModel::Stage::result);
    EXPECT_TRUE(s.isVisible());
    EXPECT_EQ(QGuiApplication::focusWindow(), s.windowHandle()) << "the sheet keeps the keyboard";

    MainWindowTest::type(&s, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(asked, 1);
    // The menu, as the pointer opens it: a window that a sheet blocks takes no clicks.
    QMenuBar* bar = window().menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(bar->actions().first()).center());
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QAction* quit = window().menus()->action(MenuCommand::quit);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(quit).center());
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(s.isVisible());

    MainWindowTest::type(&s, Qt::Key_Escape);
    EXPECT_FALSE(state().isExportPresented());
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), &window());
}

TEST_F(ExportSheetTest, CancellingStopsTheExportAndSaysSo) {
    const fs::path out = root / "out";
    ExportSheet& s = startExportOfTwo(out);
    ASSERT_EQ(s.model().stage, ExportSheetModel::Stage::copying);
    s.stopButton()->click();
    // The stage moves on only when the export returns.
    EXPECT_EQ(s.model().stage, ExportSheetModel::Stage::copying);
    settle();
    redraw();
    ASSERT_EQ(s.model().stage, ExportSheetModel::Stage::result);
    ASSERT_FALSE(s.resultTexts().isEmpty());
    EXPECT_EQ(s.resultTexts().first(), QStringLiteral("書き出しを中断しました"));
}

// キャンセル while a share that stopped answering holds the file being written: the click is taken
// at once, the window never waiting on the share (its stop would end by itself otherwise), and the
// sheet says that the export stops, with no second キャンセル to offer. Once the share answers
// again the write returns, the sheet shows the export cancelled, and the file is gone.
// The photo folder is a mount of its own, which stops as the export is about to create its first
// file: the export thread then waits in the middle of copying the photo into that file, its
// destination answering, until the destination's share stops too.
TEST_F(ExportSheetTest, ACancelWhileAStoppedShareHoldsTheWriteIsTakenAtOnce) {
    using namespace std::chrono_literals;
    fs::create_directories(root / "card");
    fs::create_directories(root / "nas-disk");
    BreakableFuseMount card(root / "card", photos());
    if (!card.skipReason().empty()) GTEST_SKIP() << card.skipReason();
    BreakableFuseMount nas(root / "nas-disk", root / "nas");
    if (!nas.skipReason().empty()) GTEST_SKIP() << nas.skipReason();
    const fs::path out = nas.path() / "out";
    ExportSheet& s = startExportOfTwo(out);
    ASSERT_EQ(s.model().stage, ExportSheetModel::Stage::copying);
    // The folder's record is saved as the export starts; the export waits last.
    ASSERT_GE(executor.waiting(), 1u);
    while (executor.waiting() > 1) executor.runAt(0);
    std::atomic<bool> cardStopped = false;
    OutputFile::setNameRefusalForTesting([&](const fs::path&) {
        if (!cardStopped.exchange(true)) card.stall(30s);
        return std::error_code();
    });
    const std::shared_ptr<void> noMoreRefusals(nullptr, [](void*) { OutputFile::setNameRefusalForTesting({}); });
    std::thread exporting(executor.take(0).task);
    std::shared_ptr<void> exported(nullptr, [&](void*) {
        nas.resume();
        card.resume();
        if (exporting.joinable()) exporting.join();
    });
    const ExportCancellationToken& token = *s.model().cancellation;
    for (int wait = 0; wait < 30'000 && !token.currentOutput(); ++wait)
        std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(token.currentOutput().has_value()) << "no file was being written";
    nas.stall(30s);

    QTest::mouseClick(s.stopButton(), Qt::LeftButton);
    EXPECT_FALSE(nas.resumedByWatchdog()) << "the window waited on the stopped share";
    EXPECT_EQ(s.model().stage, ExportSheetModel::Stage::copying);
    EXPECT_EQ(s.copyingTitleLabel()->text(), QStringLiteral("書き出しを中断しています…"));
    EXPECT_FALSE(s.stopButton()->isEnabled());

    exported.reset(); // both shares answer again, and the export returns
    settle();
    redraw();
    ASSERT_EQ(s.model().stage, ExportSheetModel::Stage::result);
    EXPECT_EQ(s.resultTexts().first(), QStringLiteral("書き出しを中断しました"));
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(out)) left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{}) << "the file being written stayed";
}

// Panasonic's RW2 (its data at RawDataOffset, no strip stated) and the Sony DSLR-A100's ARW (its
// data's offset in tag 0x14A), opened with Ctrl+O: both are listed with no word of unreadable files,
// each shows its picture, and both export, through the sheet and one at a time.
TEST_F(ExportSheetTest, RawFilesWhoseDataTheirMakersOwnTagsLocateAreListedShownAndExported) {
    addPhoto("raw/constructed_panasonic_rw2_gf1_layout.rw2", "gf1.rw2");
    addPhoto("raw/constructed_sony_a100_layout_small.arw", "a100.arw");
    window().resize(1400, 900);
    window().show();
    activate();
    folderPanel.answer = photos();
    const auto key = [this](Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        MainWindowTest::type(&window(), k, modifiers);
        settle();
        redraw();
    };
    key(Qt::Key_O, Qt::ControlModifier);
    ASSERT_TRUE(view().isVisible());
    const QString toast = window().rootView()->toastView()->text();
    EXPECT_FALSE(toast.contains(QStringLiteral("読み込めませんでした"))) << toast.toStdString();
    ASSERT_EQ(state().library()->visiblePhotos().size(), 2u);

    for (const std::string name : {"a100.arw", "gf1.rw2"}) { // oldest first
        SCOPED_TRACE(name);
        ASSERT_EQ(currentPath(), name);
        const PhotoCanvasModel& canvas = static_cast<PhotoCanvasView*>(view().photoCanvas())->model();
        ASSERT_TRUE(canvas.displayImage);
        EXPECT_FALSE(canvas.showsFailureNote);
        EXPECT_GT(canvas.displayImage->width(), 100);
        key(Qt::Key_Space); // a heart
        key(Qt::Key_Down);
    }

    const fs::path out = root / "out";
    fs::create_directories(out);
    key(Qt::Key_E, Qt::ControlModifier);
    ExportSheet* sheet = view().exportSheet();
    ASSERT_NE(sheet, nullptr);
    type(sheet->destinationField(), QString::fromStdString(out.string()));
    QTest::mouseClick(sheet->exportButton(), Qt::LeftButton);
    settle();
    redraw();
    EXPECT_TRUE(sheet->resultTexts().contains(QStringLiteral("書き出し   2枚")))
        << sheet->resultTexts().join(u'|').toStdString();
    EXPECT_TRUE(sheet->failureTexts().isEmpty()) << sheet->failureTexts().join(u'|').toStdString();
    EXPECT_TRUE(fs::exists(out / "a100.jpg"));
    EXPECT_TRUE(fs::exists(out / "gf1.jpg"));
    QTest::mouseClick(sheet->closeButton(), Qt::LeftButton);
    redraw();

    // The photo on screen, on its own.
    ASSERT_EQ(currentPath(), "gf1.rw2");
    QTest::mouseClick(view().bottomBar()->singleExportButton(), Qt::LeftButton);
    ASSERT_TRUE(exportPanel.completion);
    exportPanel.completion(out / "one", SingleExportFormat::jpeg);
    settle();
    redraw();
    EXPECT_TRUE(fs::exists(out / "one.jpg"));
    EXPECT_TRUE(alerts.shown.empty()) << alerts.shown.front().first << " " << alerts.shown.front().second;
}

// Two cards of one camera give two photos of one name: read with the subfolders, hearted and
// exported with 上書きする and 元データも保存する, each keeps its own output and its own original's
// copy, and the result counts what is on disk. A second export adds nothing.
TEST_F(ExportSheetTest, PhotosOfOneNameFromTwoSubfoldersAreBothKeptWhenOverwriting) {
    for (const std::string day : {"day1", "day2"})
        fs::create_directories(photos() / day);
    addPhoto("jpeg/nikon_d70s_gps_lens.jpg", "day1/DSC_0001.jpg");
    addPhoto("jpeg/canon_6d_adobergb_gps_lens.jpg", "day2/DSC_0001.jpg");
    window().resize(1400, 900);
    window().show();
    activate();
    const auto key = [this](Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        MainWindowTest::type(&window(), k, modifiers);
        settle();
        redraw();
    };
    QCheckBox* subfolders = window().rootView()->homeView()->subfoldersBox();
    if (!subfolders->isChecked()) QTest::mouseClick(subfolders, Qt::LeftButton);
    ASSERT_TRUE(state().includeSubfolders());
    folderPanel.answer = photos();
    key(Qt::Key_O, Qt::ControlModifier);
    ASSERT_TRUE(view().isVisible());
    ASSERT_EQ(state().library()->visiblePhotos().size(), 2u);
    for (int i = 0; i < 2; ++i) {
        key(Qt::Key_Space); // a heart
        key(Qt::Key_Down);
    }

    const fs::path out = root / "out";
    fs::create_directories(out);
    std::ofstream(out / "DSC_0001.jpg") << "an earlier export's";
    const auto exportOnce = [&] {
        key(Qt::Key_E, Qt::ControlModifier);
        ExportSheet* sheet = view().exportSheet();
        EXPECT_NE(sheet, nullptr);
        for (QRadioButton* button : sheet->findChildren<QRadioButton*>())
            if (button->text() == QStringLiteral("上書きする")) QTest::mouseClick(button, Qt::LeftButton);
        QCheckBox* originals = sheet->saveOriginalsBox();
        if (!originals->isChecked()) // on its box, at the row's start
            QTest::mouseClick(originals, Qt::LeftButton, {}, QPoint(8, originals->height() / 2));
        EXPECT_TRUE(originals->isChecked());
        type(sheet->destinationField(), QString::fromStdString(out.string()));
        QTest::mouseClick(sheet->exportButton(), Qt::LeftButton);
        settle();
        redraw();
        EXPECT_TRUE(sheet->failureTexts().isEmpty()) << sheet->failureTexts().join(u'|').toStdString();
        const QStringList texts = sheet->resultTexts();
        QTest::mouseClick(sheet->closeButton(), Qt::LeftButton);
        redraw();
        return texts;
    };
    const QStringList first = exportOnce();
    for (const char* line : {"書き出し   2枚", "上書き    1枚", "出力ファイル   2個", "別名     1枚    DSC_0001-1.jpg",
                             "元データ  2枚    originals フォルダ"})
        EXPECT_TRUE(first.contains(QString::fromUtf8(line))) << line << ": " << first.join(u'|').toStdString();
    const auto bytesOf = [](const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::set<std::string> both{bytesOf(photos() / "day1" / "DSC_0001.jpg"),
                                     bytesOf(photos() / "day2" / "DSC_0001.jpg")};
    for (const fs::path& folder : {out, out / "originals"})
        EXPECT_EQ((std::set<std::string>{bytesOf(folder / "DSC_0001.jpg"), bytesOf(folder / "DSC_0001-1.jpg")}),
                  both)
            << folder;
    const auto filesIn = [](const fs::path& folder) {
        return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
    };
    EXPECT_EQ(filesIn(out), 3); // two photos and originals
    EXPECT_EQ(filesIn(out / "originals"), 2);

    const QStringList second = exportOnce();
    for (const char* line : {"書き出し   0枚", "スキップ  2枚    前回から変更なし", "元データ  0枚    originals フォルダ"})
        EXPECT_TRUE(second.contains(QString::fromUtf8(line))) << line << ": " << second.join(u'|').toStdString();
    EXPECT_EQ(filesIn(out), 3);
    EXPECT_EQ(filesIn(out / "originals"), 2);
}

} // namespace
} // namespace sorvin::test
