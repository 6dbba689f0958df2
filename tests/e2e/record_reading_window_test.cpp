// A folder opened at the real window, on its real main queue and thread pool, whose record lies on
// a share that answers every question late, or stops answering: the window never waits on the
// share while the record is read, the loading screen stays up meanwhile, and キャンセル leaves
// it at once whatever the share does.

#include "app/app_state.hpp"
#include "platform/background_executor.hpp"
#include "support/asked_files.hpp"
#include "support/main_thread_work.hpp"
#include "support/slow_share.hpp"
#include "support/temporary_home.hpp"
#include "ui/app/main_window.hpp"
#include "ui/app/root_view.hpp"
#include "ui/app/sorvin_application.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/home/home_view.hpp"
#include "ui/loading/loading_view.hpp"
#include "ui/ui_test_fixture.hpp"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;

// Each question to the share: far longer than the main thread may hold the event loop.
constexpr auto kShareAnswer = std::chrono::milliseconds(500);

// Where the folder's record is read and written: a share that may answer every question late, and
// may stop answering until it resumes (or a question has waited 20 s, so that a failed test ends).
// Counts the questions the main thread asks.
class RecordShare final : public AskedFiles {
public:
    void answerEachAfter(std::chrono::milliseconds delay) {
        const std::lock_guard lock(mutex_);
        delay_ = delay;
    }
    void stop() {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    // From now on a stop holds only the questions about files in `folder`: another folder lies on
    // another disk.
    void liesUnder(const fs::path& folder) {
        const std::lock_guard lock(mutex_);
        folder_ = folder;
    }
    void resume() {
        const std::lock_guard lock(mutex_);
        stopped_ = false;
        changed_.notify_all();
    }
    // The questions held by the stopped share now.
    int held() const {
        const std::lock_guard lock(mutex_);
        return held_;
    }
    int askedOnTheMainThread() const {
        const std::lock_guard lock(mutex_);
        return askedOnTheMainThread_;
    }
    int asked() const {
        const std::lock_guard lock(mutex_);
        return asked_;
    }

private:
    void asking(const fs::path& path) const override {
        std::unique_lock lock(mutex_);
        if (!folder_.empty() && path.parent_path() != folder_) return;
        if (std::this_thread::get_id() == mainThread_) ++askedOnTheMainThread_;
        ++asked_;
        ++held_;
        if (!changed_.wait_for(lock, std::chrono::seconds(20), [&] { return !stopped_; })) stopped_ = false;
        --held_;
        const auto delay = delay_;
        lock.unlock();
        std::this_thread::sleep_for(delay);
    }

    const std::thread::id mainThread_ = std::this_thread::get_id();
    fs::path folder_;
    std::chrono::milliseconds delay_{0};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    mutable bool stopped_ = false;
    mutable int held_ = 0;
    mutable int askedOnTheMainThread_ = 0;
    mutable int asked_ = 0;
};

class RecordReadingWindowTest : public ::testing::Test {
protected:
    RecordReadingWindowTest() {
        application();
        fs::create_directories(photos());
        int number = 0;
        for (const char* name :
             {"canon_50d_progressive_adobergb_gps_lens.jpg", "canon_6d_adobergb_gps_lens.jpg",
              "iceland_displayp3_nikon_d800e.jpg", "iceland_srgb_untagged_nikon_d800e.jpg",
              "nikon_d40_orient6.jpg", "nikon_d70s_gps_lens.jpg"})
            fs::copy_file(sample(std::string("jpeg/") + name),
                          photos() / (std::to_string(++number) + ".jpg"));
        std::ofstream(photos() / "sorvin.json")
            << R"({"version": 2, "app": "Sorvin", "updatedAt": "x", "photos": {"4.jpg": {"heart": true}}})";
        chooser.answer = photos();
        program = std::make_unique<SorvinApplication>(application(), &chooser, &share);
        window().show();
        window().activateWindow();
        // The browsing screen is built once before the share slows down, as after a first
        // folder: what is measured is the opening, not the first drawing of every panel.
        chooseTheFolder();
        EXPECT_TRUE(waitFor([&] { return browsing(); }));
        share.answerEachAfter(kShareAnswer);
    }
    ~RecordReadingWindowTest() override {
        share.resume();
        program.reset();
    }

