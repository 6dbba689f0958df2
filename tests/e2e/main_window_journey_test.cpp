// One user's whole session with the real program, driven only by key presses and pointer clicks on
// the real main window: open a folder, walk it, heart, filter, develop, add a mask, undo and redo,
// make a copy B, switch a pair to its RAW file, export the hearted photos, quit, start again and
// find every decision where it was left. The program runs on its real main queue and thread pool;
// the test waits for them by turning Qt's event loop until the state it expects is there.

#include "program_session.hpp"
#include "shell/key_dispatcher.hpp"
#include "shell/keyboard_maps.hpp"
#include "ui/browsing/bottom_bar_view.hpp"
#include "ui/canvas/mask_addition_sheet.hpp"
#include "ui/canvas/mask_tab_bar_view.hpp"
#include "ui/export/export_sheet.hpp"
#include "ui/home/home_view.hpp"
#include "ui/home/recent_folder_row.hpp"
#include "ui/panel/parameter_panel_view.hpp"
#include "ui/panel/parameter_slot_column_view.hpp"
#include "ui/panel/vertical_parameter_slider.hpp"

#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>
#include <set>

namespace sorvin::test {
namespace {

// The folder chooser answers with the folder the test set, as a user picking it would.
class AnsweringFolderPanel final : public FolderPanel {
public:
    std::optional<fs::path> chooseFolder(const fs::path&) override { return answer; }
    std::optional<fs::path> answer;
};

class MainWindowJourney : public ProgramSession {
protected:
    MainWindowJourney() : ProgramSession(&folderPanel), home_(root / "home") {
        fs::create_directories(photos());
        // Three JPEG photos and a JPEG with its RAW file.
        copy("jpeg/canon_6d_adobergb_gps_lens.jpg", "a.jpg");
        copy("jpeg/iceland_srgb_untagged_nikon_d800e.jpg", "b.jpg");
        copy("jpeg/canon_50d_progressive_adobergb_gps_lens.jpg", "c.jpg");
        copy("raw/canon_eos_6d_linear_lossy.dng", "c.dng");
        copy("jpeg/iceland_displayp3_nikon_d800e.jpg", "d.jpg");
        folderPanel.answer = photos();
    }

    fs::path photos() const { return root / "photos"; }
    fs::path exports() const { return root / "exports"; }

    void copy(const std::string& sampleName, const std::string& name) {
        fs::copy_file(sample(sampleName), photos() / name);
        fs::permissions(photos() / name, fs::perms::owner_write, fs::perm_options::add);
    }

