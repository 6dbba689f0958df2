#include "ui/platform/qt_single_export_panel.hpp"
#include "ui_test_fixture.hpp"

#include <QFileDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <vector>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;

class QtSingleExportPanelTest : public ::testing::Test {
protected:
    QtSingleExportPanelTest() { application(); }

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
    }
    QString typedName() const {
        auto* field = panel.activeDialog()->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        return field ? field->text() : QString();
    }
    QRadioButton* button(SingleExportFormat format) const { return panel.formatButton(format); }

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

} // namespace
} // namespace sorvin::test
