#include "ui/app/root_view.hpp"
#include "ui/platform/sorvin_look.hpp"
#include "ui_test_fixture.hpp"

#include <QDir>
#include <QPixmap>

namespace sorvin::test {
namespace {

// Pictures of the screens for a person to look at; runs only when SORVIN_SCREENSHOT_DIR names a
// folder (for example under xvfb-run with the xcb platform).
class ScreenshotTest : public MainWindowTest {};

TEST_F(ScreenshotTest, SavesTheScreens) {
    const QString folder = qEnvironmentVariable("SORVIN_SCREENSHOT_DIR");
    if (folder.isEmpty()) GTEST_SKIP() << "SORVIN_SCREENSHOT_DIR is not set";
    SorvinLook::apply(application());
    addStandardPhotos();
    window().show();
    const auto save = [&](const QString& name) {
        QCoreApplication::processEvents();
        ASSERT_TRUE(window().grab().save(QDir(folder).filePath(name)));
    };
    save("home-empty.png");
    state().open(photos());
    save("loading.png");
    settle();
    state().showToasts({"♡を付けました"}, 2.0);
    save("browsing-toast.png");
    state().cancelLoading();
    save("home-recent.png");
}

} // namespace
} // namespace sorvin::test
