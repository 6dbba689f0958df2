// The browsing window end to end (offscreen platform, the application's own main queue and
// executor): a folder of 24 MP JPEGs (6000 x 4000), each developed or none, walked with the Down
// key. Measured in the same run:
// - KeyToPaint: from the key event to the canvas painting the next photo (developed when it has a
//   development), the window at its default size;
// - StateStep: the same step made through the application state alone, up to the published
//   image, without the window's work (the loader's step);
// - HeldKey: Down held at 10 or 30 steps per second; counters give the pace reached and the delay
//   from each step to the paint of its photo;
// - CopyDisplayedBitmap: one copy of the bitmap the canvas draws, the baseline.
#include "app/app_state.hpp"
#include "library/photo_library.hpp"
#include "persistence/app_settings.hpp"
#include "persistence/preference_key.hpp"
#include "platform/background_executor.hpp"
#include "platform/defaults_store.hpp"
#include "synthetic_photo.hpp"
#include "ui/app/app_delegate.hpp"
#include "ui/app/main_window.hpp"
#include "ui/canvas/photo_canvas_view.hpp"
#include "ui/platform/qt_main_queue.hpp"
#include "ui/platform/qt_pasteboard.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

namespace sorvin {
namespace {

constexpr int kPhotoCount = 24;

QApplication& application() {
    static int argc = 1;
    static char name[] = "main_window_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication::setStyle(QStringLiteral("Fusion"));
        return new QApplication(argc, argv);
    }();
    return *app;
}

double seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Counts the canvas's paints of the current photo's finished image, and when the last was.
class PaintWatch final : public QObject {
public:
    std::function<bool()> showsCurrentPhoto;
    int paints = 0;
    double lastPaint = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && showsCurrentPhoto && showsCurrentPhoto()) {
            ++paints;
            lastPaint = seconds();
        }
        return QObject::eventFilter(watched, event);
    }
};

// The application over a folder of hard links to one synthetic photo, in a shown main window.
class Window {
public:
    explicit Window(bool developed, int holdRate = 10) {
        application();
        folder_ =
            std::filesystem::temp_directory_path() / ("sorvin-window-bench-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_ / "photos");
        for (int i = 0; i < kPhotoCount; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "p%03d.jpg", i);
            std::filesystem::create_hard_link(bench::syntheticJpegFile(), folder_ / "photos" / name);
        }
        defaults_.set(PreferenceKey::holdAdvanceRate, holdRate);
        defaults_.set(PreferenceKey::lowMemoryMode, false);
        AppStateEnvironment environment{queue_, executor_, pasteboard_};
        environment.cachesRoot = folder_ / "caches";
        environment.applicationSupportDirectory = folder_ / "support";
        environment.legacyApplicationSupportDirectory = folder_ / "legacy";
        state_ = std::make_unique<AppState>(settings_, environment);
        window_ = std::make_unique<MainWindow>(*state_, delegate_, queue_);
        window_->show();
        state_->open(folder_ / "photos");
        serveUntil([&] { return state_->screen() == AppScreen::select; }, 30);
        if (developed) {
            do {
                state_->setCurrentParameter(PhotoParameter::exposure, 20);
                state_->setCurrentParameter(PhotoParameter::contrast, 15);
            } while (state_->move(1));
            state_->jumpToStart();
        }
        canvas_ = window_->findChild<PhotoCanvasView*>();
        watch_.showsCurrentPhoto = [this] { return canvasShowsCurrentPhoto(); };
        canvas_->installEventFilter(&watch_);
        settle();
    }
    ~Window() {
        window_.reset();
        state_.reset();
        std::filesystem::remove_all(folder_);
    }

    AppState& state() { return *state_; }
    PaintWatch& watch() { return watch_; }