    fs::path photos() const { return root / "photos"; }
    MainWindow& window() { return program->mainWindow(); }
    RootView& screens() { return *window().rootView(); }
    AppState& state() { return program->state(); }

    // Turns the event loop until the condition holds; false when it did not within a while only a
    // window that waits for something that never comes takes.
    static bool waitFor(const std::function<bool()>& condition) {
        return turnEventsUntil(condition, testMilliseconds() / 2);
    }
    // Turns the event loop for the time.
    static void turnFor(std::chrono::milliseconds time) {
        QElapsedTimer elapsed;
        elapsed.start();
        waitFor([&] { return elapsed.elapsed() >= time.count(); });
    }
    // Ctrl+O, as the user chooses the folder to open, and the loading screen it brings.
    void chooseTheFolder() {
        ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == &window(); }));
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &window(), Qt::Key_O, Qt::ControlModifier);
        ASSERT_TRUE(waitFor([&] { return screens().currentScreen() == screens().loadingView(); }));
    }
    bool browsing() { return screens().currentScreen() == screens().selectView(); }
    void cancelLoading() {
        auto* cancel = screens().loadingView()->findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        EXPECT_EQ(cancel->text(), QStringLiteral("キャンセル"));
        QTest::mouseClick(cancel, Qt::LeftButton);
        EXPECT_EQ(screens().currentScreen(), screens().homeView());
    }
    // Turns the event loop until the share has been asked nothing for a while: whatever was out
    // has ended.
    void untilTheShareRests() {
        for (int look = 0; look < 30; ++look) {
            const int asked = share.asked();
            turnFor(std::chrono::milliseconds(1500));
            if (share.asked() == asked && share.held() == 0) return;
        }
        ADD_FAILURE() << "the share never rested";
    }

    TemporaryFolder root;
    TemporaryHome home{root / "home"};
    ScriptedFolderPanel chooser;
    RecordShare share;
    std::unique_ptr<SorvinApplication> program;
};

// Half a second for each question about the record: the loading screen stays until the record is
// read, and the folder then shows what it holds; the window answered all along, and never asked
// the share anything itself.
TEST_F(RecordReadingWindowTest, ARecordOnAShareThatAnswersLateNeverHoldsTheWindow) {
    MainThreadWork work;
    chooseTheFolder();
    ASSERT_TRUE(waitFor([&] { return browsing(); }));
    RecordProperty("longestMainThreadMilliseconds", static_cast<int>(work.longestMilliseconds()));
    EXPECT_LT(work.longestMilliseconds(), kLongestWorkMilliseconds);
    EXPECT_EQ(share.askedOnTheMainThread(), 0);
    EXPECT_TRUE(state().library()->containsHeart("4.jpg", RetouchSlot::a));
}

// The share stops as the record is read. キャンセル leaves the loading screen at once, and what the
// share answers once it resumes is dropped. Chosen again and stopping once more for a while, the
// folder shows once the share answers. The window answered all along.
TEST_F(RecordReadingWindowTest, ARecordOnAShareThatStopsNeverHoldsTheWindow) {
    MainThreadWork work;
    share.stop();
    int asked = share.asked();
    chooseTheFolder();
    ASSERT_TRUE(waitFor([&] { return share.asked() > asked; })) << "the record is asked";
    turnFor(std::chrono::seconds(1));
    EXPECT_EQ(screens().currentScreen(), screens().loadingView());
    cancelLoading();

    share.resume();
    untilTheShareRests(); // the rest of the reading, answered late
    EXPECT_EQ(screens().currentScreen(), screens().homeView()) << "the cancelled reading was dropped";
    EXPECT_FALSE(state().library());

    share.stop();
    asked = share.asked();
    chooseTheFolder();
    ASSERT_TRUE(waitFor([&] { return share.asked() > asked; })) << "the record is asked";
    turnFor(std::chrono::seconds(2));
    EXPECT_EQ(screens().currentScreen(), screens().loadingView());
    share.resume();
    ASSERT_TRUE(waitFor([&] { return browsing(); }));
    EXPECT_TRUE(state().library()->containsHeart("4.jpg", RetouchSlot::a));
    RecordProperty("longestMainThreadMilliseconds", static_cast<int>(work.longestMilliseconds()));
    EXPECT_LT(work.longestMilliseconds(), kLongestWorkMilliseconds);
    EXPECT_EQ(share.askedOnTheMainThread(), 0);
}

