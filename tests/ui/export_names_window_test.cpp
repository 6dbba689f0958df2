// Photos of one name from two cards, exported at the window with 上書きする and 元データも保存する
// again and again: each photo keeps its own output and its own original's copy across exports.

#include "platform/output_file.hpp"
#include "support/scoped_environment.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/export/export_sheet.hpp"
#include "ui/home/home_view.hpp"
#include "ui_test_fixture.hpp"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <fmt/format.h>
#include <fstream>
#include <map>
#include <set>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;

std::string bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The bytes of every regular file directly in the folder, by name.
std::map<std::string, std::string> filesIn(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file()) files[entry.path().filename().string()] = bytesOf(entry.path());
    return files;
}

std::multiset<std::string> contentsOf(const std::map<std::string, std::string>& files) {
    std::multiset<std::string> contents;
    for (const auto& [name, bytes] : files)
        contents.insert(bytes);
    return contents;
}

class ExportNamesWindowTest : public MainWindowTest {
protected:
    // The export manifests go under the data folder: a temporary one here.
    ExportNamesWindowTest() { environment.set("XDG_DATA_HOME", root / "data"); }
    ~ExportNamesWindowTest() override { OutputFile::setBeforePublishHookForTesting({}); }

    fs::path out() const { return root / "out"; }

    // A photo of its own bytes: the sample with a tail after its picture.
    void addCardPhoto(const std::string& name) {
        fs::create_directories((photos() / name).parent_path());
        addPhoto("jpeg/nikon_d70s_gps_lens.jpg", name);
        std::ofstream(photos() / name, std::ios::app) << "tail of " << name;
        cards.insert(bytesOf(photos() / name));
    }

    void redraw() {
        QApplication::processEvents();
        queue.runPending();
        QApplication::processEvents();
    }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        MainWindowTest::type(&window(), k, modifiers);
        settle();
        redraw();
    }

    // The photo folder opened by Ctrl+O with its subfolders, and every photo hearted.
    void openAndHeartEveryPhoto() {
        window().resize(1400, 900);
        window().show();
        activate();
        QCheckBox* subfolders = window().rootView()->homeView()->subfoldersBox();
        if (!subfolders->isChecked()) QTest::mouseClick(subfolders, Qt::LeftButton);
        folderPanel.answer = photos();
        key(Qt::Key_O, Qt::ControlModifier);
        ASSERT_TRUE(window().rootView()->selectView()->isVisible());
        ASSERT_EQ(state().library()->visiblePhotos().size(), cards.size());
        for (std::size_t i = 0; i < cards.size(); ++i) {
            key(Qt::Key_Space);
            key(Qt::Key_Down);
        }
    }

    // Ctrl+E, 上書きする, 元データも保存する, the destination typed, 書き出す; the texts of the result,
    // and the sheet closed. `eachFile` is told each file the export is about to name, with the sheet.
    QStringList exportOnce(const std::function<void(ExportSheet&)>& eachFile = {}) {
        key(Qt::Key_E, Qt::ControlModifier);
        ExportSheet* sheet = window().rootView()->selectView()->exportSheet();
        EXPECT_NE(sheet, nullptr);
        if (!sheet) return {};
        for (QRadioButton* button : sheet->findChildren<QRadioButton*>())
            if (button->text() == QStringLiteral("上書きする")) QTest::mouseClick(button, Qt::LeftButton);
        QCheckBox* originals = sheet->saveOriginalsBox();
        if (!originals->isChecked()) // on its box, at the row's start
            QTest::mouseClick(originals, Qt::LeftButton, {}, QPoint(8, originals->height() / 2));
        EXPECT_TRUE(originals->isChecked());
        QLineEdit* field = sheet->destinationField();
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, QString::fromStdString(out().string()));
        if (eachFile) OutputFile::setBeforePublishHookForTesting([&](const fs::path&) { eachFile(*sheet); });
        QTest::mouseClick(sheet->exportButton(), Qt::LeftButton);
        settle();
        redraw();
        OutputFile::setBeforePublishHookForTesting({});
        EXPECT_TRUE(sheet->failureTexts().isEmpty()) << sheet->failureTexts().join(u'|').toStdString();
        const QStringList texts = sheet->resultTexts();
        QTest::mouseClick(sheet->closeButton(), Qt::LeftButton);
        redraw();
        return texts;
    }

    static void expectLines(const QStringList& texts, std::initializer_list<const char*> lines) {
        for (const char* line : lines)
            EXPECT_TRUE(texts.contains(QString::fromUtf8(line)))
                << line << " in " << texts.join(u'|').toStdString();
    }
    static int numbered(const std::map<std::string, std::string>& files) {
        int count = 0;
        for (const auto& [name, bytes] : files)
            count += name.find("-1.") != std::string::npos;
        return count;
    }

    ScopedEnvironment environment;
    std::multiset<std::string> cards; // the bytes of every photo
};