    // Runs the event loop until the condition holds or the time (seconds) is up.
    template <typename Done>
    void serveUntil(Done done, double limit) {
        const double end = seconds() + limit;
        QTimer tick; // wakes the loop now and then to look at the condition and the time
        tick.start(5);
        while (!done() && seconds() < end)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    // Until the loader has nothing left to do and the window is quiet, for a third of a second.
    void settle() {
        double quietSince = seconds();
        serveUntil(
            [&] {
                if (busy()) quietSince = seconds();
                return seconds() - quietSince > 0.35;
            },
            20);
    }

    void key(QEvent::Type type) {
        QKeyEvent event(type, Qt::Key_Down, Qt::NoModifier);
        static quint64 clock = 1;
        event.setTimestamp(++clock);
        QApplication::sendEvent(window_.get(), &event);
    }
    // Back to the first photo when the end comes near, untimed.
    void rewindIfNeeded() {
        if (state_->library()->cursorIndex() < kPhotoCount - 4) return;
        state_->jumpToStart();
        settle();
    }

    std::string currentPath() const {
        const Photo* photo = state_->library()->currentPhoto();
        return photo ? photo->relativePath : std::string();
    }

    // Whether the canvas's model holds the current photo's finished image: developed when the
    // photo has a development.
    bool canvasShowsCurrentPhoto() {
        const Photo* photo = state_->library()->currentPhoto();
        const SharedImage& shown = canvas_->model().displayImage;
        if (!photo || !shown) return false;
        const PhotoParameters parameters = state_->library()->currentParameters();
        ImageLoader& loader = state_->imageLoader();
        if (parameters.values.isEmpty()) return shown == loader.image(*photo, PhotoSource::jpeg, true);
        const auto& developed = loader.parameterState();
        return developed.cacheKey && developed.cacheKey->path == photo->relativePath &&
               shown == developed.image;
    }

private:
    bool busy() {
        ImageLoader& loader = state_->imageLoader();
        return loader.displayDecodeCount() > 0 || loader.neighbourPreparationCount() > 0 ||
               loader.isRenderingParameters() || loader.isPreparingOriginalPreview();
    }

    std::filesystem::path folder_;
    QtMainQueue queue_;
    ThreadPoolExecutor executor_;
    QtPasteboard pasteboard_;
    DefaultsStore defaults_;
    AppSettings settings_{defaults_, std::uint64_t{1} << 35};
    AppDelegate delegate_{nullptr};
    std::unique_ptr<AppState> state_;
    std::unique_ptr<MainWindow> window_;
    PhotoCanvasView* canvas_ = nullptr;
    PaintWatch watch_;
};

// Thirty steps over undeveloped photos, thirty over developed ones.
void stepsOfBothKinds(benchmark::internal::Benchmark* b) {
    b->ArgName("developed")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);
}

void KeyToPaint(benchmark::State& state) {
    Window window(state.range(0) != 0);
    for (auto _ : state) {
        state.PauseTiming();
        window.rewindIfNeeded();
        const int paints = window.watch().paints;
        const std::string before = window.currentPath();
        state.ResumeTiming();
        window.key(QEvent::KeyPress);
        window.key(QEvent::KeyRelease);
        window.serveUntil([&] { return window.watch().paints > paints && window.currentPath() != before; },
                          10);
        state.PauseTiming();
        window.settle();
        state.ResumeTiming();
    }
}
BENCHMARK(KeyToPaint)->Apply(stepsOfBothKinds);

void StateStep(benchmark::State& state) {
    Window window(state.range(0) != 0);
    for (auto _ : state) {
        state.PauseTiming();
        window.rewindIfNeeded();
        state.ResumeTiming();
        window.state().move(1);
        benchmark::DoNotOptimize(window.state().imageLoader().parameterState().image);
        state.PauseTiming();
        window.settle();
        state.ResumeTiming();
    }
}
BENCHMARK(StateStep)->Apply(stepsOfBothKinds);

// Down held for 20 steps at the rate given, on developed photos: when each step moved the cursor
// and when the canvas first painted the photo it moved to.
void HeldKey(benchmark::State& state) {
    const int rate = static_cast<int>(state.range(0));
    Window window(true, rate);
    std::vector<double> delays;
    double pace = 0;
    for (auto _ : state) {
        window.state().jumpToStart();
        window.settle();
        std::vector<double> steps;
        std::string path = window.currentPath();
        bool painted = true;
        auto moved = window.state().library()->changed.connect([&](LibraryFields) {
            if (window.currentPath() == path) return;
            path = window.currentPath();
            steps.push_back(seconds());
            painted = false;
        });
        int paints = window.watch().paints;
        window.key(QEvent::KeyPress);
        window.serveUntil(
            [&] {
                if (!painted && window.watch().paints > paints && window.watch().lastPaint >= steps.back()) {
                    delays.push_back(window.watch().lastPaint - steps.back());
                    painted = true;
                }
                paints = window.watch().paints;
                return steps.size() >= 20 && painted;
            },
            30);
        window.key(QEvent::KeyRelease);
        // The pace after the first repeat (the first step waits a quarter of a second).
        if (steps.size() > 2) pace = static_cast<double>(steps.size() - 2) / (steps.back() - steps[1]);
    }
    std::sort(delays.begin(), delays.end());
    state.counters["steps_per_s"] = pace;
    state.counters["paint_delay_median_ms"] = delays.empty() ? -1 : 1000 * delays[delays.size() / 2];
    state.counters["paint_delay_max_ms"] = delays.empty() ? -1 : 1000 * delays.back();
}
BENCHMARK(HeldKey)
    ->ArgName("rate")
    ->Arg(10)
    ->Arg(30)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// The developed display image of a photo, as a step publishes it.
void CopyDisplayedBitmap(benchmark::State& state) {
    Window window(true);
    window.state().move(1);
    window.settle();
    const SharedImage shown = window.state().imageLoader().parameterState().image;
    std::vector<std::uint8_t> copy(shown->byteCount());
    for (auto _ : state) {
        std::memcpy(copy.data(), shown->data(), shown->byteCount());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.counters["width"] = shown->width();
}
BENCHMARK(CopyDisplayedBitmap)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace sorvin
