// The export's own work on a 24-megapixel photo (6000 x 4000): the long-edge reduction to 2048 with
// the Lanczos filter, and the JPEG (quality 95) and HEIF (quality 90) encoding of the reduced and of
// the full-size image, beside a memcpy of the same bitmap as the baseline.
#include "sample_photos.hpp"
#include "export/export_long_edge.hpp"
#include "platform/exif_writer.hpp"
#include "platform/heif_encoder.hpp"
#include "platform/jpeg_encoder.hpp"
#include "platform/srgb_profile.hpp"
#include "synthetic_photo.hpp"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstring>
#include <vector>

namespace sorvin {
namespace {

const SharedImage& fullSize() {
    static const SharedImage image = bench::gradientPhoto(6000, 4000, 3, 11);
    return image;
}

const SharedImage& reduced() {
    static const SharedImage image = ExportLongEdge::resizedImage(fullSize(), 2048);
    return image;
}

const std::string& exif() {
    static const std::string block = ExifWriter::forRenderedImage(
        bench::samplesDir() / "jpeg/nikon_d70s_gps_lens.jpg", 2048, 1365, "Sorvin").exif;
    return block;
}

void MemcpyBaseline(benchmark::State& state) {
    const SharedImage& image = fullSize();
    std::vector<std::uint8_t> copy(image->byteCount());
    for (auto _ : state) {
        std::memcpy(copy.data(), image->data(), image->byteCount());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image->byteCount()));
}
BENCHMARK(MemcpyBaseline)->Unit(benchmark::kMillisecond);

void LongEdgeReductionTo2048(benchmark::State& state) {
    const SharedImage& image = fullSize();
    for (auto _ : state)
        benchmark::DoNotOptimize(ExportLongEdge::resizedImage(image, 2048));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image->byteCount()));
}
BENCHMARK(LongEdgeReductionTo2048)->Unit(benchmark::kMillisecond)->UseRealTime();

void JpegEncode(benchmark::State& state) {
    const SharedImage& image = state.range(0) ? fullSize() : reduced();
    std::size_t size = 0;
    for (auto _ : state) {
        const auto bytes = JpegEncoder::encode(*image, 95, exif(), SrgbProfile::iccBytes());
        size = bytes ? bytes->size() : 0;
        benchmark::DoNotOptimize(size);
    }
    state.counters["file_MB"] = static_cast<double>(size) / 1e6;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image->byteCount()));
}
BENCHMARK(JpegEncode)->ArgName("full_size")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void HeifEncode(benchmark::State& state) {
    if (!HeifEncoder::isAvailable()) {
        state.SkipWithError("no HEVC encoder");
        return;
    }
    const SharedImage& image = state.range(0) ? fullSize() : reduced();
    std::size_t size = 0;
    for (auto _ : state) {
        const auto bytes = HeifEncoder::encode(image, 90, exif(), SrgbProfile::iccBytes());
        size = bytes ? bytes->size() : 0;
        benchmark::DoNotOptimize(size);
    }
    state.counters["file_MB"] = static_cast<double>(size) / 1e6;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image->byteCount()));
}
BENCHMARK(HeifEncode)
    ->ArgName("full_size")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

} // namespace
} // namespace sorvin
