#include "ui/platform/qt_single_export_panel.hpp"

#include "export/exporter_destination.hpp"
#include "support/manual_main_queue.hpp"
#include "support/scripted_mount_watch.hpp"
#include "ui/platform/folder_chooser_dialog.hpp"
#include "ui_test_fixture.hpp"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>
#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <vector>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;

// How long the panel waits for the disk's answer about a typed path, in seconds.
const double kSaveCheckWait = std::chrono::duration<double>(Exporter::kFolderAnswerWait).count();

// The panel over a probe whose workers the test runs, so that the disk answers when the test
// says, or never.
class QtSingleExportPanelTest : public ::testing::Test {
protected:
    QtSingleExportPanelTest() {
        application();
        panel.setMountWatch(&mounts);
    }
    // A test that stopped midway may leave panels open, the one it opened last or one before it,
    // perhaps asking: they go now, before the probe, the executor and the mounts they use, and
    // never reach a later test.
    ~QtSingleExportPanelTest() override {
        std::vector<QPointer<FolderChooserDialog>> left;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<FolderChooserDialog*>(window)) left.emplace_back(dialog);
        for (const QPointer<FolderChooserDialog>& dialog : left) {
            if (dialog && dialog->isVisible()) dialog->reject();
            delete dialog.data();
        }
    }

    void present(SingleExportFormat format) {
        SingleExportPanelOptions options;
        options.proposedName = format == SingleExportFormat::heic ? "DSC_0001.heic" : "DSC_0001.jpg";
        options.startFolder = folder.path();
        options.format = format;
        panel.present(
            options, [this](SingleExportFormat f) { reported.push_back(f); },
            [this](std::optional<fs::path> file, SingleExportFormat f) {
                closedWith = file;
                closedFormat = f;
                closed = true;
            });
        ASSERT_NE(panel.activeDialog(), nullptr);
        // The dialog has the keyboard, as the window the user works in.
        panel.activeDialog()->activateWindow();
        settle();
    }
    // The disk answers every question out, and the panel shows it.
    void settle() {
        for (int round = 0; round < 100; ++round) {
            QApplication::processEvents();
            if (executor.waiting() == 0 && queue.pendingCount() == 0) break;
            executor.runAll();
            queue.runPending();
        }
        QApplication::processEvents();
    }
    QString typedName() const { return panel.nameField() ? panel.nameField()->text() : QString(); }
    QRadioButton* button(SingleExportFormat format) const { return panel.formatButton(format); }
    // Replaces the typed name as the user does: all of it selected, then typed over.
    void typeName(const QString& name) const {
        QLineEdit* field = panel.nameField();
        field->setFocus();
        field->selectAll();
        if (name.isEmpty())
            QTest::keyClick(field, Qt::Key_Backspace);
        else
            QTest::keyClicks(field, name);
    }
    // Return in the name field, and the disk answers what it was asked.
    void pressEnter() {
        QTest::keyClick(panel.nameField(), Qt::Key_Return);
        settle();
    }
    QString problem() const {
        QLabel* label = panel.problemLabel();
        return label && label->isVisibleTo(panel.activeDialog()) ? label->text() : QString();
    }
    void expectClosedWith(const fs::path& file, SingleExportFormat format) {
        ASSERT_TRUE(closed);
        ASSERT_TRUE(closedWith.has_value());
        EXPECT_EQ(*closedWith, file);
        EXPECT_EQ(closedFormat, format);
        closed = false;
        closedWith.reset();
    }

    TemporaryFolder folder;
    ManualMainQueue queue;
    ManualExecutor executor;
    ScriptedMountWatch mounts;
    QtSingleExportPanel panel{queue, executor};
    std::vector<SingleExportFormat> reported;
    std::optional<fs::path> closedWith;
    SingleExportFormat closedFormat = SingleExportFormat::jpeg;
    bool closed = false;
};

TEST_F(QtSingleExportPanelTest, TheInitialFormatShowsWithoutAReport) {
    present(SingleExportFormat::heic);
    EXPECT_TRUE(button(SingleExportFormat::heic)->isChecked());
    EXPECT_FALSE(button(SingleExportFormat::jpeg)->isChecked());
    EXPECT_TRUE(reported.empty());
    EXPECT_EQ(panel.activeDialog()->chooseButton()->text(), QStringLiteral("書き出す"));
}

