#include "library/photo_library.hpp"
#include "support/hostile_files.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/key_event_monitor.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/canvas/photo_canvas_view.hpp"
#include "ui/platform/sorvin_look.hpp"
#include "ui_test_fixture.hpp"

#include <QImage>
#include <QProgressBar>
#include <algorithm>
#include <fstream>
#include <iterator>

namespace sorvin::test {
namespace {

class PhotoCanvasFailureTest : public MainWindowTest {
protected:
    PhotoCanvasView& canvas() {
        return *static_cast<PhotoCanvasView*>(window().rootView()->selectView()->photoCanvas());
    }
    bool progressShows() { return canvas().findChild<QProgressBar*>()->isVisible(); }
    // Whether anything but the background is drawn along the bottom-left corner, where the note goes.
    bool noteDrawn() {
        // Above the loading bar, which lies along the bottom edge.
        const QImage drawn = canvas().grab(QRect(0, canvas().height() - 24, 300, 16)).toImage();
        const QRgb background = SorvinColor::background().rgb();
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                if (drawn.pixel(x, y) != background) return true;
        return false;
    }
    void redraw() {
        QApplication::processEvents();
        queue.runPending();
        QApplication::processEvents();
    }
    // Steps with the arrow keys until the photo is the current one.
    void stepTo(const std::string& name) {
        const auto& photos = state().library()->visiblePhotos();
        const auto target = std::ranges::find(photos, name, &Photo::relativePath) - photos.begin();
        for (int step = 0; step < 8 && currentPath() != name; ++step) {
            const Qt::Key key = target > state().library()->cursorIndex() ? Qt::Key_Down : Qt::Key_Up;
            press(&window(), key);
            release(&window(), key);
            // The next press is a new one, not a repeat of the key held.
            queue.advance(KeyEventMonitor::repeatInterval());
        }
        ASSERT_EQ(currentPath(), name);
        redraw();
    }
};

// A listed photo whose picture cannot be decoded (a JPEG with damaged pixel data, a RAW-named file
// that the RAW reader refuses) says so where the photo would be, in place of the loading bar, also
// when the decode fails only after the photo was reached, and again after stepping away and back.
TEST_F(PhotoCanvasFailureTest, APhotoThatCannotBeDecodedSaysSoInsteadOfLoadingForever) {
    addPhoto("jpeg/nikon_d70s_gps_lens.jpg", "a.jpg");
    addPhoto("corrupt/fuzz_bad_restart_marker_sony.jpg", "restart.jpg");
    addPhoto("corrupt/jpeg_content_named.nef", "named.nef");
    addPhoto("jpeg/canon_6d_adobergb_gps_lens.jpg", "b.jpg");
    window().resize(1400, 900);
    window().show();
    openPhotos();
    redraw();
    ASSERT_EQ(state().library()->visiblePhotos().size(), 4u);
    ASSERT_EQ(currentPath(), "restart.jpg") << "the oldest photo comes first";
    EXPECT_TRUE(canvas().model().showsFailureNote);
    EXPECT_FALSE(progressShows());
    EXPECT_TRUE(noteDrawn());

    for (const std::string name : {"named.nef", "a.jpg", "restart.jpg"}) {
        SCOPED_TRACE(name);
        // Reaching the photo tries its decode again; until that fails, the photo is loading.
        stepTo(name);
        if (name == "a.jpg") continue;
        EXPECT_TRUE(progressShows());
        EXPECT_FALSE(noteDrawn());

        settle();
        redraw();
        EXPECT_TRUE(canvas().model().showsFailureNote);
        EXPECT_FALSE(progressShows());
        EXPECT_TRUE(noteDrawn());
    }
}

// A JPEG of 1.1 GB is intact but beyond what the decoder reads: the note says that it is too large
// for the program, not that it cannot be read; a damaged photo beside it keeps its own note.
TEST_F(PhotoCanvasFailureTest, APhotoTooLargeForTheProgramSaysSo) {
    addPhoto("jpeg/nikon_d70s_gps_lens.jpg", "huge.jpg");
    addPhoto("corrupt/fuzz_bad_restart_marker_sony.jpg", "restart.jpg");
    std::ifstream in(photos() / "huge.jpg", std::ios::binary);
    const std::string jpeg{std::istreambuf_iterator<char>(in), {}};
    hostile::writeSparse(photos() / "huge.jpg", jpeg, std::uintmax_t{1100} << 20);
    window().resize(1400, 900);
    window().show();
    openPhotos();
    ASSERT_EQ(state().library()->visiblePhotos().size(), 2u);
    for (const auto& [name, note] :
         {std::pair{"huge.jpg", "この写真はファイルが大きすぎるため、このプログラムでは読み込めません"},
          std::pair{"restart.jpg", "この写真を読み込めません"}}) {
        SCOPED_TRACE(name);
        stepTo(name);
        settle();
        redraw();
        EXPECT_TRUE(canvas().model().showsFailureNote);
        EXPECT_EQ(canvas().model().failureNote, note);
        EXPECT_TRUE(noteDrawn());
    }
}

} // namespace
} // namespace sorvin::test
