#include "platform/raw_filter.hpp"

#include "platform/area_resampler.hpp"
#include "platform/color_temperature.hpp"
#include "platform/deterministic_libraw.hpp"
#include "platform/jpeg_error_jump.hpp"
#include "platform/luminance_wavelet_denoise.hpp"
#include "platform/parallel_for.hpp"
#include "platform/raw_developed_size.hpp"
#include "platform/regular_file.hpp"
#include "platform/tiff_structure.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>
#include <libraw/libraw.h>
#include <new>
#include <omp.h>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace sorvin {

// The RAW file as LibRaw reads it, watching once it is asked to for signs that sensor data were
// missing. Where the file's headers state where the sensor data end (the strips or tiles of
// TIFF-based files), a file that reaches that far has them all, and a read that then finds the end
// of the file is no sign: the bit readers of compressed NEF, ORF, PEF and ARW look a byte or two
// ahead, and sensor data that end the file make that look-ahead meet its end. Panasonic's decoders,
// which read their data in blocks or rows that end where the data do, never look past it: there,
// as elsewhere (CRW, CR3, RAF), a read that finds the end of the file is taken as a file cut short,
// read on into nothing byte by byte by the bit readers or a block at a time by the others. A short
// read that still gives bytes is no sign either way: the JPEG readers ask for a full buffer near the
// end of a whole file. The JPEG library that LibRaw decodes lossy tiles with prints nothing; its
// warnings of lost picture data are signs.
class RawFileStream final : public LibRaw_bigfile_datastream {
public:
    explicit RawFileStream(const std::filesystem::path& file) : LibRaw_bigfile_datastream(file.c_str()) {}

    void watch(bool endOfFileIsDamage) {
        endOfFileIsDamage_ = endOfFileIsDamage;
        watching_ = true;
    }
    bool damaged() const { return damaged_; }

    int read(void* buffer, size_t size, size_t count) override {
        const int read = LibRaw_bigfile_datastream::read(buffer, size, count);
        if (read <= 0 && size > 0 && count > 0 && endOfFileIsDamage_) notice();
        return read;
    }
    int get_char() override {
        const int c = LibRaw_bigfile_datastream::get_char();
        if (c == EOF && endOfFileIsDamage_) notice();
        return c;
    }
    int jpeg_src(void* decompress) override {
        const int result = LibRaw_bigfile_datastream::jpeg_src(decompress);
        auto* cinfo = static_cast<j_decompress_ptr>(decompress);
        if (result == 0 && cinfo->err) {
            cinfo->client_data = this;
            cinfo->err->emit_message = [](j_common_ptr common, int level) {
                if (level < 0 && JpegErrorJump::isDamage(common))
                    static_cast<RawFileStream*>(common->client_data)->notice();
            };
        }
        return result;
    }

private:
    void notice() {
        if (watching_) damaged_ = true;
    }
    // LibRaw may read from several threads.
    std::atomic<bool> watching_ = false;
    std::atomic<bool> endOfFileIsDamage_ = false;
    std::atomic<bool> damaged_ = false;
};

