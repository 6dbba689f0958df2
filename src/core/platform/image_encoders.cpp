#include "platform/image_encoders.hpp"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <png.h>
#include <tiffio.h>

namespace sorvin {

namespace {

// One row in the layout the file stores: the colour channels straight (PNG) or as they are
// (TIFF), with or without alpha.
void storedRow(const std::uint8_t* in, std::uint8_t* out, int width, bool withAlpha, bool unpremultiply) {
    for (int x = 0; x < width; ++x, in += 4) {
        const unsigned a = in[3];
        for (int c = 0; c < 3; ++c) {
            unsigned v = in[c];
            if (unpremultiply && a != 255) v = a == 0 ? 0 : std::min(255u, (v * 255 + a / 2) / a);
            *out++ = static_cast<std::uint8_t>(v);
        }
        if (withAlpha) *out++ = static_cast<std::uint8_t>(a);
    }
}

struct MemoryFile {
    std::vector<std::uint8_t> bytes;
    std::uint64_t position = 0;
};

tmsize_t readMemory(thandle_t handle, void* into, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (size < 0 || file->position > file->bytes.size()) return -1;
    const auto available = file->bytes.size() - file->position;
    const auto count = std::min<std::uint64_t>(available, static_cast<std::uint64_t>(size));
    std::memcpy(into, file->bytes.data() + file->position, count);
    file->position += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t writeMemory(thandle_t handle, void* from, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (size < 0) return -1;
    try {
        const auto end = file->position + static_cast<std::uint64_t>(size);
        if (end > file->bytes.size()) file->bytes.resize(end);
        std::memcpy(file->bytes.data() + file->position, from, static_cast<std::size_t>(size));
        file->position = end;
        return size;
    } catch (const std::bad_alloc&) {
        return -1;
    } catch (const std::length_error&) {
        return -1;
    }
}

toff_t seekMemory(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    std::int64_t base = 0;
    if (whence == SEEK_CUR) base = static_cast<std::int64_t>(file->position);
    if (whence == SEEK_END) base = static_cast<std::int64_t>(file->bytes.size());
    const std::int64_t target = base + static_cast<std::int64_t>(offset);
    if (target < 0) return static_cast<toff_t>(-1);
    file->position = static_cast<std::uint64_t>(target);
    return static_cast<toff_t>(target);
}

int closeMemory(thandle_t) {
    return 0;
}
toff_t sizeOfMemory(thandle_t handle) {
    return static_cast<MemoryFile*>(handle)->bytes.size();
}
int noMapping(thandle_t, void**, toff_t*) {
    return 0;
}
void noUnmapping(thandle_t, void*, toff_t) {}
int silence(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct PngOutput {
    std::vector<std::uint8_t> bytes;
    bool failed = false;
};

void appendPng(png_structp png, png_bytep data, std::size_t length) {
    auto* output = static_cast<PngOutput*>(png_get_io_ptr(png));
    if (output->failed) return;
    try {
        output->bytes.insert(output->bytes.end(), data, data + length);
    } catch (const std::exception&) {
        output->failed = true;
    }
}

void flushNothing(png_structp) {}

[[noreturn]] void pngFailed(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void pngWarned(png_structp, png_const_charp) {}

// libpng reports a failure by a long jump back here, so nothing in this frame has a destructor.
// The clipboard's PNG is stored without compression, like its TIFF: deflating a 2048-pixel photo
// takes as long as rendering it at zlib's fastest level and several times as long at its default,
// for a file a third to a half the size that is pasted once and not kept.
bool writePng(const Image& image, bool withAlpha, std::uint8_t* row, PngOutput* output) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFailed, pngWarned);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, output, appendPng, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()), static_cast<png_uint_32>(image.height()),
                 8, withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 0);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_write_info(png, info);
    for (int y = 0; y < image.height(); ++y) {
        storedRow(image.row(y), row, image.width(), withAlpha, true);
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool ImageEncoders::isOpaque(const Image& image) {
    for (std::size_t i = 3; i < image.byteCount(); i += 4)
        if (image.data()[i] != 255) return false;
    return true;
}

std::vector<std::uint8_t> ImageEncoders::png(const Image& image) {
    const bool withAlpha = !isOpaque(image);
    PngOutput output;
    std::vector<std::uint8_t> row;
    try {
        row.resize(static_cast<std::size_t>(image.width()) * (withAlpha ? 4 : 3));
        // The rows with their filter bytes, and room for the headers of the stored blocks and chunks.
        const std::size_t rows = (row.size() + 1) * static_cast<std::size_t>(image.height());
        output.bytes.reserve(rows + rows / 512 + 1024);
    } catch (const std::bad_alloc&) {
        throw ImageEncodingError("no memory for the PNG encoding");
    }
    if (!writePng(image, withAlpha, row.data(), &output) || output.failed)
        throw ImageEncodingError("the PNG encoder refused the image");
    return std::move(output.bytes);
}

std::vector<std::uint8_t> ImageEncoders::tiff(const Image& image) {
    const bool withAlpha = !isOpaque(image);
    const int channels = withAlpha ? 4 : 3;
    MemoryFile file;
    try {
        // The strips and room for the header and the directory, so that the file is never moved.
        file.bytes.reserve(static_cast<std::size_t>(image.width()) *
                               static_cast<std::size_t>(image.height()) * static_cast<std::size_t>(channels) +
                           4096);
    } catch (const std::bad_alloc&) {
        throw ImageEncodingError("no memory for the TIFF encoding");
    }
    std::unique_ptr<TIFFOpenOptions, decltype(&TIFFOpenOptionsFree)> options(TIFFOpenOptionsAlloc(),
                                                                             &TIFFOpenOptionsFree);
    if (!options) throw ImageEncodingError("no memory for the TIFF encoding");
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), silence, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), silence, nullptr);
    TIFF* tiff = TIFFClientOpenExt("memory", "w", &file, readMemory, writeMemory, seekMemory, closeMemory,
                                   sizeOfMemory, noMapping, noUnmapping, options.get());
    if (!tiff) throw ImageEncodingError("the TIFF encoder could not start");

    bool ok = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(image.width())) &&
              TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(image.height())) &&
              TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8) &&
              TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, channels) &&
              TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
              TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
              TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
              TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    if (ok && withAlpha) {
        const std::uint16_t extra[] = {EXTRASAMPLE_ASSOCALPHA};
        ok = TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    std::vector<std::uint8_t> row;
    try {
        row.resize(static_cast<std::size_t>(image.width()) * channels);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    for (int y = 0; ok && y < image.height(); ++y) {
        storedRow(image.row(y), row.data(), image.width(), withAlpha, false);
        ok = TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0) == 1;
    }
    ok = ok && TIFFFlush(tiff) == 1;
    TIFFClose(tiff);
    if (!ok) throw ImageEncodingError("the TIFF encoder refused the image");
    return std::move(file.bytes);
}

} // namespace sorvin
