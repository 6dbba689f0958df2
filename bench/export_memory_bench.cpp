// Peak resident memory of a process doing one export of a 24-megapixel JPEG (6000 x 4000), each
// case in a process of its own, beside libvips' thumbnailer making the same 2048-pixel JPEG in the
// same run (the baseline). Counters:
// - peak_MB: the process's peak resident set (what `time -v` calls its maximum resident size);
// - beyond_idle_MB: peak_MB less that of a process of this program that does nothing (IdleProcess);
// - images: that in 24-megapixel bitmaps of 4 bytes a pixel (96 MB);
// - versus_vips: peak_MB over the thumbnailer's peak in the same run.
// ExportUneditedHugeJpeg exports, unedited (a byte copy), a JPEG of 1.9 GB; its baseline is the copy
// alone (CopyAloneBaseline, versus_copy).
// HeifEncoderAlone hands libheif an image already in the planes its HEVC encoder takes (4:2:0,
// 34 MB), with the settings of our encoder: its library_MB (beyond_idle_MB less those planes) is
// what libheif and x265 hold themselves, and ExportHeifFullSize's ours_MB what the export holds
// beyond that at its peak.
#include "export/exporter.hpp"
#include "model/photo_parameters.hpp"
#include "platform/heif_encoder.hpp"
#include "platform/output_file.hpp"
#include "synthetic_photo.hpp"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <libheif/heif.h>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

constexpr double kImageMB = 6000.0 * 4000 * 4 / (1 << 20);

// A folder holding the 24 MP JPEG, made in a process of its own so that this one never holds the
// bitmap (a forked process starts with its parent's resident set).
const fs::path& workFolder() {
    struct Folder {
        fs::path path = fs::temp_directory_path() / ("sorvin-export-memory-" + std::to_string(::getpid()));
        Folder() {
            fs::create_directories(path / "out");
            const pid_t child = fork();
            if (child == 0) {
                const auto bytes = JpegEncoder::encode(
                    *bench::gradientPhoto(bench::kPhotoWidth, bench::kPhotoHeight, 10, 3), 90, {}, {});
                FILE* file = std::fopen((path / "photo.jpg").c_str(), "wb");
                const bool written =
                    bytes && file && std::fwrite(bytes->data(), 1, bytes->size(), file) == bytes->size();
                if (file) std::fclose(file);
                _exit(written ? 0 : 1);
            }
            waitpid(child, nullptr, 0);
        }
        ~Folder() { fs::remove_all(path); }
    };
    static const Folder folder;
    return folder.path;
}

// Runs the work in a child process and gives its peak resident set in MB (none when the work
// failed), from the kernel's account of the child.
template <typename Work>
std::optional<double> peakOfChild(Work work) {
    const pid_t child = fork();
    if (child == 0) _exit(work() ? 0 : 1);
    int status = 0;
    struct rusage usage {};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return static_cast<double>(usage.ru_maxrss) / 1024;
}

double& libraryMB() {
    static double held = 0;
    return held;
}

double& idlePeakMB() {
    static double peak = 0;
    return peak;
}

