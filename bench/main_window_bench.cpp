// The browsing window end to end (offscreen platform, the application's own main queue and
// executor): a folder of 24 MP JPEGs (6000 x 4000), each developed or none, walked with the Down
// key. Measured in the same run:
// - KeyToPaint: from the key event to the canvas painting the next photo (developed when it has a
//   development), the window at its default size;
// - StateStep: the same step made through the application state alone, up to the published
//   image, without the window's work (the loader's step);
// - HeldKey: Down held at 10 or 30 steps per second over the developed photos; counters give the
//   pace reached (the slowest of the rounds), the delay from each step (the event that makes it) to
//   the paint of its photo, the photos passed before theirs was painted, how often the EXIF panel
//   laid itself out, how much of the file list was repainted per step, and the main thread's own
//   processor time (and the part of it in the kernel), waits, preemptions and page faults in the
//   slowest step, and how much slower than usual the main thread read memory and computed just
//   after that step's paint;
// - HeldKeyOnABusyMachine: Down held at 10 steps per second over the developed photos while as many
//   threads as the machine has cores spin at the program's priority, as another busy program of the
//   same session would (a build started from the same terminal);
// - HeldKeyMixed: the same at 30 steps per second over a folder of 5,000 photos of every kind (the
//   24 MP JPEG and each sample JPEG, HEIF, NEF and DNG in turn, as hard links under names of their
//   own, in name order), undeveloped;
// - TapMixed: Down tapped 40 times over that folder, the window left to settle after each tap until
//   the EXIF panel and the histogram of the photo are filled in; the main thread's processor time
//   per tap, from the key press until the window is quiet again, and the area of the photo painted
//   per tap, in whole photo areas;
// - CopyDisplayedBitmap: one copy of the bitmap the canvas draws, the baseline.
// - HistogramGraph: the EXIF panel's histogram drawn once after a photo's histogram arrives, at the
//   panel's default width, for two sample photos in turn; HistogramAsPaths, the baseline, fills the
//   same bars as antialiased paths with Qt's painter.
#include "sample_photos.hpp"
#include "../tests/support/histogram_as_paths.hpp"
#include "app/app_state.hpp"
#include "app/panel_resize_limits.hpp"
#include "library/photo_library.hpp"
#include "loading/histogram_image_processor.hpp"
#include "loading/image_decoder.hpp"
#include "persistence/app_settings.hpp"
#include "persistence/preference_key.hpp"
#include "platform/background_executor.hpp"
#include "platform/defaults_store.hpp"
#include "platform/memory_return.hpp"
#include "platform/regular_file.hpp"
#include "shell/exif_panel_model.hpp"
#include "synthetic_photo.hpp"
#include "ui/app/app_delegate.hpp"
#include "ui/app/main_window.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/exif_panel_view.hpp"
#include "ui/browsing/file_list_panel.hpp"
#include "ui/browsing/histogram_graph_view.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/canvas/photo_canvas_view.hpp"
#include "ui/platform/qt_main_queue.hpp"
#include "ui/platform/qt_pasteboard.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cctype>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <numeric>
#include <random>
#include <stdexcept>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace sorvin {
namespace {

constexpr int kPhotoCount = 24;

QApplication& application() {
    static int argc = 1;
    static char name[] = "main_window_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        MemoryReturn::configureAllocator(); // as the program does at start
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication::setStyle(QStringLiteral("Fusion"));
        return new QApplication(argc, argv);
    }();
    return *app;
}

double seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The canvas's paints of the current photo's finished image: how many, when the last was, and
// what to do after each.
struct PaintWatch {
    std::function<void()> painted;
    int paints = 0;
    double lastPaint = 0;
    double paintedAreas = 0; // the painted parts of the canvas, in whole canvases
};

// Hands each event of the widgets it watches to a function.
class EventHook final : public QObject {
public:
    explicit EventHook(std::function<void(QEvent*)> seen) : seen_(std::move(seen)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        seen_(event);
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(QEvent*)> seen_;
};

// Fills a folder with photos.
using FolderFill = std::function<void(const std::filesystem::path&)>;

// kPhotoCount hard links to the 24 MP JPEG.
void syntheticPhotos(const std::filesystem::path& photos) {
    for (int i = 0; i < kPhotoCount; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "p%03d.jpg", i);
        std::filesystem::create_hard_link(bench::syntheticJpegFile(), photos / name);
    }
}