namespace {

// Whether every 2 × 2 block of the sensor's colour pattern holds each of its colours, as LibRaw's
// luminance noise reduction takes for granted (the second green of a Bayer pattern counts as
// green). A picture without a mosaic has no blocks to miss a colour.
bool patternBlocksHoldEveryColour(LibRaw& raw) {
    const auto& idata = raw.imgdata.idata;
    if (idata.filters == 0) return true;
    const unsigned every = (1u << idata.colors) - 1;
    // Patterns repeat within 8 rows (LibRaw's Bayer coding) or 6 (X-Trans).
    for (int row = 0; row < 24; row += 2) {
        for (int col = 0; col < 24; col += 2) {
            unsigned seen = 0;
            for (int i = 0; i < 4; ++i) {
                const int colour = raw.COLOR(row + i / 2, col + i % 2);
                seen |= 1u << (colour == 3 && idata.colors == 3 ? 1 : colour);
            }
            if ((seen & every) != every) return false;
        }
    }
    return true;
}

constexpr unsigned kMaxLibRawMemoryMb = 2048;
// LibRaw's own reports of bad data and failed allocations would be printed; failures reach us
// through its results and error count.
constexpr unsigned kLibRawQuiet = LIBRAW_OPTIONS_NO_DATAERR_CALLBACK;

// Where the file's own headers say its sensor data end, when they say it.
std::optional<TiffStructure::DataEnd> declaredSensorDataEnd(const std::filesystem::path& file, LibRaw& raw) {
    const auto opened = RegularFile::open(file, RawFilter::kMaxFileBytes);
    if (!opened || !TiffStructure::isTiff(*opened)) return std::nullopt;
    const INT64 dataOffset = raw.get_internal_data_pointer()->unpacker_data.data_offset;
    if (dataOffset <= 0) return std::nullopt;
    return TiffStructure::dataEnd(*opened, static_cast<std::uint64_t>(dataOffset));
}

// Whether LibRaw's lossless-JPEG decoders will find the JPEGs they decode: at the data position
// itself, or, for tiled DNGs, at every beginning in the table of tiles found there. Where they
// find none they return without a word, having filled nothing, and the sensor data hold whatever
// the memory held before. Other decoders are not asked about.
bool losslessJpegsFound(const std::filesystem::path& file, LibRaw& raw) {
    libraw_decoder_info_t decoder{};
    if (raw.get_decoder_info(&decoder) != LIBRAW_SUCCESS || !decoder.decoder_name) return true;
    const std::string_view name = decoder.decoder_name;
    const bool tileTable = name == "lossless_dng_load_raw()";
    if (!tileTable && name != "lossless_jpeg_load_raw()") return true;
    const auto opened = RegularFile::open(file, RawFilter::kMaxFileBytes);
    if (!opened) return false;
    // The decoders look at the second byte of the start-of-image marker only.
    const auto jpegAt = [&](std::uint64_t position) {
        std::uint8_t marker[2];
        return opened->readAt(position, marker, 2) && marker[1] == 0xD8;
    };
    const auto& unpacker = raw.get_internal_data_pointer()->unpacker_data;
    const auto& sizes = raw.imgdata.sizes;
    if (unpacker.data_offset < 0) return false;
    const auto dataOffset = static_cast<std::uint64_t>(unpacker.data_offset);
    if (!tileTable || unpacker.tile_length >= static_cast<unsigned>(INT_MAX)) return jpegAt(dataOffset);
    // As the decoder walks the tiles: across, then down, one 4-byte beginning each.
    const auto across =
        (std::uint64_t{sizes.raw_width} + unpacker.tile_width - 1) / std::max(1u, unpacker.tile_width);
    const auto down =
        (std::uint64_t{sizes.raw_height} + unpacker.tile_length - 1) / std::max(1u, unpacker.tile_length);
    const std::uint64_t tiles = across * down;
    if (tiles > opened->size() / 4) return false;
    std::vector<std::uint8_t> table(static_cast<std::size_t>(tiles) * 4);
    if (!opened->readAt(dataOffset, table.data(), table.size())) return false;
    const bool littleEndian = unpacker.order == 0x4949;
    for (std::size_t i = 0; i < table.size(); i += 4) {
        const std::uint8_t* b = &table[i];
        const std::uint32_t start = littleEndian ? b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t{b[3]} << 24
                                                 : b[3] | b[2] << 8 | b[1] << 16 | std::uint32_t{b[0]} << 24;
        if (!jpegAt(start)) return false;
    }
    return true;
}

// Whether the decoder put any value into the picture's part of the sensor data: values all zero
// are data it never found (a strip of zeros, say), and a black picture would pass for them.
bool sensorDataFilled(const LibRaw& raw) {
    const auto& data = raw.imgdata.rawdata;
    const auto& sizes = raw.imgdata.sizes;
    const auto anyValue = [&](const void* buffer, std::size_t pixelBytes) {
        if (!buffer) return false;
        const std::size_t pitch = sizes.raw_pitch;
        const std::size_t start = std::min<std::size_t>(std::size_t{sizes.left_margin} * pixelBytes, pitch);
        const std::size_t rowBytes =
            std::min<std::size_t>(std::size_t{sizes.width} * pixelBytes, pitch - start);
        const int bottom = std::min<int>(sizes.top_margin + sizes.height, sizes.raw_height);
        for (int y = sizes.top_margin; y < bottom; ++y) {
            const auto* row = static_cast<const std::uint8_t*>(buffer) + y * pitch + start;
            if (std::any_of(row, row + rowBytes, [](std::uint8_t byte) { return byte != 0; })) return true;
        }
        return false;
    };
    return anyValue(data.raw_image, sizeof *data.raw_image) ||
           anyValue(data.color3_image, sizeof *data.color3_image) ||
           anyValue(data.color4_image, sizeof *data.color4_image) ||
           anyValue(data.float_image, sizeof *data.float_image) ||
           anyValue(data.float3_image, sizeof *data.float3_image) ||
           anyValue(data.float4_image, sizeof *data.float4_image);
}

constexpr int kDemosaicAhd = 3;
// A colour noise reduction of 1 runs this many median passes over the colour differences.
constexpr float kMedianPassesAtFull = 2.0f;
// A luminance noise reduction of 1 is this wavelet threshold.
constexpr float kWaveletThresholdAtFull = 500.0f;
// LibRaw's wavelet denoising works on the sensor's half-size colour planes. Newer versions skip
// planes under 65 pixels a side, older ones read beyond such planes' ends; pictures this small
// (twice that, with room for rounding) are developed without it on every version.
constexpr double kWaveletSmallestSide = 2 * 65 + 4;
// A sharpness of 1 adds this much of the difference to a 3 × 3 mean.
constexpr float kSharpenGainAtFull = 0.5f;
// Linear values above this roll off smoothly towards white instead of clipping.
constexpr double kShoulderStart = 0.8;
// The S-curve's strength at a boost of 1.
constexpr double kBoostContrast = 0.6;

// Stand-in camera matrix for files LibRaw has no colour matrix for: the camera is taken to see
// linear sRGB.
constexpr double kXyzToLinearSrgb[3][3] = {{3.2404542, -1.5371385, -0.4985314},
                                           {-0.9692660, 1.8760108, 0.0415560},
                                           {0.0556434, -0.2040259, 1.0572252}};

bool invert3(const double m[3][3], double out[3][3]) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (!std::isfinite(det) || std::fabs(det) < 1e-12) return false;
    out[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) / det;
    out[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det;
    out[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det;
    out[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) / det;
    out[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det;
    out[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det;
    out[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) / det;
    out[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det;
    out[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det;
    return true;
}

// The camera's raw response to a light of the given temperature and tint (Y = 1).
std::array<double, 3> cameraNeutral(const double cameraFromXyz[3][3], float kelvin, float tint) {
    const auto xy = ColorTemperature::chromaticity({kelvin, tint});
    const double xyz[3] = {xy.x / xy.y, 1.0, (1.0 - xy.x - xy.y) / xy.y};
    std::array<double, 3> n{};
    for (int c = 0; c < 3; ++c) {
        n[c] = cameraFromXyz[c][0] * xyz[0] + cameraFromXyz[c][1] * xyz[1] + cameraFromXyz[c][2] * xyz[2];
    }
    return n;
}

std::uint8_t toByte(double v) {
    const double scaled = std::clamp(v, 0.0, 1.0) * 255.0;
    return static_cast<std::uint8_t>(scaled + 0.5);
}

double srgbEncode(double linear) {
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

// From linear 16-bit camera-white-scaled sRGB to display bytes: exposure, a highlight shoulder,
// the sRGB transfer, then the boost S-curve (its shadow half scaled by the shadow amount).
std::vector<std::uint8_t> toneTable(const RawFilterProperties& p) {
    std::vector<std::uint8_t> table(65536);
    const double gain = std::exp2(static_cast<double>(p.exposure));
    const double boost = std::clamp(static_cast<double>(p.boostAmount), 0.0, 1.0);
    const double shadow = std::clamp(static_cast<double>(p.boostShadowAmount), 0.0, 1.0);
    parallelFor(tbb::blocked_range<int>(0, 65536, 4096), [&](const tbb::blocked_range<int>& r) {
        for (int i = r.begin(); i < r.end(); ++i) {
            double y = i / 65535.0 * gain;
            if (y > kShoulderStart) {
                const double room = 1.0 - kShoulderStart;
                y = kShoulderStart + room * (1.0 - std::exp(-(y - kShoulderStart) / room));
            }
            const double e = srgbEncode(y);
            const double k = boost * kBoostContrast * (e < 0.5 ? shadow : 1.0);
            table[static_cast<std::size_t>(i)] = toByte(e + k * e * (1.0 - e) * (2.0 * e - 1.0));
        }
    });
    return table;
}

// The developed linear image, to display bytes at the target size (alpha 255).
PixelBuffer toneMap(const std::uint16_t (*image)[4], int stride, int width, int height, bool mono,
                    int targetWidth, int targetHeight, const std::vector<std::uint8_t>& table) {
    PixelBuffer out = PixelBuffer::forOverwrite(targetWidth, targetHeight);
    auto channel = [mono](int c) { return mono ? 0 : c; };
    if (width == targetWidth && height == targetHeight) {
        parallelFor(0, height, [&](int y) {
            const auto* in = image + static_cast<std::size_t>(y) * stride;
            std::uint8_t* row = out.row(y);
            for (int x = 0; x < width; ++x) {
                row[4 * x] = table[in[x][0]];
                row[4 * x + 1] = table[in[x][channel(1)]];
                row[4 * x + 2] = table[in[x][channel(2)]];
                row[4 * x + 3] = 255;
            }
        });
        return out;
    }
    const auto wx = AreaResampler::axisWeights(width, targetWidth);
    const auto wy = AreaResampler::axisWeights(height, targetHeight);
    parallelFor(0, targetHeight, [&](int ty) {
        std::vector<float> acc(static_cast<std::size_t>(width) * 3, 0.0f);
        for (int k = 0; k < wy.count[ty]; ++k) {
            const float wgt = wy.weights[wy.offset[ty] + k];
            const auto* in = image + static_cast<std::size_t>(wy.first[ty] + k) * stride;
            for (int x = 0; x < width; ++x) {
                acc[3 * x] += wgt * in[x][0];
                acc[3 * x + 1] += wgt * in[x][channel(1)];
                acc[3 * x + 2] += wgt * in[x][channel(2)];
            }
        }
        std::uint8_t* row = out.row(ty);
        for (int tx = 0; tx < targetWidth; ++tx) {
            float sum[3] = {0, 0, 0};
            for (int k = 0; k < wx.count[tx]; ++k) {
                const float wgt = wx.weights[wx.offset[tx] + k];
                const float* a = &acc[3 * static_cast<std::size_t>(wx.first[tx] + k)];
                sum[0] += wgt * a[0];
                sum[1] += wgt * a[1];
                sum[2] += wgt * a[2];
            }
            for (int c = 0; c < 3; ++c) {
                const int index = std::clamp(static_cast<int>(sum[c] + 0.5f), 0, 65535);
                row[4 * tx + c] = table[static_cast<std::size_t>(index)];
            }
            row[4 * tx + 3] = 255;
        }
    });
    return out;
}

// Median of nine values by a fixed exchange network, branch-free so that rows vectorise.
inline int median9(int p0, int p1, int p2, int p3, int p4, int p5, int p6, int p7, int p8) {
    auto sort2 = [](int& a, int& b) {
        const int lo = std::min(a, b);
        b = std::max(a, b);
        a = lo;
    };
    sort2(p1, p2), sort2(p4, p5), sort2(p7, p8);
    sort2(p0, p1), sort2(p3, p4), sort2(p6, p7);
    sort2(p1, p2), sort2(p4, p5), sort2(p7, p8);
    sort2(p0, p3), sort2(p5, p8), sort2(p4, p7);
    sort2(p3, p6), sort2(p1, p4), sort2(p2, p5);
    sort2(p4, p7), sort2(p4, p2), sort2(p6, p4);
    sort2(p4, p2);
    return p4;
}

// The colour differences of one row of pixels: red minus green, then blue minus green.
void chromaOf(const std::uint16_t (*row)[4], std::size_t width, int* differences) {
    for (std::size_t x = 0; x < width; ++x) {
        differences[x] = row[x][0] - row[x][1];
        differences[width + x] = row[x][2] - row[x][1];
    }
}

// Colour noise reduction: 3 × 3 medians of red minus green and blue minus green, green (which
// carries most of the detail) unchanged. The border pixels are left as they are. Every pass reads
// the differences as they were before it: the rows change in bands, each band keeping the last
// three rows' differences, and the rows next to a band's ends, which its neighbours change, are
// saved before the pass.
void medianChroma(std::uint16_t (*image)[4], int stride, int width, int height, int passes) {
    if (width < 3 || height < 3) return;
    const auto w = static_cast<std::size_t>(width);
    const auto row = [&](int y) { return image + static_cast<std::size_t>(y) * stride; };
    constexpr int kBandRows = 64;
    const int bands = (height - 2 + kBandRows - 1) / kBandRows;
    const auto top = [&](int band) { return 1 + band * kBandRows; };
    const auto bottom = [&](int band) { return std::min(top(band) + kBandRows, height - 1) - 1; };
    // Per band: the differences of its top row, then of its bottom row.
    std::vector<int> ends(static_cast<std::size_t>(bands) * 4 * w);
    const auto end = [&](int band, bool bottomRow) {
        return &ends[(2 * static_cast<std::size_t>(band) + bottomRow) * 2 * w];
    };
    for (int pass = 0; pass < passes; ++pass) {
        parallelFor(0, bands, [&](int band) {
            chromaOf(row(top(band)), w, end(band, false));
            chromaOf(row(bottom(band)), w, end(band, true));
        });
        parallelFor(0, bands, [&](int band) {
            std::vector<int> window(6 * w);
            std::vector<int> medians(w);
            int* above = window.data();
            int* here = above + 2 * w;
            int* below = here + 2 * w;
            const int first = top(band);
            const int last = bottom(band);
            if (band == 0) {
                chromaOf(row(0), w, above);
            } else {
                std::copy_n(end(band - 1, true), 2 * w, above);
            }
            chromaOf(row(first), w, here);
            for (int y = first; y <= last; ++y) {
                if (y < last || y + 1 == height - 1) {
                    chromaOf(row(y + 1), w, below);
                } else {
                    std::copy_n(end(band + 1, false), 2 * w, below);
                }
                auto* out = row(y);
                for (int c = 0; c < 2; ++c) {
                    const int* a = above + c * w;
                    const int* b = here + c * w;
                    const int* d = below + c * w;
                    for (std::size_t x = 1; x + 1 < w; ++x) {
                        medians[x] = median9(a[x - 1], a[x], a[x + 1], b[x - 1], b[x], b[x + 1], d[x - 1],
                                             d[x], d[x + 1]);
                    }
                    for (std::size_t x = 1; x + 1 < w; ++x) {
                        out[x][c * 2] =
                            static_cast<std::uint16_t>(std::clamp(out[x][1] + medians[x], 0, 65535));
                    }
                }
                std::swap(above, here);
                std::swap(here, below);
            }
        });
    }
}

// The source pixel shown at (dx, dy) of the upright picture, for a source of w × h.
inline void sourceOf(int orientation, int dx, int dy, int w, int h, int& sx, int& sy) {
    switch (orientation) {
    case 2:
        sx = w - 1 - dx, sy = dy;
        break;
    case 3:
        sx = w - 1 - dx, sy = h - 1 - dy;
        break;
    case 4:
        sx = dx, sy = h - 1 - dy;
        break;
    case 5:
        sx = dy, sy = dx;
        break;
    case 6:
        sx = dy, sy = h - 1 - dx;
        break;
    case 7:
        sx = w - 1 - dy, sy = h - 1 - dx;
        break;
    case 8:
        sx = w - 1 - dy, sy = dx;
        break;
    default:
        sx = dx, sy = dy;
        break;
    }
}

// Sharpening by the difference to the 3 × 3 mean (the window shrinks at the borders).
PixelBuffer sharpen(const PixelBuffer& in, float sharpness) {
    const int w = in.width();
    const int h = in.height();
    PixelBuffer out = PixelBuffer::forOverwrite(w, h);
    const float gain = sharpness * kSharpenGainAtFull;
    auto store = [gain](std::uint8_t* dst, int value, float mean) {
        const float v = value + gain * (value - mean);
        *dst = static_cast<std::uint8_t>(std::clamp(v + 0.5f, 0.0f, 255.0f));
    };
    auto slowPixel = [&](int x, int y, std::uint8_t* dst) {
        const int x0 = std::max(x - 1, 0), x1 = std::min(x + 1, w - 1);
        const int y0 = std::max(y - 1, 0), y1 = std::min(y + 1, h - 1);
        const float n = static_cast<float>((x1 - x0 + 1) * (y1 - y0 + 1));
        for (int c = 0; c < 3; ++c) {
            int sum = 0;
            for (int yy = y0; yy <= y1; ++yy) {
                for (int xx = x0; xx <= x1; ++xx)
                    sum += in.row(yy)[4 * xx + c];
            }
            store(dst + c, in.row(y)[4 * x + c], sum / n);
        }
        dst[3] = 255;
    };
    parallelFor(0, h, [&](int y) {
        std::uint8_t* row = out.row(y);
        if (y == 0 || y == h - 1 || w < 3) {
            for (int x = 0; x < w; ++x)
                slowPixel(x, y, row + 4 * x);
            return;
        }
        // Column sums of the three rows, then sums across.
        std::vector<std::uint16_t> columns(4 * static_cast<std::size_t>(w));
        const std::uint8_t* above = in.row(y - 1);
        const std::uint8_t* here = in.row(y);
        const std::uint8_t* below = in.row(y + 1);
        for (std::size_t i = 0; i < columns.size(); ++i) {
            columns[i] = static_cast<std::uint16_t>(above[i] + here[i] + below[i]);
        }
        constexpr float kNinth = 1.0f / 9.0f;
        for (int x = 1; x < w - 1; ++x) {
            for (int c = 0; c < 3; ++c) {
                const int i = 4 * x + c;
                store(row + i, here[i], (columns[i - 4] + columns[i] + columns[i + 4]) * kNinth);
            }
            row[4 * x + 3] = 255;
        }
        slowPixel(0, y, row);
        slowPixel(w - 1, y, row + 4 * (w - 1));
    });
    return out;
}

// The picture turned upright by its EXIF orientation.
PixelBuffer orient(const PixelBuffer& in, int orientation) {
    const int w = in.width();
    const int h = in.height();
    const bool swap = orientation >= 5;
    PixelBuffer out = PixelBuffer::forOverwrite(swap ? h : w, swap ? w : h);
    parallelFor(0, out.height(), [&](int dy) {
        std::uint8_t* row = out.row(dy);
        for (int dx = 0; dx < out.width(); ++dx) {
            int sx, sy;
            sourceOf(orientation, dx, dy, w, h, sx, sy);
            std::memcpy(row + 4 * dx, in.row(sy) + 4 * sx, 4);
        }
    });
    return out;
}

} // namespace

RawFilter::RawFilter() = default;
RawFilter::~RawFilter() = default;

int RawFilter::openMpThreadCap() {
    static const int cap = std::max(1, static_cast<int>(std::thread::hardware_concurrency()) / 2);
    return cap;
}

std::unique_ptr<RawFilter> RawFilter::make(const std::filesystem::path& file, DamagedData damaged) {
    try {
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error)) return nullptr;
        const auto bytes = std::filesystem::file_size(file, error);
        if (error || bytes == 0 || bytes > kMaxFileBytes) return nullptr;

        std::unique_ptr<RawFilter> filter(new RawFilter());
        auto deterministic = std::make_unique<DeterministicLibRaw>(kLibRawQuiet);
        DeterministicLibRaw& raw = *deterministic;
        filter->raw_ = std::move(deterministic);
        raw.imgdata.rawparams.max_raw_memory_mb = kMaxLibRawMemoryMb;
        filter->stream_ = std::make_unique<RawFileStream>(file);
        if (!filter->stream_->valid() || raw.open_datastream(filter->stream_.get()) != LIBRAW_SUCCESS)
            return nullptr;
        filter->refusesDamage_ = damaged == DamagedData::refused;

        const auto& sizes = raw.imgdata.sizes;
        const auto& idata = raw.imgdata.idata;
        if (sizes.raw_width == 0 || sizes.raw_height == 0 || sizes.width == 0 || sizes.height == 0)
            return nullptr;
        if (std::uint64_t{sizes.raw_width} * sizes.raw_height > kMaxSensorPixels) return nullptr;
        if (idata.colors < 1 || idata.colors > 4 || idata.is_foveon) return nullptr;
        filter->bayer_ = idata.filters != 0 && idata.colors == 3;
        filter->colors_ = idata.colors;
        raw.blocksHoldEveryColour = patternBlocksHoldEveryColour(raw);
        filter->libRawReducesLuminanceNoise_ = raw.blocksHoldEveryColour;

        const auto developed = RawDevelopedSize::of(raw);
        if (!developed ||
            std::int64_t{developed->width} * developed->height > static_cast<std::int64_t>(kMaxSensorPixels))
            return nullptr;
        filter->nativeSize_ = {static_cast<double>(developed->width), static_cast<double>(developed->height)};
        filter->readAsShotWhiteBalance();
        return filter;
    } catch (...) {
        return nullptr;
    }
}

void RawFilter::readAsShotWhiteBalance() {
    const auto& color = raw_->imgdata.color;
    auto valid = [](const float* m) {
        return std::isfinite(m[0]) && std::isfinite(m[1]) && std::isfinite(m[2]) && m[0] > 0 && m[1] > 0 &&
               m[2] > 0;
    };
    // The camera's balance as LibRaw's own camera-white-balance development finds it: recorded
    // multipliers as they stand (1, 1, 1 included: some cameras balance the sensor's signal
    // before it is stored), else the daylight ones. A camera that left the balance to the
    // converter (a multiplier of -1), or recorded a patch of white instead, has it measured from
    // the picture by LibRaw itself.
    float camera[4], daylight[4], measured[4];
    std::copy(color.cam_mul, color.cam_mul + 4, camera);
    std::copy(color.pre_mul, color.pre_mul + 4, daylight);
    if (camera[1] == 0) camera[1] = 1;
    const float* source = valid(camera) ? camera : valid(daylight) ? daylight : nullptr;
    if ((camera[0] == -1 || hasWhitePatch()) && measureCameraBalance(measured) && valid(measured))
        source = measured;
    if (source) {
        for (int c = 0; c < 3; ++c)
            asShotMultipliers_[c] = source[c];
        asShotMultipliers_[3] = source[3] > 0 && std::isfinite(source[3]) ? source[3] : source[1];
    }

    // LibRaw's matrix for the camera model, else a DNG's own matrix (daylight first).
    auto take = [this](const float(*matrix)[3]) {
        bool any = false;
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                cameraFromXyz_[r][c] = matrix[r][c];
                any = any || matrix[r][c] != 0;
            }
        }
        return any;
    };
    constexpr int kDaylight65 = 21;
    bool haveMatrix = take(color.cam_xyz);
    for (int pass = 0; pass < 2 && !haveMatrix; ++pass) {
        for (const auto& dng : color.dng_color) {
            if (!haveMatrix && (pass == 1 || dng.illuminant == kDaylight65))
                haveMatrix = take(dng.colormatrix);
        }
    }
    double xyzFromCamera[3][3];
    if (!haveMatrix || !invert3(cameraFromXyz_, xyzFromCamera)) {
        std::copy(&kXyzToLinearSrgb[0][0], &kXyzToLinearSrgb[0][0] + 9, &cameraFromXyz_[0][0]);
        invert3(cameraFromXyz_, xyzFromCamera);
    }
    // The as-shot light is what the camera's multipliers turn into grey.
    double neutral[3];
    for (int c = 0; c < 3; ++c)
        neutral[c] = 1.0 / asShotMultipliers_[c];
    double xyz[3];
    for (int r = 0; r < 3; ++r) {
        xyz[r] = xyzFromCamera[r][0] * neutral[0] + xyzFromCamera[r][1] * neutral[1] +
                 xyzFromCamera[r][2] * neutral[2];
    }
    const double sum = xyz[0] + xyz[1] + xyz[2];
    if (std::isfinite(sum) && sum > 0 && xyz[1] > 0) {
        const auto setting = ColorTemperature::setting({xyz[0] / sum, xyz[1] / sum});
        asShotTemperature_ = static_cast<float>(setting.kelvin);
        asShotTint_ = static_cast<float>(setting.tint);
    }
    properties_.neutralTemperature = asShotTemperature_;
    properties_.neutralTint = asShotTint_;
}

bool RawFilter::hasWhitePatch() const {
    const auto& white = raw_->imgdata.color.white;
    return std::any_of(&white[0][0], &white[0][0] + 64, [](unsigned short v) { return v != 0; });
}

// One reduced development with LibRaw's camera white balance, to learn the multipliers it used.
bool RawFilter::measureCameraBalance(float out[4]) {
    auto& params = raw_->imgdata.params;
    params.use_camera_wb = 1;
    params.use_auto_wb = 0;
    params.half_size = 1;
    const bool developed = unpack() && raw_->dcraw_process() == LIBRAW_SUCCESS;
    raw_->free_image();
    params.use_camera_wb = 0;
    if (!developed) return false;
    std::copy(raw_->imgdata.color.pre_mul, raw_->imgdata.color.pre_mul + 4, out);
    return true;
}

bool RawFilter::unpack() {
    omp_set_num_threads(openMpThreadCap());
    if (!unpacked_) {
        // The headers may point past the end without harm; the sensor data may not.
        if (refusesDamage_) {
            const auto end = declaredSensorDataEnd(stream_->fname(), *raw_);
            if (end && static_cast<std::uint64_t>(stream_->size()) < end->position) return false;
            stream_->watch(!end || !end->mayBeReadPast);
        }
        if (!losslessJpegsFound(stream_->fname(), *raw_)) return false;
        if (raw_->unpack() != LIBRAW_SUCCESS || raw_->error_count() > 0) return false;
        if (refusesDamage_ && stream_->damaged()) return false;
        if (!sensorDataFilled(*raw_)) return false;
        unpacked_ = true;
    }
    return true;
}

// The multipliers of the as-shot white balance, moved by the ratio of the camera's response to
// the as-shot light and to the light asked for; the as-shot setting gives the camera's own.
void RawFilter::multipliersFor(float kelvin, float tint, float out[4]) const {
    std::copy(asShotMultipliers_, asShotMultipliers_ + 4, out);
    if (kelvin == asShotTemperature_ && tint == asShotTint_) return;
    const auto from = cameraNeutral(cameraFromXyz_, asShotTemperature_, asShotTint_);
    const auto to = cameraNeutral(cameraFromXyz_, kelvin, tint);
    float moved[4];
    for (int c = 0; c < 3; ++c) {
        const double ratio = from[c] / to[c];
        if (!std::isfinite(ratio) || ratio <= 0 || from[c] <= 0) return;
        moved[c] = static_cast<float>(asShotMultipliers_[c] * ratio);
    }
    moved[3] = static_cast<float>(asShotMultipliers_[3] * (from[1] / to[1]));
    std::copy(moved, moved + 4, out);
}

bool RawFilter::isColorNoiseReductionSupported() const {
    return colors_ >= 3;
}
bool RawFilter::isLuminanceNoiseReductionSupported() const {
    return true;
}
bool RawFilter::isSharpnessSupported() const {
    return true;
}
// LibRaw offers no contrast, detail or lens profile control.
bool RawFilter::isContrastSupported() const {
    return false;
}
bool RawFilter::isDetailSupported() const {
    return false;
}
bool RawFilter::isLensCorrectionSupported() const {
    return false;
}

SharedImage RawFilter::outputImage(const std::function<bool()>& isCancelled) {
    // LibRaw asks at the start and end of each stage; an answer other than 0 ends the work there.
    const auto askCaller = [](void* probe, LibRaw_progress, int, int) {
        return (*static_cast<const std::function<bool()>*>(probe))() ? 1 : 0;
    };
    if (isCancelled) raw_->set_progress_handler(askCaller, const_cast<std::function<bool()>*>(&isCancelled));
    SharedImage image;
    try {
        image = develop();
    } catch (...) {
    }
    raw_->set_progress_handler(nullptr, nullptr);
    return image;
}

SharedImage RawFilter::develop() {
    const RawFilterProperties& p = properties_;
    const float scale =
        std::isfinite(p.scaleFactor) && p.scaleFactor > 0 ? std::min(p.scaleFactor, 1.0f) : 1.0f;

    auto& params = raw_->imgdata.params;
    params.use_camera_wb = 0;
    params.use_auto_wb = 0;
    multipliersFor(p.neutralTemperature, p.neutralTint, params.user_mul);
    params.output_color = 1; // sRGB primaries
    params.output_bps = 16;
    params.gamm[0] = 1.0;
    params.gamm[1] = 1.0;
    params.no_auto_bright = 1;
    params.user_flip = 0; // orientation is ours
    params.highlight = 0;
    params.half_size = bayer_ && scale <= 0.5f ? 1 : 0;
    params.user_qual = kDemosaicAhd;
    params.med_passes = 0; // ours is parallel, see medianChroma
    const auto& sizes = raw_->imgdata.sizes;
    const float luminanceThreshold =
        isLuminanceNoiseReductionSupported()
            ? std::clamp(p.luminanceNoiseReductionAmount.value_or(0.0f), 0.0f, 1.0f) * kWaveletThresholdAtFull
            : 0.0f;
    const bool denoisable = std::min({static_cast<double>(sizes.width), static_cast<double>(sizes.height),
                                      nativeSize_.width, nativeSize_.height}) >= kWaveletSmallestSide;
    params.threshold = libRawReducesLuminanceNoise_ && denoisable ? luminanceThreshold : 0.0f;

    if (!unpack() || raw_->dcraw_process() != LIBRAW_SUCCESS) return nullptr;

    // The developed picture as LibRaw's own memory image takes it: sizes.width × sizes.height,
    // rows of sizes.width pixels. Denoising at half size and re-expanding, Fuji's rotation and the
    // stretch of non-square pixels each leave a picture of a new size behind them and the working
    // size (iwidth × iheight) where it was.
    int width = 0, height = 0, colors = 0, bps = 0;
    raw_->get_mem_image_format(&width, &height, &colors, &bps);
    auto* image = raw_->imgdata.image;
    if (!image || sizes.flip != 0 || width < 1 || height < 1 || width != sizes.width ||
        height != sizes.height || bps != 16 || (colors != 1 && colors != 3)) {
        return nullptr;
    }
    // At full size the picture is LibRaw's own, never resampled; reduced, it is the native size scaled.
    const bool full = scale >= 1;
    const int targetWidth =
        full ? width : std::max(1, static_cast<int>(std::lround(nativeSize_.width * scale)));
    const int targetHeight =
        full ? height : std::max(1, static_cast<int>(std::lround(nativeSize_.height * scale)));
    const int stride = sizes.width;
    if (colors == 3 && isColorNoiseReductionSupported()) {
        const float amount = std::clamp(p.colorNoiseReductionAmount.value_or(0.0f), 0.0f, 1.0f);
        medianChroma(image, stride, width, height,
                     static_cast<int>(std::lround(amount * kMedianPassesAtFull)));
    }
    if (colors == 3 && !libRawReducesLuminanceNoise_)
        LuminanceWaveletDenoise::apply(image, stride, width, height, luminanceThreshold);
    const auto table = toneTable(p);
    PixelBuffer developed =
        toneMap(image, stride, width, height, colors == 1, targetWidth, targetHeight, table);
    raw_->free_image();

    const int orientation = p.orientation >= 1 && p.orientation <= 8 ? p.orientation : 1;
    const float sharpness =
        isSharpnessSupported() ? std::clamp(p.sharpnessAmount.value_or(0.0f), 0.0f, 1.0f) : 0.0f;
    if (sharpness > 0) developed = sharpen(developed, sharpness);
    if (orientation != 1) developed = orient(developed, orientation);
    return makeImage(std::move(developed));
}

} // namespace sorvin
