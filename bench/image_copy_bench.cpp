// 画像をコピー on an edited 24-megapixel JPEG (6000 x 4000): the whole copy (the rendering at 2048
// pixels on the long edge, then the PNG and TIFF the clipboard is offered) beside the rendering
// alone, the baseline, measured in the same run. The copy should cost at most 1.5 times the
// rendering: copy_over_render on the copy's line times both parts in the same iterations. Run with
// --benchmark_repetitions=5 and compare medians. The encoding of one rendered image alone is
// reported too.
#include "app/app_state.hpp"
#include "export/exporter_rendering.hpp"
#include "loading/image_clipboard_payload.hpp"
#include "model/photo.hpp"
#include "model/photo_parameters.hpp"
#include "synthetic_photo.hpp"

#include <benchmark/benchmark.h>
#include <chrono>
#include <stdexcept>

namespace sorvin {
namespace {

// The photo as the clipboard command renders it: exposure, contrast and a vignette.
struct EditedPhoto {
    Photo photo;
    PhotoParameters parameters;
};

const EditedPhoto& editedPhoto() {
    static const EditedPhoto edited = [] {
        EditedPhoto made;
        made.photo.url = bench::syntheticJpegFile();
        made.photo.relativePath = made.photo.url.filename().string();
        made.photo.pixelWidth = bench::kPhotoWidth;
        made.photo.pixelHeight = bench::kPhotoHeight;
        made.parameters.setValue(20, PhotoParameter::exposure);
        made.parameters.setValue(30, PhotoParameter::contrast);
        made.parameters.setValue(-30, PhotoParameter::vignette_amount);
        return made;
    }();
    return edited;
}

SharedImage rendered() {
    const EditedPhoto& edited = editedPhoto();
    const ExportRendering rendering = Exporter::renderEditedImageAndMetadata(
        edited.photo, 0, ManualCrop{}, edited.parameters, PhotoSource::jpeg, AppState::kImageCopyLongEdge,
        Exporter::fileDecoder());
    if (!rendering.rendered || !rendering.rendered->image) throw std::runtime_error("the rendering failed");
    return rendering.rendered->image;
}

void Render2048(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(rendered());
}

// Each iteration times its rendering and its encoding apart, so the ratio compares the two under
// the same load.
void CopyImage(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    Clock::duration rendering{};
    Clock::duration encoding{};
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const SharedImage image = rendered();
        const auto renderedAt = Clock::now();
        const ImageClipboardPayload payload = ImageClipboardPayload::make(*image);
        encoding += Clock::now() - renderedAt;
        rendering += renderedAt - start;
        bytes = payload.png.size() + payload.tiff.size();
        benchmark::DoNotOptimize(bytes);
    }
    const double renderMs = std::chrono::duration<double, std::milli>(rendering).count();
    const double encodeMs = std::chrono::duration<double, std::milli>(encoding).count();
    const auto count = static_cast<double>(state.iterations());
    state.counters["render_ms"] = renderMs / count;
    state.counters["encode_ms"] = encodeMs / count;
    state.counters["copy_over_render"] = (renderMs + encodeMs) / renderMs;
    state.counters["payload_MB"] = static_cast<double>(bytes) / 1e6;
}

void EncodePayload(benchmark::State& state) {
    const SharedImage image = rendered();
    std::size_t png = 0;
    std::size_t tiff = 0;
    for (auto _ : state) {
        const ImageClipboardPayload payload = ImageClipboardPayload::make(*image);
        png = payload.png.size();
        tiff = payload.tiff.size();
        benchmark::DoNotOptimize(png);
    }
    state.counters["png_MB"] = static_cast<double>(png) / 1e6;
    state.counters["tiff_MB"] = static_cast<double>(tiff) / 1e6;
}

BENCHMARK(Render2048)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(CopyImage)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(EncodePayload)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

} // namespace
} // namespace sorvin
