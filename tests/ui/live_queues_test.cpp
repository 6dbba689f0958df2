#include "app/app_state.hpp"
#include "platform/background_executor.hpp"
#include "ui/app/app_delegate.hpp"
#include "ui/app/main_window.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/loading/loading_view.hpp"
#include "ui/platform/qt_main_queue.hpp"
#include "ui/platform/qt_pasteboard.hpp"
#include "ui_test_fixture.hpp"

#include <QElapsedTimer>
#include <QTimer>

namespace sorvin::test {
namespace {

// The application over the real main queue and thread pool: a folder scanned in the background
// reaches the browsing screen through Qt's event loop.
TEST(LiveQueues, AFolderOpensThroughTheEventLoop) {
    application();
    TemporaryFolder root;
    const auto photos = root / "photos";
    std::filesystem::create_directories(photos);
    std::filesystem::copy_file(sample("jpeg/nikon_d70s_gps_lens.jpg"), photos / "a.jpg");
    std::filesystem::copy_file(sample("jpeg/canon_6d_adobergb_gps_lens.jpg"), photos / "b.jpg");

    DefaultsStore defaults;
    AppSettings settings(defaults, std::uint64_t{1} << 35);
    QtMainQueue queue;
    auto executor = std::make_unique<ThreadPoolExecutor>();
    QtPasteboard pasteboard;
    auto state = std::make_unique<AppState>(settings, AppStateEnvironment{queue,
                                                                          *executor,
                                                                          pasteboard,
                                                                          nullptr,
                                                                          nullptr,
                                                                          nullptr,
                                                                          nullptr,
                                                                          root / "caches",
                                                                          root / "support",
                                                                          root / "legacy",
                                                                          {},
                                                                          {},
                                                                          {},
                                                                          {},
                                                                          {},
                                                                          {}});
    AppDelegate delegate(nullptr);
    auto window = std::make_unique<MainWindow>(*state, delegate, queue);
    window->show();

    state->open(photos);
    EXPECT_EQ(window->rootView()->currentScreen(), window->rootView()->loadingView());
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer wake;
    wake.start(20);
    while (state->screen() != AppScreen::select && elapsed.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    ASSERT_EQ(state->screen(), AppScreen::select);
    EXPECT_EQ(window->rootView()->currentScreen(), window->rootView()->selectView());
    EXPECT_FALSE(window->rootView()->selectView()->shownName().isEmpty());

    // Background work stops before what it reports to goes away.
    state->prepareForTermination();
    window.reset();
    executor.reset();
    state.reset();
}

} // namespace
} // namespace sorvin::test
