// Decoding for the screen: the large progressive JPEG (4217 x 2817) and an iPhone HEIF (4032 x 3024)
// at full size and at the display sizes the loader asks for, with the baseline of copying the
// full-size bitmap once. Also the histogram run and the clipboard encodings of a display image.
#include "sample_photos.hpp"
#include "loading/histogram_image_processor.hpp"
#include "loading/image_clipboard_payload.hpp"
#include "loading/image_decoder.hpp"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::filesystem::path samples() { return sorvin::bench::samplesDir(); }

const std::vector<std::uint8_t>& fileBytes(const char* relative) {
    static std::vector<std::pair<std::string, std::vector<std::uint8_t>>> loaded;
    for (const auto& [name, bytes] : loaded)
        if (name == relative) return bytes;
    std::ifstream in(samples() / relative, std::ios::binary);
    loaded.emplace_back(relative, std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
    return loaded.back().second;
}

void decode(benchmark::State& state, const char* relative) {
    const auto& bytes = fileBytes(relative);
    const int longEdge = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const sorvin::SharedImage image = sorvin::ImageDecoder::decode(bytes, longEdge);
        if (!image) {
            state.SkipWithError("the sample does not decode");
            return;
        }
        benchmark::DoNotOptimize(image);
    }
}

void BM_DecodeProgressiveJpeg(benchmark::State& state) {
    decode(state, "jpeg/progressive_large.jpg");
}
BENCHMARK(BM_DecodeProgressiveJpeg)->Arg(100000)->Arg(3200)->Arg(1600)->Unit(benchmark::kMillisecond);

void BM_DecodeHeif(benchmark::State& state) {
    decode(state, "heif/iphone8_gps.heic");
}
BENCHMARK(BM_DecodeHeif)->Arg(100000)->Arg(3200)->Arg(1600)->Unit(benchmark::kMillisecond);

// Baseline: one copy of a full-size 4217 x 2817 RGBA bitmap.
void BM_CopyFullSizeBitmap(benchmark::State& state) {
    const std::size_t size = std::size_t{4217} * 2817 * 4;
    std::vector<std::uint8_t> source(size, 7), target(size);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), size);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyFullSizeBitmap)->Unit(benchmark::kMillisecond);

sorvin::SharedImage displayImage() {
    static const sorvin::SharedImage image =
        sorvin::ImageDecoder::decode(fileBytes("jpeg/progressive_large.jpg"), 1600);
    return image;
}

void BM_HistogramRun(benchmark::State& state) {
    const sorvin::SharedImage image = displayImage();
    sorvin::PhotoParameters parameters;
    parameters.setValue(30, sorvin::PhotoParameter::exposure);
    const sorvin::ManualCrop crop{sorvin::CropAspect::original(), 100, 0, 0};
    for (auto _ : state) {
        auto result = sorvin::HistogramImageProcessor::process(image, 1.5, crop, parameters, true);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_HistogramRun)->Unit(benchmark::kMillisecond);

void BM_ClipboardPayload(benchmark::State& state) {
    const sorvin::SharedImage image = displayImage();
    for (auto _ : state) {
        auto payload = sorvin::ImageClipboardPayload::make(*image);
        benchmark::DoNotOptimize(payload);
    }
}
BENCHMARK(BM_ClipboardPayload)->Unit(benchmark::kMillisecond);

} // namespace