    TemporaryHome home_;
    AnsweringFolderPanel folderPanel;
};

TEST_F(MainWindowJourney, EveryDecisionOfASessionIsThereAfterARestart) {
    // What the first session decided, checked again after the restart.
    std::vector<std::string> order;
    std::string first;
    std::string second;
    std::string pair;
    int contrast = 0;
    std::set<std::string> exported;

    runProgram([&] {
        ASSERT_EQ(state().screen(), AppScreen::home);

        // The folder, chosen through the menu's shortcut.
        key(Qt::Key_O, Qt::ControlModifier);
        ASSERT_TRUE(waitFor([&] { return state().screen() == AppScreen::select; }));
        for (const Photo& photo : library().visiblePhotos())
            order.push_back(photo.relativePath);
        ASSERT_EQ(order.size(), 4u) << "a JPEG and its RAW file are one photo";
        first = order[0];
        second = order[1];
        ASSERT_TRUE(shown());
        EXPECT_EQ(currentPath(), first);

        // Down and up again.
        ASSERT_TRUE(step(Qt::Key_Down));
        EXPECT_EQ(currentPath(), second);
        ASSERT_TRUE(step(Qt::Key_Up));
        EXPECT_EQ(currentPath(), first);

        // Hearts on the first two photos.
        key(Qt::Key_Space);
        ASSERT_TRUE(step(Qt::Key_Down));
        key(Qt::Key_Space);
        EXPECT_TRUE(library().containsHeart(first, RetouchSlot::a));
        EXPECT_TRUE(library().containsHeart(second, RetouchSlot::a));
        EXPECT_EQ(library().heartCount(), 2);
        ASSERT_TRUE(
            waitFor([&] { return browsing().bottomBar()->counterText().contains(QStringLiteral("♥ 2")); }));

        // Only the hearted photos, then all of them again: by the menu's key, by Escape and by
        // the bottom bar's button.
        key(Qt::Key_F, Qt::ControlModifier);
        EXPECT_TRUE(library().isFiltered());
        EXPECT_EQ(library().visiblePhotos().size(), 2u);
        key(Qt::Key_Escape);
        EXPECT_FALSE(library().isFiltered());
        click(browsing().bottomBar()->filterButton());
        EXPECT_TRUE(library().isFiltered());
        key(Qt::Key_F, Qt::ControlModifier);
        EXPECT_FALSE(library().isFiltered());
        EXPECT_EQ(library().visiblePhotos().size(), 4u);
        EXPECT_EQ(currentPath(), second);

        // Exposure up by its key, contrast by a click on its slider a quarter of the way down.
        key(Qt::Key_A);
        EXPECT_EQ(library().currentParameters()[PhotoParameter::exposure], KeyDispatcher::smallStep);
        ASSERT_TRUE(shown());
        ASSERT_TRUE(waitFor([&] { return browsing().parameterPanel()->column(1)->isVisible(); }));
        VerticalParameterSlider* slider = browsing().parameterPanel()->column(1)->slider();
        const int y = slider->height() / 4;
        contrast =
            ParameterSliderGeometry::value(y, slider->input().lower, slider->input().upper, slider->height());
        ASSERT_NE(contrast, 0);
        click(slider, {slider->width() / 2, y});
        EXPECT_EQ(library().currentParameters()[PhotoParameter::contrast], contrast);
        ASSERT_TRUE(shown());

        // A circular mask from the mask sheet.
        click(browsing().maskTabs()->addButton());
        MaskAdditionSheet* sheet = nullptr;
        ASSERT_TRUE(waitFor([&] {
            sheet = browsing().maskTabs()->sheet();
            return sheet && sheet->isVisible();
        }));
        QPushButton* circular = nullptr;
        for (QPushButton* button : sheet->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("円形")) circular = button;
        click(circular);
        ASSERT_EQ(library().currentParameters().masks.size(), 1u);
        EXPECT_EQ(library().currentParameters().masks[0].kind, MaskKind::circular());
        EXPECT_EQ(state().editTarget(), ParameterEditTarget::mask(0));
        ASSERT_TRUE(backAtTheWindow());
        ASSERT_TRUE(shown());

        // Undo takes the mask away, redo brings it back.
        key(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_TRUE(library().currentParameters().masks.empty());
        key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(library().currentParameters().masks.size(), 1u);
        ASSERT_TRUE(shown());

        // A copy B of the second photo; the cursor goes to it.
        key(Qt::Key_D, Qt::ControlModifier);
        ASSERT_NE(library().retouchStateB(second), nullptr);
        EXPECT_EQ(library().currentSlot(), RetouchSlot::b);
        ASSERT_TRUE(shown());

        // Over to the JPEG with its RAW file, shown from the RAW.
        const auto paired = std::find_if(order.begin(), order.end(), [&](const std::string& path) {
            return library().photo(path)->hasRawCompanion();
        });
        ASSERT_NE(paired, order.end());
        pair = *paired;
        const Qt::Key towards = paired - order.begin() < library().cursorIndex() ? Qt::Key_Up : Qt::Key_Down;
        for (int steps = 0; steps < 5 && currentPath() != pair; ++steps)
            ASSERT_TRUE(step(towards));
        ASSERT_EQ(currentPath(), pair);
        key(Qt::Key_Tab);
        EXPECT_EQ(library().currentSource(), PhotoSource::raw);
        ASSERT_TRUE(shown());
        EXPECT_EQ(state().displayedSource(*library().currentPhoto()), PhotoSource::raw);

        // Back to the copy B, where the session ends.
        const RetouchCursor copyB{second, RetouchSlot::b};
        const Qt::Key back = towards == Qt::Key_Up ? Qt::Key_Down : Qt::Key_Up;
        for (int steps = 0; steps < 6 && library().currentCursor() != copyB; ++steps)
            ASSERT_TRUE(step(back));
        ASSERT_EQ(library().currentCursor(), copyB);

        // The hearted photos exported into a new folder typed into the sheet.
        fs::create_directories(exports());
        key(Qt::Key_E, Qt::ControlModifier);
        ExportSheet* exportSheet = nullptr;
        ASSERT_TRUE(waitFor([&] {
            exportSheet = browsing().exportSheet();
            return exportSheet && exportSheet->isVisible();
        }));
        QTest::keyClicks(exportSheet->destinationField(), QString::fromStdString(exports().string()));
        ASSERT_TRUE(exportSheet->exportButton()->isEnabled())
            << exportSheet->validationLabel()->text().toStdString();
        click(exportSheet->exportButton());
        ASSERT_TRUE(waitFor([&] { return exportSheet->closeButton()->isVisible(); }));
        EXPECT_TRUE(exportSheet->failureTexts().isEmpty())
            << exportSheet->failureTexts().join(' ').toStdString();
        for (const auto& entry : fs::directory_iterator(exports()))
            if (entry.is_regular_file()) exported.insert(entry.path().filename().string());
        click(exportSheet->closeButton());
        ASSERT_TRUE(backAtTheWindow());
        EXPECT_FALSE(state().isExportPresented());

        quit();
    });

    // The exported files are whole pictures, one for each hearted row: the two photos and the copy
    // B, which took its photo's heart.
    const auto stem = [](const std::string& path) { return fs::path(path).stem().string(); };
    const std::set<std::string> stems = {stem(first), stem(second), stem(second) + "-B"};
    std::set<std::string> exportedStems;
    for (const std::string& name : exported) {
        exportedStems.insert(stem(name));
        QImageReader reader(QString::fromStdString((exports() / name).string()));
        EXPECT_FALSE(reader.read().isNull()) << name;
    }
    EXPECT_EQ(exportedStems, stems);
    EXPECT_TRUE(fs::exists(photos() / "sorvin.json"));

    runProgram([&] {
        ASSERT_EQ(state().screen(), AppScreen::home);
        HomeView* homeScreen = window().rootView()->homeView();
        ASSERT_FALSE(homeScreen->rows().empty()) << "the folder is among the recent ones";
        EXPECT_EQ(homeScreen->rows().front()->path().toStdString(), photos().string());
        click(homeScreen->rows().front());
        ASSERT_TRUE(waitFor([&] { return state().screen() == AppScreen::select; }));
        ASSERT_TRUE(shown());

        // The record keeps the photo the session ended on (not which copy): its own development
        // shows as soon as it is decoded.
        EXPECT_EQ(library().currentCursor(), (RetouchCursor{second, RetouchSlot::a}));
        const Photo* pairPhoto = library().photo(pair);
        ASSERT_NE(pairPhoto, nullptr);
        EXPECT_EQ(library().source(*pairPhoto), PhotoSource::raw);
        EXPECT_TRUE(library().containsHeart(first, RetouchSlot::a));
        EXPECT_TRUE(library().containsHeart(second, RetouchSlot::a));
        EXPECT_TRUE(library().containsHeart(second, RetouchSlot::b));
        EXPECT_EQ(library().heartCount(), 2);
        const Photo* secondPhoto = library().photo(second);
        ASSERT_NE(secondPhoto, nullptr);
        const PhotoParameters developed =
            library().parameters(*secondPhoto, RetouchSlot::a, PhotoSource::jpeg);
        EXPECT_EQ(developed[PhotoParameter::exposure], KeyDispatcher::smallStep);
        EXPECT_EQ(developed[PhotoParameter::contrast], contrast);
        ASSERT_EQ(developed.masks.size(), 1u);
        EXPECT_EQ(developed.masks[0].kind, MaskKind::circular());
        ASSERT_NE(library().retouchStateB(second), nullptr);
        EXPECT_EQ(library().parameters(*secondPhoto, RetouchSlot::b, PhotoSource::jpeg), developed)
            << "the copy B began as a copy of the photo's development";

        quit();
    });
}

} // namespace
} // namespace sorvin::test