void IdleProcess(benchmark::State& state) {
    for (auto _ : state) {
        if (const auto peak = peakOfChild([] { return true; })) idlePeakMB() = *peak;
    }
    state.counters["peak_MB"] = idlePeakMB();
}
BENCHMARK(IdleProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void report(benchmark::State& state, std::optional<double> peak);

double& vipsPeakMB() {
    static double peak = 0;
    return peak;
}

void VipsThumbnailBaseline(benchmark::State& state) {
    const fs::path input = workFolder() / "photo.jpg";
    const std::string output = (workFolder() / "out" / "vips.jpg").string() + "[Q=95]";
    for (auto _ : state) {
        const auto peak = peakOfChild([&] {
            const int null = ::open("/dev/null", O_WRONLY);
            if (null >= 0) dup2(null, STDERR_FILENO);
            execlp("vipsthumbnail", "vipsthumbnail", input.c_str(), "-s", "2048", "-o", output.c_str(),
                   static_cast<char*>(nullptr));
            return false;
        });
        if (!peak) {
            state.SkipWithError("vipsthumbnail is missing or failed");
            return;
        }
        vipsPeakMB() = *peak;
    }
    state.counters["peak_MB"] = vipsPeakMB();
}
BENCHMARK(VipsThumbnailBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void report(benchmark::State& state, std::optional<double> peak) {
    if (!peak) {
        state.SkipWithError("the work failed");
        return;
    }
    state.counters["peak_MB"] = *peak;
    state.counters["beyond_idle_MB"] = *peak - idlePeakMB();
    state.counters["images"] = (*peak - idlePeakMB()) / kImageMB;
    if (vipsPeakMB() > 0) state.counters["versus_vips"] = *peak / vipsPeakMB();
}

// How the exported photo is edited: not at all, in tone and with a vignette, or with clarity and a
// crop (the development then reads the photo around the crop).
enum class Edit { none, toned, croppedWithClarity };

// The whole export of the photo (or another file) as the export sheet starts it, to one format.
bool exported(ExportImageFormat format, std::optional<int> longEdge, Edit edit,
              const fs::path& file = workFolder() / "photo.jpg") {
    Photo photo;
    photo.url = file;
    photo.relativePath = file.filename().string();
    photo.pixelWidth = bench::kPhotoWidth;
    photo.pixelHeight = bench::kPhotoHeight;
    ExportRequest request;
    request.photos = {photo};
    if (edit == Edit::toned) {
        PhotoParameters parameters;
        parameters.setValue(20, PhotoParameter::exposure);
        parameters.setValue(30, PhotoParameter::contrast);
        parameters.setValue(-30, PhotoParameter::vignette_amount);
        request.params[photo.relativePath] = parameters;
    } else if (edit == Edit::croppedWithClarity) {
        PhotoParameters parameters;
        parameters.setValue(40, PhotoParameter::clarity);
        request.params[photo.relativePath] = parameters;
        request.crops[photo.relativePath] = ManualCrop{CropAspect::ratio(3, 2), 80, 5000, 5000};
    }
    // A destination of its own, so that no earlier run's manifest lets the export skip the photo.
    request.destination = workFolder() / "out" / std::to_string(::getpid());
    request.applicationSupportRoot = request.destination / "support";
    fs::create_directories(request.destination);
    request.formatOptions = ExportFormatOptions{ExportFormatMode::specify, format == ExportImageFormat::jpeg,
                                                format == ExportImageFormat::heif, false};
    request.maximumLongEdge = longEdge;
    request.conflictMode = ExportConflictMode::overwrite;
    const ExportResult result = Exporter::exportPhotos(request);
    return result.failures.empty() && result.outputFileCount == 1;
}

void ExportJpeg2048(benchmark::State& state) {
    const auto edit = static_cast<Edit>(state.range(0));
    std::optional<double> peak;
    for (auto _ : state)
        peak = peakOfChild([&] { return exported(ExportImageFormat::jpeg, 2048, edit); });
    report(state, peak);
}
BENCHMARK(ExportJpeg2048)
    ->ArgName("edit")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// The 24 MP photo grown to 1.9 GB by a hole in its picture data (the disk holds only the photo):
// every byte of it is copied by an export of it unedited.
const fs::path& hugeJpeg() {
    static const fs::path file = [] {
        const fs::path path = workFolder() / "huge.jpg";
        std::ifstream in(workFolder() / "photo.jpg", std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size() - 2)); // the end marker goes last
        out.seekp(std::streamoff{1'900'000'000} - 2);
        out.write("\xFF\xD9", 2);
        return path;
    }();
    return file;
}

double& copyPeakMB() {
    static double peak = 0;
    return peak;
}

void CopyAloneBaseline(benchmark::State& state) {
    const fs::path copy = workFolder() / "out" / "copy.jpg";
    for (auto _ : state) {
        fs::remove(copy);
        if (const auto peak = peakOfChild([&] { return !OutputFile::copyNew(hugeJpeg(), copy); }))
            copyPeakMB() = *peak;
    }
    fs::remove(copy);
    state.counters["peak_MB"] = copyPeakMB();
}
BENCHMARK(CopyAloneBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void ExportUneditedHugeJpeg(benchmark::State& state) {
    std::optional<double> peak;
    for (auto _ : state)
        peak = peakOfChild(
            [] { return exported(ExportImageFormat::jpeg, std::nullopt, Edit::none, hugeJpeg()); });
    if (!peak) {
        state.SkipWithError("the work failed");
        return;
    }
    state.counters["peak_MB"] = *peak;
    state.counters["beyond_copy_MB"] = *peak - copyPeakMB();
    if (copyPeakMB() > 0) state.counters["versus_copy"] = *peak / copyPeakMB();
}
BENCHMARK(ExportUneditedHugeJpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

struct HeifDeleter {
    void operator()(heif_context* context) const { heif_context_free(context); }
    void operator()(heif_image* image) const { heif_image_release(image); }
    void operator()(heif_encoder* encoder) const { heif_encoder_release(encoder); }
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};

heif_error appended(heif_context*, const void* data, size_t size, void* userdata) {
    static_cast<std::string*>(userdata)->append(static_cast<const char*>(data), size);
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

// libheif and x265 alone: a 4:2:0 picture made beforehand, encoded as our encoder sets them up.
bool encodedByLibheifAlone() {
    const int width = bench::kPhotoWidth, height = bench::kPhotoHeight;
    heif_image* raw = nullptr;
    heif_image_create(width, height, heif_colorspace_YCbCr, heif_chroma_420, &raw);
    std::unique_ptr<heif_image, HeifDeleter> image(raw);
    for (const auto& [channel, w, h] : {std::tuple{heif_channel_Y, width, height},
                                        std::tuple{heif_channel_Cb, (width + 1) / 2, (height + 1) / 2},
                                        std::tuple{heif_channel_Cr, (width + 1) / 2, (height + 1) / 2}}) {
        heif_image_add_plane(image.get(), channel, w, h, 8);
        int stride = 0;
        std::uint8_t* plane = heif_image_get_plane(image.get(), channel, &stride);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                plane[static_cast<std::size_t>(y) * static_cast<std::size_t>(stride) +
                      static_cast<std::size_t>(x)] =
                    static_cast<std::uint8_t>(channel == heif_channel_Y ? (x * 255 / w + (x * y) % 7)
                                                                        : 128 + (y * 40 / h));
    }
    std::unique_ptr<heif_context, HeifDeleter> context(heif_context_alloc());
    heif_encoder* rawEncoder = nullptr;
    heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &rawEncoder);
    std::unique_ptr<heif_encoder, HeifDeleter> encoder(rawEncoder);
    heif_encoder_set_logging_level(encoder.get(), 0);
    heif_encoder_set_parameter_string(encoder.get(), "preset", "ultrafast");
    heif_encoder_set_lossy_quality(encoder.get(), 90);
    heif_image_handle* handle = nullptr;
    if (heif_context_encode_image(context.get(), image.get(), encoder.get(), nullptr, &handle).code !=
        heif_error_Ok)
        return false;
    std::unique_ptr<heif_image_handle, HeifDeleter> held(handle);
    std::string bytes;
    heif_writer writer{};
    writer.writer_api_version = 1;
    writer.write = appended;
    return heif_context_write(context.get(), &writer, &bytes).code == heif_error_Ok && !bytes.empty();
}

void HeifEncoderAlone(benchmark::State& state) {
    if (!HeifEncoder::isAvailable()) {
        state.SkipWithError("no HEVC encoder");
        return;
    }
    std::optional<double> peak;
    for (auto _ : state)
        peak = peakOfChild(encodedByLibheifAlone);
    report(state, peak);
    constexpr double planesMB = 6000.0 * 4000 * 1.5 / (1 << 20);
    if (peak) libraryMB() = *peak - idlePeakMB() - planesMB;
    state.counters["library_MB"] = libraryMB();
}
BENCHMARK(HeifEncoderAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void ExportHeifFullSize(benchmark::State& state) {
    if (!HeifEncoder::isAvailable()) {
        state.SkipWithError("no HEVC encoder");
        return;
    }
    std::optional<double> peak;
    for (auto _ : state)
        peak = peakOfChild([] { return exported(ExportImageFormat::heif, std::nullopt, Edit::none); });
    report(state, peak);
    if (peak && libraryMB() > 0) state.counters["ours_MB"] = *peak - idlePeakMB() - libraryMB();
}
BENCHMARK(ExportHeifFullSize)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
} // namespace sorvin