// The application over a folder of hard links to one synthetic photo, in a shown main window.
class Window {
public:
    explicit Window(bool developed, int holdRate = 10, const FolderFill& fill = syntheticPhotos,
                    const std::string& sortKey = "date") {
        folder_ =
            std::filesystem::temp_directory_path() / ("sorvin-window-bench-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_ / "photos");
        fill(folder_ / "photos");
        defaults_.set(PreferenceKey::holdAdvanceRate, holdRate);
        defaults_.set(PreferenceKey::lowMemoryMode, false);
        defaults_.set(PreferenceKey::sortKey, sortKey);
        AppStateEnvironment environment{queue_, executor_, pasteboard_};
        environment.cachesRoot = folder_ / "caches";
        environment.applicationSupportDirectory = folder_ / "support";
        environment.legacyApplicationSupportDirectory = folder_ / "legacy";
        state_ = std::make_unique<AppState>(settings_, environment);
        window_ = std::make_unique<MainWindow>(*state_, delegate_, queue_);
        window_->show();
        state_->open(folder_ / "photos");
        serveUntil([&] { return state_->screen() == AppScreen::select; }, 60);
        if (developed) {
            // Up to the last photo and no further: a step past it would bring up a toast that
            // fades during the measurements.
            const int count = static_cast<int>(state_->library()->visiblePhotos().size());
            for (int i = 0; i < count; ++i) {
                state_->setCurrentParameter(PhotoParameter::exposure, 20);
                state_->setCurrentParameter(PhotoParameter::contrast, 15);
                if (i + 1 < count) state_->move(1);
            }
            state_->jumpToStart();
        }
        canvas_ = window_->findChild<PhotoCanvasView*>();
        canvas_->installEventFilter(&canvasPaints_);
        SelectView* screen = window_->rootView()->selectView();
        screen->exifPanel()->widget()->installEventFilter(&exifLayouts_);
        screen->fileList()->list()->viewport()->installEventFilter(&listPaints_);
        settle();
    }
    ~Window() {
        window_.reset();
        state_.reset();
        std::filesystem::remove_all(folder_);
    }

    AppState& state() { return *state_; }
    PaintWatch& watch() { return watch_; }
    // The layouts the EXIF panel asked for, and the pixels the file list repainted.
    int exifLayoutRequests() const { return exifLayoutRequests_; }
    double listPaintedPixels() const { return listPaintedPixels_; }

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
    // photo has a development, else its decoded image (a RAW file's development).
    bool canvasShowsCurrentPhoto() {
        const Photo* photo = state_->library()->currentPhoto();
        const SharedImage& shown = canvas_->model().displayImage;
        if (!photo || !shown) return false;
        const PhotoParameters parameters = state_->library()->currentParameters();
        ImageLoader& loader = state_->imageLoader();
        if (parameters.values.isEmpty())
            return shown == loader.image(*photo, state_->library()->currentSource(), true);
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

    // First: the delegate below connects to the application when it is made.
    [[maybe_unused]] QApplication& application_ = application();
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
    EventHook canvasPaints_{[this](QEvent* event) {
        if (event->type() != QEvent::Paint || !canvasShowsCurrentPhoto()) return;
        const QRect painted = static_cast<QPaintEvent*>(event)->rect();
        watch_.paintedAreas += static_cast<double>(painted.width()) * painted.height() /
                               (static_cast<double>(canvas_->width()) * canvas_->height());
        ++watch_.paints;
        watch_.lastPaint = seconds();
        if (watch_.painted) watch_.painted();
    }};
    int exifLayoutRequests_ = 0;
    EventHook exifLayouts_{
        [this](QEvent* event) { exifLayoutRequests_ += event->type() == QEvent::LayoutRequest; }};
    double listPaintedPixels_ = 0;
    EventHook listPaints_{[this](QEvent* event) {
        if (event->type() != QEvent::Paint) return;
        for (const QRect& rect : static_cast<QPaintEvent*>(event)->region())
            listPaintedPixels_ += static_cast<double>(rect.width()) * rect.height();
    }};
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

// How long the calling thread takes for a fixed piece of arithmetic and for a fixed chain of reads
// that each miss the caches (one per 64-byte line of a 16 MB buffer, in a random order), in
// seconds. Both are steady on a quiet machine; a step slowed by the machine's memory shows the reads
// many times slower while the arithmetic is not.
struct ThreadSpeed {
    double arithmetic = 0;
    double reads = 0;

    static ThreadSpeed now() {
        static const std::vector<std::uint32_t> chain = [] {
            constexpr std::uint32_t kLines = (16U << 20) / 64;
            std::vector<std::uint32_t> order(kLines);
            std::iota(order.begin(), order.end(), 0U);
            std::shuffle(order.begin(), order.end(), std::mt19937(7));
            std::vector<std::uint32_t> next(kLines * 16);
            for (std::uint32_t i = 0; i < kLines; ++i)
                next[order[i] * 16] = order[(i + 1) % kLines] * 16;
            return next;
        }();
        static std::uint32_t at = 0;
        ThreadSpeed speed;
        double start = seconds();
        double x = 1;
        for (int i = 0; i < 40000; ++i)
            x = x * 1.0000001 + 1e-9;
        benchmark::DoNotOptimize(x);
        speed.arithmetic = seconds() - start;
        start = seconds();
        for (int i = 0; i < 300; ++i)
            at = chain[at];
        benchmark::DoNotOptimize(at);
        speed.reads = seconds() - start;
        return speed;
    }
};

// What holding Down showed: when each step moved the cursor, how long after it the canvas first
// painted the photo it moved to, and how many photos it passed before painting theirs.
struct HeldWalk {
    // What the main thread did from a step to its paint: the processor time it was given, how often
    // it waited (a lock, another thread's work) and how often it was put aside for another thread.
    // A late step whose time was all the thread's own, in user space, with no wait and no page fault,
    // was slowed down by the machine, not held up by the program.
    struct Usage {
        double cpu = 0;
        double system = 0; // of cpu, in the kernel
        long waits = 0;
        long preemptions = 0;
        long faults = 0;
        static Usage now() {
            timespec time{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
            rusage usage{};
            getrusage(RUSAGE_THREAD, &usage);
            return {seconds(time), seconds(usage.ru_stime), usage.ru_nvcsw, usage.ru_nivcsw,
                    usage.ru_minflt + usage.ru_majflt};
        }
        static double seconds(const timespec& t) {
            return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
        }
        static double seconds(const timeval& t) {
            return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
        }
        Usage since(const Usage& start) const {
            return {cpu - start.cpu, system - start.system, waits - start.waits,
                    preemptions - start.preemptions, faults - start.faults};
        }
    };
    std::vector<double> paces;
    std::vector<double> delays;
    Usage slowest;                         // of the step with the longest delay
    ThreadSpeed slowestSpeed;              // just after the slowest step's paint
    std::vector<double> reads, arithmetic; // ThreadSpeed after every step's paint
    long waits = 0;                        // over all steps
    int unpainted = 0;
    int exifLayouts = 0;
    double listPixels = 0;
    std::size_t totalSteps = 0;

    // Down held from the first photo for the steps given.
    void walk(Window& window, int stepCount) {
        window.state().jumpToStart();
        window.settle();
        ThreadSpeed::now(); // makes its chain of reads before the walk
        std::vector<double> steps;
        std::string path = window.currentPath();
        bool painted = true;
        // A step starts with the event that makes it (the key press, then a timer's), before the
        // window's own listeners to the library, which come before this walk's, take in the move.
        double eventAt = 0;
        Usage atEvent;
        const auto eventStarts = [&] {
            eventAt = seconds();
            atEvent = Usage::now();
        };
        EventHook timers([&](QEvent* event) {
            if (event->type() == QEvent::Timer) eventStarts();
        });
        QApplication::instance()->installEventFilter(&timers);
        Usage atStep;
        auto moved = window.state().library()->changed.connect([&](LibraryFields) {
            if (window.currentPath() == path) return;
            path = window.currentPath();
            if (!painted) ++unpainted;
            steps.push_back(eventAt);
            atStep = atEvent;
            painted = false;
        });
        window.watch().painted = [&] {
            if (painted || steps.empty()) return;
            const Usage atPaint = Usage::now();
            const double delay = window.watch().lastPaint - steps.back();
            const Usage used = atPaint.since(atStep);
            const ThreadSpeed speed = ThreadSpeed::now(); // after the delay was taken
            reads.push_back(speed.reads);
            arithmetic.push_back(speed.arithmetic);
            if (delays.empty() || delay > *std::max_element(delays.begin(), delays.end())) {
                slowest = used;
                slowestSpeed = speed;
            }
            waits += used.waits;
            delays.push_back(delay);
            painted = true;
        };
        const int layouts = window.exifLayoutRequests();
        const double listPixelsBefore = window.listPaintedPixels();
        eventStarts();
        window.key(QEvent::KeyPress);
        window.serveUntil([&] { return static_cast<int>(steps.size()) >= stepCount && painted; },
                          10 + stepCount / 5.0);
        window.key(QEvent::KeyRelease);
        QApplication::instance()->removeEventFilter(&timers);
        exifLayouts += window.exifLayoutRequests() - layouts;
        listPixels += window.listPaintedPixels() - listPixelsBefore;
        totalSteps += steps.size();
        window.watch().painted = nullptr;
        moved.disconnect();
        unpainted += !painted;
        // The pace after the first repeat (the first step waits a quarter of a second).
        if (steps.size() > 2)
            paces.push_back(static_cast<double>(steps.size() - 2) / (steps.back() - steps[1]));
    }

    void report(benchmark::State& state) {
        std::sort(delays.begin(), delays.end());
        state.counters["steps_per_s"] = paces.empty() ? -1 : *std::min_element(paces.begin(), paces.end());
        state.counters["paint_delay_median_ms"] = delays.empty() ? -1 : 1000 * delays[delays.size() / 2];
        state.counters["paint_delay_max_ms"] = delays.empty() ? -1 : 1000 * delays.back();
        state.counters["slowest_cpu_ms"] = delays.empty() ? -1 : 1000 * slowest.cpu;
        state.counters["slowest_system_ms"] = delays.empty() ? -1 : 1000 * slowest.system;
        state.counters["slowest_faults"] = static_cast<double>(slowest.faults);
        state.counters["slowest_waits"] = static_cast<double>(slowest.waits);
        state.counters["slowest_preemptions"] = static_cast<double>(slowest.preemptions);
        // The slowest step's reads and arithmetic against their medians over every step.
        const auto median = [](std::vector<double> values) {
            std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
            return values[values.size() / 2];
        };
        state.counters["slowest_reads_x"] = delays.empty() ? -1 : slowestSpeed.reads / median(reads);
        state.counters["slowest_arithmetic_x"] =
            delays.empty() ? -1 : slowestSpeed.arithmetic / median(arithmetic);
        state.counters["waits_per_step"] = delays.empty() ? -1 : static_cast<double>(waits) / delays.size();
        state.counters["unpainted"] = unpainted;
        state.counters["exif_layouts"] = exifLayouts;
        // The file list's repainted area per step, in rows of the list.
        state.counters["list_rows_painted_per_step"] =
            totalSteps ? listPixels / static_cast<double>(totalSteps) /
                             (FileListPanelModel::kWidth * FileListRowModel::kRowHeight)
                       : -1;
    }
};

// Down held for 20 steps at the rate given, on developed photos, three rounds.
void HeldKey(benchmark::State& state) {
    Window window(true, static_cast<int>(state.range(0)));
    HeldWalk walk;
    for (auto _ : state)
        walk.walk(window, 20);
    walk.report(state);
}
BENCHMARK(HeldKey)
    ->ArgName("rate")
    ->Arg(10)
    ->Arg(30)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// As many busy threads as the machine has cores, for as long as it lives.
class BusyMachine {
public:
    BusyMachine() {
        for (unsigned i = 0; i < std::max(1U, std::thread::hardware_concurrency()); ++i)
            threads_.emplace_back([this] {
                while (!stop_.load(std::memory_order_relaxed)) {
                }
            });
    }
    ~BusyMachine() {
        stop_ = true;
        for (std::thread& thread : threads_)
            thread.join();
    }
    BusyMachine(const BusyMachine&) = delete;
    BusyMachine& operator=(const BusyMachine&) = delete;

private:
    std::atomic<bool> stop_ = false;
    std::vector<std::thread> threads_;
};

// Down held at 10 steps per second for 20 steps, three rounds, on a busy machine.
void HeldKeyOnABusyMachine(benchmark::State& state) {
    Window window(true, 10);
    HeldWalk walk;
    const BusyMachine busy;
    for (auto _ : state)
        walk.walk(window, 20);
    walk.report(state);
}
BENCHMARK(HeldKeyOnABusyMachine)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The photos of the mixed folder: the 24 MP JPEG, then every sample JPEG, HEIF, NEF and DNG.
std::vector<std::filesystem::path> photosOfEveryKind(const std::filesystem::path& copies) {
    namespace fs = std::filesystem;
    std::vector<fs::path> samples;
    for (const char* kind : {"jpeg", "heif", "raw"})
        for (const auto& entry : fs::recursive_directory_iterator(bench::samplesDir() / kind)) {
            std::string extension = entry.path().extension().string();
            std::transform(extension.begin(), extension.end(), extension.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (entry.is_regular_file() &&
                (extension == ".jpg" || extension == ".heic" || extension == ".nef" || extension == ".dng"))
                samples.push_back(entry.path());
        }
    std::sort(samples.begin(), samples.end());
    // Copies of our own, which may be linked whoever owns the samples.
    fs::create_directories(copies);
    std::vector<fs::path> photos{bench::syntheticJpegFile()};
    for (const fs::path& sample : samples) {
        photos.push_back(copies / (std::to_string(photos.size()) + sample.extension().string()));
        fs::copy_file(sample, photos.back());
    }
    return photos;
}

void mixedPhotos(const std::filesystem::path& folder) {
    constexpr int kCount = 5000;
    const auto photos = photosOfEveryKind(folder.parent_path() / "copies");
    for (int i = 0; i < kCount; ++i) {
        const std::filesystem::path& photo = photos[static_cast<std::size_t>(i) % photos.size()];
        char number[16];
        std::snprintf(number, sizeof number, "%05d_", i);
        // Numbered first, so that name order takes the kinds in turn.
        const std::string name = number +
                                 (i % 3 == 0   ? std::string("IMG_")
                                  : i % 3 == 1 ? std::string("DSC-")
                                               : std::string("Photo ")) +
                                 std::to_string(i * 7919 % 10007) + photo.extension().string();
        std::filesystem::create_hard_link(photo, folder / name);
    }
}

// Down held at 30 steps per second for 300 steps over the mixed folder, in name order.
void HeldKeyMixed(benchmark::State& state) {
    Window window(false, 30, mixedPhotos, "name");
    HeldWalk walk;
    for (auto _ : state)
        walk.walk(window, 300);
    walk.report(state);
}
BENCHMARK(HeldKeyMixed)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void TapMixed(benchmark::State& state) {
    Window window(false, 30, mixedPhotos, "name");
    const auto histogramShown = [&] {
        return window.state().histogramLoader().currentPath() == window.currentPath();
    };
    double used = 0;
    int taps = 0;
    const double areas = window.watch().paintedAreas;
    for (auto _ : state) {
        window.state().jumpToStart();
        window.settle();
        for (int i = 0; i < 40; ++i) {
            const double before = HeldWalk::Usage::now().cpu;
            window.key(QEvent::KeyPress);
            window.key(QEvent::KeyRelease);
            window.serveUntil(histogramShown, 20);
            window.settle();
            used += HeldWalk::Usage::now().cpu - before;
            ++taps;
        }
    }
    state.counters["main_thread_ms_per_tap"] = 1000 * used / taps;
    state.counters["canvases_painted_per_tap"] = (window.watch().paintedAreas - areas) / taps;
}
BENCHMARK(TapMixed)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

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

// The histograms of two sample photos of real scenes (a synthetic photo's is far simpler), and the
// graph's width in the panel at its default width.
struct Histograms {
    std::array<HistogramData, 2> data;
    double width = ExifPanelLayout::graphWidth(PanelResizeLimits::of(PanelResizeAxis::rightPanel).resetValue);
    Histograms() {
        application();
        const char* names[] = {"canon_6d_adobergb_gps_lens.jpg", "iceland_srgb_untagged_nikon_d800e.jpg"};
        for (std::size_t i = 0; i < data.size(); ++i) {
            const auto file = RegularFile::open(bench::samplesDir() / "jpeg" / names[i],
                                                std::uint64_t{1} << 30);
            const auto bytes = file ? file->readAll() : std::nullopt;
            if (!bytes) throw std::runtime_error(std::string("cannot read the sample ") + names[i]);
            data[i] =
                HistogramImageProcessor::process(ImageDecoder::decode(bytes->span(), 2048), 0, {}, {}, false)
                    ->histogram;
        }
    }
};

void HistogramGraph(benchmark::State& state) {
    const Histograms histograms;
    HistogramGraphView view(nullptr);
    QImage target(static_cast<int>(histograms.width), static_cast<int>(ExifPanelLayout::graphHeight),
                  QImage::Format_ARGB32_Premultiplied);
    std::size_t next = 0;
    for (auto _ : state) {
        view.setData(histograms.data[next++ % 2], histograms.width);
        view.render(&target);
    }
}
BENCHMARK(HistogramGraph)->Unit(benchmark::kMillisecond);

void HistogramAsPaths(benchmark::State& state) {
    const Histograms histograms;
    QImage target(static_cast<int>(histograms.width), static_cast<int>(ExifPanelLayout::graphHeight),
                  QImage::Format_ARGB32_Premultiplied);
    std::size_t next = 0;
    for (auto _ : state) {
        QPainter painter(&target);
        painter.fillRect(target.rect(), toQColor(ViewPalette::graphBackground));
        test::fillHistogramAsPaths(painter, histograms.data[next++ % 2], histograms.width);
    }
}
BENCHMARK(HistogramAsPaths)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace sorvin