// Four photos from each of two cards with the same names, キャンセル clicked while the fifth is
// being written, then 書き出す again with nothing changed: the photos not exported yet are added
// under numbered names, no photo is written over another, and the sheet says so.
TEST_F(ExportNamesWindowTest, AnExportCancelledMidwayThenFinishedKeepsEveryPhotoOfBothCards) {
    for (const std::string card : {"dayA", "dayB"})
        for (int i = 1; i <= 4; ++i)
            addCardPhoto(card + "/IMG_000" + std::to_string(i) + ".jpg");
    openAndHeartEveryPhoto();
    fs::create_directories(out());

    int files = 0;
    const QStringList cancelled = exportOnce([&](ExportSheet& sheet) {
        if (++files == 9) QTest::mouseClick(sheet.stopButton(), Qt::LeftButton); // output 5
    });
    ASSERT_FALSE(cancelled.isEmpty());
    EXPECT_EQ(cancelled.first(), QStringLiteral("書き出しを中断しました"));
    const auto outputs = filesIn(out());
    const int done = static_cast<int>(outputs.size());
    ASSERT_EQ(done, 5);

    const QStringList finished = exportOnce();
    ASSERT_FALSE(finished.isEmpty());
    EXPECT_EQ(finished.first(), QStringLiteral("書き出しが終わりました"));
    const auto outputsNow = filesIn(out());
    const int renamed = numbered(outputsNow) - numbered(outputs);
    EXPECT_GT(renamed, 0);
    const auto line = [](const char* format, int count) { return fmt::format(fmt::runtime(format), count); };
    for (const std::string& expected :
         {line("書き出し   {}枚", 8 - done), line("スキップ  {}枚    前回から変更なし", done),
          line("元データ  {}枚    originals フォルダ", 8 - done), line("出力ファイル   {}個", 8 - done)})
        EXPECT_TRUE(finished.contains(QString::fromStdString(expected)))
            << expected << " in " << finished.join(u'|').toStdString();
    EXPECT_TRUE(std::any_of(finished.begin(), finished.end(), [&](const QString& text) {
        return text.startsWith(QString::fromStdString(line("別名     {}枚", renamed)));
    })) << finished.join(u'|').toStdString();
    for (const QString& text : finished)
        EXPECT_FALSE(text.startsWith(QStringLiteral("上書き"))) << text.toStdString();
    // Every photo once in the destination and once in originals.
    EXPECT_EQ(contentsOf(outputsNow), cards);
    EXPECT_EQ(contentsOf(filesIn(out() / "originals")), cards);
}

// day1/DSC_0001.jpg and day2/DSC_0001.jpg exported; then only day2's photo changes, by an edit at
// the window and then in its file, and each time the export runs again: day2's files are written
// over in place (its output under its numbered name, its original's copy when the file changed),
// day1's stay as they were, no file is added, and the sheet counts one photo written and one
// skipped.
TEST_F(ExportNamesWindowTest, OnlyTheChangedPhotoOfANameIsWrittenOverItsOwnFiles) {
    addCardPhoto("day1/DSC_0001.jpg");
    addCardPhoto("day2/DSC_0001.jpg");
    openAndHeartEveryPhoto();
    fs::create_directories(out());
    expectLines(exportOnce(),
                {"書き出し   2枚", "別名     1枚    DSC_0001-1.jpg", "元データ  2枚    originals フォルダ"});
    const fs::path day1 = photos() / "day1" / "DSC_0001.jpg";
    const fs::path day2 = photos() / "day2" / "DSC_0001.jpg";
    ASSERT_EQ(bytesOf(out() / "DSC_0001.jpg"), bytesOf(day1));
    ASSERT_EQ(bytesOf(out() / "DSC_0001-1.jpg"), bytesOf(day2));
    const auto first = filesIn(out());
    const auto firstOriginals = filesIn(out() / "originals");

    // An edit of day2's photo: half a degree to the right.
    for (int i = 0; i < 2 && state().library()->currentPhoto()->relativePath != "day2/DSC_0001.jpg"; ++i)
        key(Qt::Key_Up);
    ASSERT_EQ(state().library()->currentPhoto()->relativePath, "day2/DSC_0001.jpg");
    key(Qt::Key_Right);
    expectLines(exportOnce(), {"書き出し   1枚", "上書き    1枚", "スキップ  1枚    前回から変更なし",
                               "別名     1枚    DSC_0001-1.jpg", "元データ  0枚    originals フォルダ"});
    const auto edited = filesIn(out());
    EXPECT_EQ(edited.size(), first.size());
    EXPECT_EQ(edited.at("DSC_0001.jpg"), bytesOf(day1));
    EXPECT_NE(edited.at("DSC_0001-1.jpg"), first.at("DSC_0001-1.jpg"));
    EXPECT_EQ(filesIn(out() / "originals"), firstOriginals);

    // day2's file changes.
    std::ofstream(day2, std::ios::app) << " changed";
    expectLines(exportOnce(), {"書き出し   1枚", "上書き    1枚", "スキップ  1枚    前回から変更なし",
                               "元データ  1枚    originals フォルダ"});
    const auto changed = filesIn(out());
    EXPECT_EQ(changed.size(), first.size());
    EXPECT_EQ(changed.at("DSC_0001.jpg"), bytesOf(day1));
    const auto originals = filesIn(out() / "originals");
    EXPECT_EQ(originals.size(), 2u);
    EXPECT_EQ(originals.at("DSC_0001.jpg"), bytesOf(day1));
    EXPECT_EQ(originals.at("DSC_0001-1.jpg"), bytesOf(day2));
}

} // namespace
} // namespace sorvin::test