TEST_F(QtSingleExportPanelTest, EveryClickIsReportedAndSwapsTheExtension) {
    present(SingleExportFormat::jpeg);
    EXPECT_EQ(typedName(), QStringLiteral("DSC_0001.jpg"));
    button(SingleExportFormat::heic)->click();
    EXPECT_EQ(typedName(), QStringLiteral("DSC_0001.heic"));
    EXPECT_TRUE(button(SingleExportFormat::heic)->isChecked());
    EXPECT_FALSE(button(SingleExportFormat::jpeg)->isChecked());
    button(SingleExportFormat::jpeg)->click();
    // A click on the format already chosen is reported too, and leaves it chosen.
    button(SingleExportFormat::jpeg)->click();
    EXPECT_TRUE(button(SingleExportFormat::jpeg)->isChecked());
    EXPECT_EQ(typedName(), QStringLiteral("DSC_0001.jpg"));
    EXPECT_EQ(reported,
              (std::vector{SingleExportFormat::heic, SingleExportFormat::jpeg, SingleExportFormat::jpeg}));
}

// A switch of format replaces only the endings .jpeg .jpg .heic .heif .hif of the typed name;
// every other name is kept whole and gets the extension, also when it has dots of its own. The
// file is written under the name shown.
TEST_F(QtSingleExportPanelTest, ASwitchOfFormatKeepsTheTypedNameWhole) {
    struct Case {
        const char* typed;
        SingleExportFormat chosen;
        const char* shown;
    };
    for (const Case& c : {Case{"photo.JPEG", SingleExportFormat::heic, "photo.heic"},
                          Case{"photo.tiff", SingleExportFormat::jpeg, "photo.tiff.jpg"},
                          Case{"trip.v2", SingleExportFormat::jpeg, "trip.v2.jpg"},
                          Case{"2024.06.01", SingleExportFormat::heic, "2024.06.01.heic"},
                          Case{"shot.hif", SingleExportFormat::jpeg, "shot.jpg"}}) {
        present(SingleExportFormat::jpeg);
        typeName(QString::fromUtf8(c.typed));
        QTest::mouseClick(button(c.chosen), Qt::LeftButton);
        EXPECT_EQ(typedName(), QString::fromUtf8(c.shown)) << c.typed;
        pressEnter();
        expectClosedWith(folder.path() / c.shown, c.chosen);
    }
}

