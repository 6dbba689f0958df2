// RAW files developed as a user reaches them in the window: the RAW development page's keys, the
// picture on screen, the one-photo export and 画像をコピー.

#include "library/photo_library.hpp"
#include "platform/image.hpp"
#include "platform/image_properties.hpp"
#include "platform/jpeg_decoder.hpp"
#include "support/damaged_files.hpp"
#include "support/picture_measures.hpp"
#include "support/raw_samples.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/bottom_bar_view.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/canvas/photo_canvas_view.hpp"
#include "ui_test_fixture.hpp"

#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace sorvin::test {
namespace {

class RawDevelopmentWindowTest : public MainWindowTest {
protected:
    PhotoCanvasView& canvas() {
        return *static_cast<PhotoCanvasView*>(window().rootView()->selectView()->photoCanvas());
    }
    // Opens the photo folder in the window and lets every development and decode land.
    void openWindow() {
        window().resize(1400, 900);
        window().show();
        openPhotos();
        activate();
        settle();
        redraw();
    }
    void redraw() {
        QApplication::processEvents();
        queue.runPending();
        QApplication::processEvents();
    }
    void key(Qt::Key k) {
        press(&window(), k);
        release(&window(), k);
        settle();
        redraw();
    }
    // この写真だけを書き出す (Ctrl+S), answered with a file in a folder of its own.
    std::filesystem::path exportCurrentPhoto() {
        const auto out = root / "out";
        std::filesystem::create_directories(out);
        type(&window(), Qt::Key_S, Qt::ControlModifier);
        EXPECT_TRUE(exportPanel.completion) << "the export panel opened";
        if (exportPanel.completion) exportPanel.completion(out / "exported.jpg", SingleExportFormat::jpeg);
        exportPanel.completion = nullptr;
        settle();
        redraw();
        return out / "exported.jpg";
    }
    // This photo exported (この1枚を書き出す) and read back, as a user would see it.
    SharedImage exportedPicture(const std::string& name) {
        const auto file = exportCurrentPhoto();
        EXPECT_TRUE(alerts.shown.empty()) << (alerts.shown.empty() ? "" : alerts.shown.front().second);
        std::ifstream in(file, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                              std::istreambuf_iterator<char>()};
        std::filesystem::rename(file, file.parent_path() / name);
        const auto picture = JpegDecoder::decode(bytes, 0);
        return picture ? picture->image : nullptr;
    }
    // The loupe on (its button), the pointer over the middle of the photo, and the loupe's picture
    // once the background has developed it.
    SharedImage loupePicture() {
        if (!state().loupeOn()) {
            QTest::mouseClick(window().rootView()->selectView()->bottomBar()->loupeButton(), Qt::LeftButton);
            settle();
        }
        EXPECT_TRUE(state().loupeOn());
        const QPointF middle(canvas().width() / 2.0, canvas().height() / 2.0);
        for (const QPointF at : {middle + QPointF(1, 0), middle}) {
            QMouseEvent move(QEvent::MouseMove, at, canvas().mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QApplication::sendEvent(&canvas(), &move);
        }
        // Each development that lands can ask for the next (the full-size development, then the
        // loupe's own), so the window is redrawn until nothing more waits.
        for (int round = 0; round < 20; ++round) {
            settle();
            redraw();
            if (executor.waiting() == 0 && queue.pendingCount() == 0) break;
        }
        return canvas().model().loupeImage;
    }
    // 画像をコピー (Ctrl+P).
    void copyImage() {
        pasteboard.items.clear();
        type(&window(), Qt::Key_P, Qt::ControlModifier);
        settle();
        redraw();
    }
};

// ノイズ（輝度） raised by two steps on the RAW development page changes the picture on screen, and
// the photo still exports at its full size and copies.
TEST_F(RawDevelopmentWindowTest, LuminanceNoiseReductionChangesThePictureWhichExportsAndCopies) {
    addPhoto("raw/nikon_d1.nef", "d1.nef");
    openWindow();
    ASSERT_EQ(currentPath(), "d1.nef");
    key(Qt::Key_O); // RAW現像
    ASSERT_EQ(state().parameterPage(), ParameterPage::letter(ParameterLetterPage::rawDevelopment));
    const SharedImage before = canvas().model().displayImage;
    ASSERT_TRUE(before);

    key(Qt::Key_L);
    key(Qt::Key_L);
    EXPECT_EQ(state().library()->currentParameters()[PhotoParameter::raw_noise_luminance], 2);
    const SharedImage after = canvas().model().displayImage;
    ASSERT_TRUE(after);
    EXPECT_FALSE(canvas().model().showsFailureNote);
    ASSERT_EQ(after->byteCount(), before->byteCount());
    EXPECT_NE(std::memcmp(after->data(), before->data(), before->byteCount()), 0) << "the picture changed";

    const auto exported = exportCurrentPhoto();
    EXPECT_TRUE(alerts.shown.empty()) << (alerts.shown.empty() ? "" : alerts.shown.front().second);
    const auto properties = ImagePropertiesReader::readJpeg(exported);
    ASSERT_TRUE(properties);
    EXPECT_EQ(std::max(properties->pixelWidth, properties->pixelHeight), 2012);

    copyImage();
    EXPECT_EQ(state().toastText(), "画像をコピーしました");
    EXPECT_FALSE(pasteboard.items.empty());
}

// ノイズ（輝度） on a Fujifilm X-Trans file, whose colour pattern LibRaw's own reduction cannot take:
// at its smallest step the loupe and この1枚を書き出す show the picture of ±0 (no halved resolution,
// no coloured fringes); at 100 they show it calmer and without a colour cast, and exporting the
// same edit twice gives the same picture.
TEST_F(RawDevelopmentWindowTest, LuminanceNoiseReductionOfAnXTransFileKeepsItsDetailAndColour) {
    addPhoto(test::kXTransSample, "xtrans.raf");
    openWindow();
    ASSERT_EQ(currentPath(), "xtrans.raf");
    key(Qt::Key_O); // RAW現像
    const SharedImage plainLoupe = loupePicture();
    const SharedImage plain = exportedPicture("plain.jpg");
    ASSERT_TRUE(plainLoupe && plain);
    EXPECT_EQ(plain->width(), 2012);

    key(Qt::Key_L);
    ASSERT_EQ(state().library()->currentParameters()[PhotoParameter::raw_noise_luminance], 1);
    const SharedImage smallestLoupe = loupePicture();
    const SharedImage smallest = exportedPicture("smallest.jpg");
    ASSERT_TRUE(smallestLoupe && smallest);
    ASSERT_EQ(smallestLoupe->byteCount(), plainLoupe->byteCount());
    ASSERT_EQ(smallest->byteCount(), plain->byteCount());
    EXPECT_GE(psnr(*smallestLoupe, *plainLoupe), 40.0);
    EXPECT_GE(psnr(*smallest, *plain), 40.0);

    for (int i = 0; i < 20; ++i) {
        press(&window(), Qt::Key_L, Qt::ShiftModifier);
        release(&window(), Qt::Key_L, Qt::ShiftModifier);
    }
    settle();
    redraw();
    ASSERT_EQ(state().library()->currentParameters()[PhotoParameter::raw_noise_luminance], 100);
    const SharedImage highestLoupe = loupePicture();
    const SharedImage highest = exportedPicture("highest.jpg");
    const SharedImage again = exportedPicture("again.jpg");
    ASSERT_TRUE(highestLoupe && highest && again);
    ASSERT_EQ(highestLoupe->byteCount(), plainLoupe->byteCount());
    EXPECT_LT(roughness(*highestLoupe), roughness(*plainLoupe) * 0.97);
    EXPECT_LT(logChromaShift(*highestLoupe, *plainLoupe), 0.02);
    EXPECT_LT(roughness(*highest), roughness(*plain) * 0.97);
    EXPECT_LT(logChromaShift(*highest, *plain), 0.02);
    ASSERT_EQ(again->byteCount(), highest->byteCount());
    EXPECT_EQ(std::memcmp(again->data(), highest->data(), highest->byteCount()), 0);
}

// A RAW file whose sensor data the decoder never filled (lossless tiles that hold no JPEG) shows the
// failure note, not a black picture; the one-photo export refuses it as unreadable, and
// 画像をコピー puts nothing on the clipboard.
TEST_F(RawDevelopmentWindowTest, ARawFileTheDecoderCannotFillIsNoBlackPicture) {
    damaged::write(damaged::losslessTilesWithoutJpeg(), photos() / "no_jpeg.dng");
    openWindow();
    ASSERT_EQ(currentPath(), "no_jpeg.dng");
    EXPECT_TRUE(canvas().model().showsFailureNote);

    const auto exported = exportCurrentPhoto();
    EXPECT_EQ(alerts.shown, (std::vector<std::pair<std::string, std::string>>{
                                {"書き出しに失敗しました",
                                 "ファイルを読み込めませんでした（壊れているか、対応していない形式です）"}}));
    EXPECT_FALSE(std::filesystem::exists(exported));

    copyImage();
    EXPECT_EQ(state().toastText(), "画像をコピーできませんでした");
    EXPECT_TRUE(pasteboard.items.empty());
}

} // namespace
} // namespace sorvin::test
