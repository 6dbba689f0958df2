#include "ui/platform/qt_single_export_panel.hpp"
#include "ui_test_fixture.hpp"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <functional>
#include <optional>
#include <vector>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;

class QtSingleExportPanelTest : public ::testing::Test {
protected:
    QtSingleExportPanelTest() {
        application();
        // The disk is asked at once here: these folders always answer.
        panel.setFolderCheck([](const fs::path& path, std::function<void(std::optional<bool>)> answered) {
            std::error_code ignored;
            answered(fs::is_directory(path, ignored));
        });
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
        QApplication::processEvents();
    }
    QString typedName() const {
        auto* field = panel.activeDialog()->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        return field ? field->text() : QString();
    }
    QRadioButton* button(SingleExportFormat format) const { return panel.formatButton(format); }
    QLineEdit* field() const {
        return panel.activeDialog()->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    }
    // Replaces the typed name as the user does: all of it selected, then typed over.
    void typeName(const QString& name) const {
        field()->setFocus();
        field()->selectAll();
        if (name.isEmpty())
            QTest::keyClick(field(), Qt::Key_Backspace);
        else
            QTest::keyClicks(field(), name);
    }
    // The Enter key in the name field: the dialog's accept button.
    void pressEnter() const { QTest::keyClick(field(), Qt::Key_Return); }

    TemporaryFolder folder;
    QtSingleExportPanel panel;
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
    panel.activeDialog()->reject();
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
    panel.activeDialog()->reject();
}

// A switch of format replaces only the endings .jpeg .jpg .heic .heif .hif of the typed name;
// every other name is kept whole and gets the extension, also when it has dots of its own.
TEST_F(QtSingleExportPanelTest, ASwitchOfFormatKeepsTheTypedNameWhole) {
    struct Case {
        const char* typed;
        SingleExportFormat chosen;
        const char* shown;
    };
    const Case cases[] = {
        {"photo.JPEG", SingleExportFormat::heic, "photo.heic"},
        {"photo.tiff", SingleExportFormat::jpeg, "photo.tiff.jpg"},
        {"photo.jpg", SingleExportFormat::jpeg, "photo.jpg"},
        {"trip.v2", SingleExportFormat::jpeg, "trip.v2.jpg"},
        {"2024.06.01", SingleExportFormat::heic, "2024.06.01.heic"},
        {"shot.hif", SingleExportFormat::jpeg, "shot.jpg"},
    };
    for (const Case& c : cases) {
        present(SingleExportFormat::jpeg);
        auto* field = panel.activeDialog()->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(field, nullptr);
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, QString::fromUtf8(c.typed));
        ASSERT_EQ(typedName(), QString::fromUtf8(c.typed));
        QTest::mouseClick(button(c.chosen), Qt::LeftButton);
        EXPECT_EQ(typedName(), QString::fromUtf8(c.shown)) << c.typed;
        // The file is written under the name shown.
        QTest::keyClick(field, Qt::Key_Return);
        ASSERT_TRUE(closed) << c.typed;
        ASSERT_TRUE(closedWith.has_value()) << c.typed;
        EXPECT_EQ(closedWith->filename().string(), c.shown);
        closed = false;
        closedWith.reset();
    }
}

TEST_F(QtSingleExportPanelTest, ClosingReportsTheFileAndTheLastFormat) {
    present(SingleExportFormat::jpeg);
    button(SingleExportFormat::heic)->click();
    panel.activeDialog()->reject();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(closedWith.has_value());
    EXPECT_EQ(closedFormat, SingleExportFormat::heic);

    closed = false;
    present(SingleExportFormat::jpeg);
    static_cast<QDialog*>(panel.activeDialog())->accept();
    EXPECT_TRUE(closed);
    ASSERT_TRUE(closedWith.has_value());
    EXPECT_EQ(closedWith->filename(), "DSC_0001.jpg");
    EXPECT_EQ(closedFormat, SingleExportFormat::jpeg);
}