// キャンセル reports no file and the format chosen last; 書き出す the proposed name in the
// folder shown.
TEST_F(QtSingleExportPanelTest, ClosingReportsTheFileAndTheLastFormat) {
    present(SingleExportFormat::jpeg);
    button(SingleExportFormat::heic)->click();
    QTest::mouseClick(panel.activeDialog()->cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(closed);
    EXPECT_FALSE(closedWith.has_value());
    EXPECT_EQ(closedFormat, SingleExportFormat::heic);

    closed = false;
    present(SingleExportFormat::jpeg);
    QTest::mouseClick(panel.activeDialog()->chooseButton(), Qt::LeftButton);
    settle();
    expectClosedWith(folder.path() / "DSC_0001.jpg", SingleExportFormat::jpeg);
}

// A name that is empty without its extension is refused under the field, the dialog staying open;
// a format switch leaves an emptied name empty. A name ending in a format's extension is written
// in that format, any other gets the chosen format's extension.
TEST_F(QtSingleExportPanelTest, TheNameIsRefusedWhenEmptyAndAgreesWithTheData) {
    present(SingleExportFormat::jpeg);
    typeName(QString());
    button(SingleExportFormat::heic)->click();
    EXPECT_EQ(typedName(), QString());
    typeName(QStringLiteral(".heic"));
    pressEnter();
    EXPECT_FALSE(closed);
    EXPECT_EQ(problem(), QStringLiteral("ファイル名を入力してください"));
    typeName(QStringLiteral("trip"));
    EXPECT_EQ(problem(), QString()) << "gone once the name is typed again";
    pressEnter();
    expectClosedWith(folder.path() / "trip.heic", SingleExportFormat::heic);

    struct Case {
        const char* typed;
        SingleExportFormat chosen;
        const char* written;
        SingleExportFormat format;
    };
    for (const Case& c :
         {Case{"x.heic", SingleExportFormat::jpeg, "x.heic", SingleExportFormat::heic},
          Case{"x.JPG", SingleExportFormat::heic, "x.JPG", SingleExportFormat::jpeg},
          Case{"photo.tiff", SingleExportFormat::heic, "photo.tiff.heic", SingleExportFormat::heic}}) {
        present(c.chosen);
        typeName(QString::fromUtf8(c.typed));
        pressEnter();
        expectClosedWith(folder.path() / c.written, c.format);
    }
}

// A typed folder, with or without its slash, by its whole path or by its name in the folder shown,
// opens that folder, with the proposed name back in the field; it is never written as a file
// beside itself. A typed path the disk does not answer about keeps the panel open, saying so, and
// its late answer changes nothing.
TEST_F(QtSingleExportPanelTest, ATypedFolderOpensThatFolder) {
    const fs::path trip = folder.path() / "trip";
    fs::create_directories(trip / "day1");
    for (const QString& typed : {QString::fromStdString(trip.string()), QString::fromStdString(trip.string() + "/"),
                                 QStringLiteral("trip/day1/")}) {
        SCOPED_TRACE(typed.toStdString());
        present(SingleExportFormat::heic);
        typeName(typed);
        pressEnter();
        EXPECT_FALSE(closed);
        const fs::path shown = panel.activeDialog()->model().folder();
        EXPECT_TRUE(shown == trip || shown == trip / "day1") << shown;
        EXPECT_EQ(panel.activeDialog()->pathField()->text().toStdString(), shown.string());
        EXPECT_EQ(typedName(), QStringLiteral("DSC_0001.heic"));
        // Return once more writes the proposed name there.
        pressEnter();
        expectClosedWith(shown / "DSC_0001.heic", SingleExportFormat::heic);
    }

    present(SingleExportFormat::jpeg);
    typeName(QString::fromStdString(trip.string()));
    QTest::keyClick(panel.nameField(), Qt::Key_Return);
    QTest::keyClick(panel.nameField(), Qt::Key_Return); // asked once
    QApplication::processEvents();
    EXPECT_EQ(executor.waiting(), 1u);
    queue.advance(kSaveCheckWait + 0.01);
    QApplication::processEvents();
    EXPECT_FALSE(closed);
    EXPECT_EQ(problem(), QStringLiteral("保存先のフォルダが応答しません"));
    settle(); // the late answer
    EXPECT_EQ(panel.activeDialog()->model().folder(), folder.path());
    EXPECT_FALSE(closed);
}

// A name typed into a folder on a share that answers late: the panel waits for it as long as the
// export's check of a destination does, saying nothing, and writes the file when the answers come
// within that; it says the folder does not answer only once a question has gone unanswered that
// long. A name changed while it is checked is not written by the answer about the last one.
TEST_F(QtSingleExportPanelTest, AShareThatAnswersLateWithinTheWaitIsWrittenTo) {
    fs::create_directories(folder.path() / "e");
    const QString typed = QString::fromStdString((folder.path() / "e" / "single1.jpg").string());
    // Each question answered 1.5 s late, three times the wait of a listing.
    const auto answerLate = [&] {
        for (int asked = 0; asked < 3 && executor.waiting() > 0; ++asked) {
            queue.advance(1.5);
            EXPECT_EQ(problem(), QString());
            executor.runAll();
            queue.runPending();
            QApplication::processEvents();
        }
    };
    present(SingleExportFormat::jpeg);
    typeName(typed);
    QTest::keyClick(panel.nameField(), Qt::Key_Return);
    answerLate();
    expectClosedWith(folder.path() / "e" / "single1.jpg", SingleExportFormat::jpeg);

    present(SingleExportFormat::jpeg);
    typeName(typed);
    QTest::keyClick(panel.nameField(), Qt::Key_Return);
    queue.advance(kSaveCheckWait - 0.1);
    EXPECT_EQ(problem(), QString());
    queue.advance(0.2);
    EXPECT_EQ(problem(), QStringLiteral("保存先のフォルダが応答しません"));
    settle();
    EXPECT_FALSE(closed) << "the answer after the wait writes nothing";

    typeName(typed);
    QTest::keyClick(panel.nameField(), Qt::Key_Return);
    typeName(QStringLiteral("other"));
    answerLate();
    settle();
    EXPECT_FALSE(closed) << "the answer was about a name no longer typed";
    EXPECT_EQ(problem(), QString());
    pressEnter();
    expectClosedWith(folder.path() / "other.jpg", SingleExportFormat::jpeg);
}

// Closed while it asks whether the typed name is there, before the end of the wait or after it,
// the panel hears nothing more: neither the wait's end nor the answer that comes later reach it,
// and nothing is written.
TEST_F(QtSingleExportPanelTest, ClosedWhileItAsksItHearsNothingMore) {
    for (const bool afterTheWait : {false, true}) {
        SCOPED_TRACE(afterTheWait ? "closed after the wait" : "closed at once");
        present(SingleExportFormat::jpeg);
        typeName(QStringLiteral("x"));
        QTest::keyClick(panel.nameField(), Qt::Key_Return);
        ASSERT_EQ(executor.waiting(), 1u);
        if (afterTheWait) {
            queue.advance(kSaveCheckWait + 0.01);
            EXPECT_EQ(problem(), QStringLiteral("保存先のフォルダが応答しません"));
        }
        const QPointer<FolderChooserDialog> dialog = panel.activeDialog();
        QTest::keyClick(panel.nameField(), Qt::Key_Escape);
        EXPECT_TRUE(closed);
        EXPECT_FALSE(closedWith.has_value());
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(dialog) << "the panel is gone";
        queue.advance(kSaveCheckWait * 2);
        settle();
        EXPECT_FALSE(closedWith.has_value());
        closed = false;
    }
}

// A name in a folder that is not there keeps the panel open, saying so; in the folder shown, or in
// one that is there, it is written.
TEST_F(QtSingleExportPanelTest, ANameInAFolderThatIsNotThereIsRefused) {
    present(SingleExportFormat::jpeg);
    for (const fs::path& typed : {folder.path() / "gone" / "x.jpg", folder.path() / "gone" / "deeper" / "x"}) {
        typeName(QString::fromStdString(typed.string()));
        pressEnter();
        EXPECT_FALSE(closed) << typed;
        EXPECT_EQ(problem(), QStringLiteral("書き出し先のフォルダが見つかりません")) << typed;
    }
    std::ofstream(folder.path() / "file") << "x";
    typeName(QString::fromStdString((folder.path() / "file" / "x.jpg").string()));
    pressEnter();
    EXPECT_FALSE(closed) << "a file is no folder to write into";
    EXPECT_EQ(problem(), QStringLiteral("書き出し先のフォルダが見つかりません"));
    fs::create_directories(folder.path() / "made");
    typeName(QString::fromStdString((folder.path() / "made" / "x.jpg").string()));
    pressEnter();
    expectClosedWith(folder.path() / "made" / "x.jpg", SingleExportFormat::jpeg);
}

// The folder shown lists its files with what they are, and its folders; a file there already is
// written over only when the user says so, and choosing a file puts its name in the field.
TEST_F(QtSingleExportPanelTest, AFileThereAlreadyIsReplacedOnlyWhenTheUserSaysSo) {
    std::ofstream(folder.path() / "DSC_0001.jpg") << "x";
    std::ofstream(folder.path() / "notes.txt") << "x";
    std::ofstream(folder.path() / "b.HEIC") << "x";
    fs::create_directories(folder.path() / "trip");
    present(SingleExportFormat::jpeg);
    QTreeView* list = panel.activeDialog()->folderList();
    QStringList rows;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        rows << list->model()->index(row, 0).data().toString() + u'=' + list->model()->index(row, 1).data().toString();
    EXPECT_EQ(rows, (QStringList{QStringLiteral("b.HEIC=HEIF 画像"), QStringLiteral("DSC_0001.jpg=JPEG 画像"),
                                 QStringLiteral("notes.txt=ファイル"), QStringLiteral("trip=フォルダ")}));

    for (const bool replace : {false, true}) {
        typeName(QStringLiteral("DSC_0001"));
        pressEnter();
        auto* ask = panel.activeDialog()->findChild<QMessageBox*>();
        ASSERT_NE(ask, nullptr) << "asked before the file is written over";
        EXPECT_FALSE(closed);
        for (QAbstractButton* answer : ask->buttons()) {
            if (answer->text() == (replace ? QStringLiteral("置き換える") : QStringLiteral("キャンセル"))) answer->click();
        }
        QApplication::processEvents();
        if (!replace) {
            EXPECT_FALSE(closed);
        }
    }
    expectClosedWith(folder.path() / "DSC_0001.jpg", SingleExportFormat::jpeg);

    present(SingleExportFormat::jpeg);
    list = panel.activeDialog()->folderList();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
    EXPECT_EQ(typedName(), QStringLiteral("b.HEIC"));
}

} // namespace
} // namespace sorvin::test