// The user tries the folder on the stopped share again and again, cancelling each time, until its
// readings hold every worker the program has, then opens a folder on the local disk: that folder
// shows while the share still holds every reading of its own.
TEST_F(RecordReadingWindowTest, ReadingsAStoppedShareHoldsKeepNoOtherFolderWaiting) {
    const fs::path local = root / "local";
    fs::create_directories(local);
    fs::copy_file(sample("jpeg/nikon_d70s_gps_lens.jpg"), local / "local.jpg");
    share.liesUnder(photos());
    share.answerEachAfter(std::chrono::milliseconds(0));
    share.stop();
    const int workers = ThreadPoolExecutor::workerCount();
    for (int tried = 1; tried <= workers; ++tried) {
        chooseTheFolder();
        ASSERT_TRUE(waitFor([&] { return share.held() == tried; })) << "reading " << tried << " is held";
        cancelLoading();
    }
    MainThreadWork work;
    chooser.answer = local;
    chooseTheFolder();
    ASSERT_TRUE(waitFor([&] { return browsing() || share.held() == 0; }));
    EXPECT_TRUE(browsing());
    EXPECT_EQ(share.held(), workers) << "the local folder waited for the share";
    EXPECT_LT(work.longestMilliseconds(), kLongestWorkMilliseconds);
}

// A folder of many photos on a real share (a FUSE pass-through of our own) that stops while the
// scan reads the photos, every worker of the pool then waiting on the share inside the scan. After
// キャンセル a folder on the local disk is opened: it shows while the share still holds the scan.
TEST_F(RecordReadingWindowTest, AScanAStoppedShareHoldsKeepsNoOtherFolderWaiting) {
    SlowShare cloud(root / "cloud source", root / "cloud");
    if (!cloud.skipReason().empty()) GTEST_SKIP() << cloud.skipReason();
    const int workers = ThreadPoolExecutor::workerCount();
    for (int photo = 0; photo < 4 * (workers + 1); ++photo)
        fs::copy_file(sample("jpeg/nikon_d70s_gps_lens.jpg"),
                      root / "cloud source" / (std::to_string(photo) + ".jpg"));
    const fs::path local = root / "local";
    fs::create_directories(local);
    fs::copy_file(sample("jpeg/nikon_d70s_gps_lens.jpg"), local / "local.jpg");
    share.answerEachAfter(std::chrono::milliseconds(0)); // the records answer at once

    cloud.answerEachAfter(std::chrono::milliseconds(100));
    cloud.clearCallLog();
    chooser.answer = cloud.path();
    chooseTheFolder();
    ASSERT_TRUE(waitFor([&] {
        for (const SlowShare::Call& call : cloud.calls())
            if (call.op == "read" && call.path.ends_with(".jpg")) return true;
        return false;
    })) << "the scan reads the photos";
    cloud.stop(std::chrono::seconds(90));
    turnFor(std::chrono::seconds(1)); // the scan's workers reach the share
    cancelLoading();

    MainThreadWork work;
    chooser.answer = local;
    chooseTheFolder();
    ASSERT_TRUE(waitFor([&] { return browsing() || cloud.resumedByWatchdog(); }));
    EXPECT_TRUE(browsing());
    EXPECT_FALSE(cloud.resumedByWatchdog()) << "the local folder waited for the share";
    EXPECT_EQ(state().sourceFolder(), local);
    EXPECT_LT(work.longestMilliseconds(), kLongestWorkMilliseconds);
    cloud.resume();
}

} // namespace
} // namespace sorvin::test