// The dialog's own list of file types, opened by keyboard or pointer, takes the format buttons'
// path: the name as typed is kept whole and given the format's extension.
TEST_F(QtSingleExportPanelTest, ChoosingTheOnlyFileTypeKeepsTheTypedName) {
    for (const bool byPointer : {false, true}) {
        present(SingleExportFormat::jpeg);
        auto* types = panel.activeDialog()->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        ASSERT_EQ(types->count(), 1);
        typeName(QStringLiteral("2024.06.01"));
        // Opened with the pointer or the keyboard, the list is chosen from with the keyboard: a
        // click in it counts only once Qt's double-click interval has passed since it opened.
        if (byPointer) {
            QTest::mouseClick(types, Qt::LeftButton);
        } else {
            types->setFocus();
            QTest::keyClick(types, Qt::Key_F4);
        }
        ASSERT_TRUE(types->view()->isVisible());
        QTest::keyClick(types->view(), Qt::Key_Return);
        EXPECT_FALSE(types->view()->isVisible());
        EXPECT_EQ(typedName(), QStringLiteral("2024.06.01.jpg")) << (byPointer ? "pointer" : "keyboard");
        pressEnter();
        ASSERT_TRUE(closed);
        ASSERT_TRUE(closedWith.has_value());
        EXPECT_EQ(closedWith->filename(), "2024.06.01.jpg");
        closed = false;
    }
}

// A name that is empty without its extension is refused under the field, the dialog staying open;
// a format switch leaves an emptied name empty. A name ending in a format's extension is written
// in that format, any other gets the chosen format's extension, shown in the field before the
// dialog closes.
TEST_F(QtSingleExportPanelTest, TheNameIsRefusedWhenEmptyAndAgreesWithTheData) {
    present(SingleExportFormat::jpeg);
    auto* problem = panel.activeDialog()->findChild<QLabel*>(QStringLiteral("singleExportNameProblem"));
    ASSERT_NE(problem, nullptr);
    typeName(QString());
    button(SingleExportFormat::heic)->click();
    EXPECT_EQ(typedName(), QString());
    typeName(QStringLiteral(".heic"));
    pressEnter();
    EXPECT_FALSE(closed);
    EXPECT_TRUE(problem->isVisibleTo(panel.activeDialog()));
    EXPECT_EQ(problem->text(), QStringLiteral("ファイル名を入力してください"));
    typeName(QStringLiteral("trip"));
    EXPECT_FALSE(problem->isVisibleTo(panel.activeDialog())) << "gone once the name is typed again";
    pressEnter();
    ASSERT_TRUE(closed);
    ASSERT_TRUE(closedWith.has_value());
    EXPECT_EQ(closedWith->filename(), "trip.heic");
    EXPECT_EQ(closedFormat, SingleExportFormat::heic);

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
        closed = false;
        present(c.chosen);
        typeName(QString::fromUtf8(c.typed));
        pressEnter();
        ASSERT_TRUE(closed) << c.typed;
        ASSERT_TRUE(closedWith.has_value()) << c.typed;
        EXPECT_EQ(closedWith->filename().string(), c.written);
        EXPECT_EQ(closedFormat, c.format) << c.typed;
    }
}

// A typed folder, with or without its slash, by its whole path or by its name in the folder shown,
// opens that folder, with the proposed name back in the field; it is never written as a file
// beside itself. A typed path the disk does not answer about keeps the panel open, saying so.
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
        const fs::path shown = panel.activeDialog()->directory().absolutePath().toStdString();
        EXPECT_TRUE(shown == trip || shown == trip / "day1") << shown;
        EXPECT_EQ(typedName(), QStringLiteral("DSC_0001.heic"));
        // Return once more writes the proposed name there.
        pressEnter();
        ASSERT_TRUE(closed);
        ASSERT_TRUE(closedWith.has_value());
        EXPECT_EQ(closedWith->parent_path(), shown);
        EXPECT_EQ(closedWith->filename(), "DSC_0001.heic");
        closed = false;
    }
    EXPECT_FALSE(fs::exists(folder.path() / "trip.heic"));

    std::function<void(std::optional<bool>)> unanswered;
    panel.setFolderCheck([&](const fs::path&, std::function<void(std::optional<bool>)> answered) {
        unanswered = std::move(answered);
    });
    present(SingleExportFormat::jpeg);
    typeName(QStringLiteral("/mnt/share/photos"));
    pressEnter();
    ASSERT_TRUE(unanswered);
    pressEnter(); // asked once
    std::exchange(unanswered, nullptr)(std::nullopt);
    EXPECT_FALSE(closed);
    auto* problem = panel.activeDialog()->findChild<QLabel*>(QStringLiteral("singleExportNameProblem"));
    EXPECT_TRUE(problem->isVisibleTo(panel.activeDialog()));
    EXPECT_EQ(problem->text(), QStringLiteral("保存先のフォルダが応答しません"));
    panel.activeDialog()->reject();
}

} // namespace
} // namespace sorvin::test
