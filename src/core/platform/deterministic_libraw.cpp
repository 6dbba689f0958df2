#include "platform/deterministic_libraw.hpp"

#include "platform/memory_return.hpp"
#include "platform/parallel_for.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <omp.h>
#include <tbb/task_arena.h>
#include <thread>

namespace sorvin {

namespace {

// LibRaw's threads for the rest of this scope run as one.
class OneOpenMpThread {
public:
    OneOpenMpThread() { omp_set_num_threads(1); }
    ~OneOpenMpThread() { omp_set_num_threads(threads_); }
    OneOpenMpThread(const OneOpenMpThread&) = delete;
    OneOpenMpThread& operator=(const OneOpenMpThread&) = delete;

private:
    int threads_ = omp_get_max_threads();
};

// The X-Trans pattern repeats every six rows and columns: a piece that starts on that period sees
// the pattern as the whole picture does.
constexpr int kPatternPeriod = 6;
// What a piece reads beyond what it gives, on the period. The demosaic of a pixel looks up to 18
// pixels away (with 12 the pieces' seams show), so a piece gives the pixels the whole picture would.
constexpr int kMargin = 24;
// The least a piece gives: with one margin and the period's rounding it still reads a whole tile
// of LibRaw's (512), which its demosaic asks for.
constexpr int kLeastGiven = 500;

// LibRaw's pixel: four 16-bit channels, the fourth a scratch one.
using Pixel = std::array<unsigned short, 4>;
static_assert(sizeof(Pixel) == sizeof(unsigned short[4]));

void copyPixels(Pixel* to, const Pixel* from, int count) {
    std::memcpy(to, from, static_cast<std::size_t>(count) * sizeof(Pixel));
}

// The pixels within the margin of every boundary between pieces, as they were before any piece
// wrote: whole rows about each boundary between rows of pieces, whole columns about each between
// columns. A piece takes the part of its input that its neighbours give from here.
class PristineSeams {
public:
    PristineSeams(const Pixel* image, int width, int height, const std::vector<PieceSpan>& rows,
                  const std::vector<PieceSpan>& columns)
        : image_(image), width_(width), rows_(rows), columns_(columns) {
        for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
            const Pixel* first = at(rows[i + 1].readFrom, 0);
            rowBands_.emplace_back(first, first + static_cast<std::size_t>(2 * kMargin) * width);
        }
        for (std::size_t j = 0; j + 1 < columns.size(); ++j) {
            auto& band = columnBands_.emplace_back();
            band.reserve(static_cast<std::size_t>(2 * kMargin) * height);
            for (int row = 0; row < height; ++row)
                band.insert(band.end(), at(row, columns[j + 1].readFrom),
                            at(row, columns[j + 1].readFrom + 2 * kMargin));
        }
    }

    // The input of the piece in row of pieces `i` and column `j`, row by row: what it gives from the
    // picture, which only that piece writes, and its margins from the bands.
    void read(std::size_t i, std::size_t j, Pixel* piece) const {
        const PieceSpan& r = rows_[i];
        const PieceSpan& c = columns_[j];
        const int width = c.readTo - c.readFrom;
        for (int row = r.readFrom; row < r.readTo; ++row, piece += width) {
            if (row < r.giveFrom) {
                copyPixels(piece, rowBand(i - 1, row - r.readFrom, c.readFrom), width);
            } else if (row >= r.giveTo) {
                copyPixels(piece, rowBand(i, row - (r.giveTo - kMargin), c.readFrom), width);
            } else {
                const int left = c.giveFrom - c.readFrom;
                if (left > 0) copyPixels(piece, columnBand(j - 1, row, 0), left);
                copyPixels(piece + left, at(row, c.giveFrom), c.giveTo - c.giveFrom);
                if (c.readTo > c.giveTo)
                    copyPixels(piece + (c.giveTo - c.readFrom), columnBand(j, row, kMargin),
                               c.readTo - c.giveTo);
            }
        }
    }

private:
    const Pixel* at(int row, int column) const {
        return image_ + static_cast<std::size_t>(row) * width_ + column;
    }
    // The band about the boundary below the row of pieces `boundary`: its row `row`, from the
    // picture's column `column` on.
    const Pixel* rowBand(std::size_t boundary, int row, int column) const {
        return &rowBands_[boundary][static_cast<std::size_t>(row) * width_ + column];
    }
    // The band about the boundary right of the column of pieces `boundary`: the picture's row
    // `row`, from the band's column `column` on.
    const Pixel* columnBand(std::size_t boundary, int row, int column) const {
        return &columnBands_[boundary][static_cast<std::size_t>(row) * 2 * kMargin + column];
    }

    const Pixel* image_;
    int width_;
    const std::vector<PieceSpan>& rows_;
    const std::vector<PieceSpan>& columns_;
    std::vector<std::vector<Pixel>> rowBands_;
    std::vector<std::vector<Pixel>> columnBands_;
};

} // namespace

std::vector<PieceSpan> xtransPieceSpans(int length) {
    const int count = std::max(1, length / kLeastGiven);
    const auto boundary = [&](int i) {
        if (i == 0) return 0;
        if (i == count) return length;
        return static_cast<int>(static_cast<long long>(length) * i / count) / kPatternPeriod * kPatternPeriod;
    };
    std::vector<PieceSpan> spans;
    for (int i = 0; i < count; ++i) {
        const int from = boundary(i);
        const int to = boundary(i + 1);
        spans.push_back({i == 0 ? 0 : from - kMargin, from, to, i + 1 == count ? length : to + kMargin});
    }
    return spans;
}

DeterministicLibRaw::DeterministicLibRaw(unsigned options) : LibRaw(options), options_(options) {
    callbacks.interpolate_xtrans_cb = [](void* self) {
        static_cast<DeterministicLibRaw*>(static_cast<LibRaw*>(self))->interpolateXTrans();
    };
}

void DeterministicLibRaw::copy_bayer(unsigned short cblack[4], unsigned short* dmaxp) {
    if (libraw_internal_data.internal_output_params.shrink && !blocksHoldEveryColour) {
        OneOpenMpThread one;
        LibRaw::copy_bayer(cblack, dmaxp);
    } else {
        LibRaw::copy_bayer(cblack, dmaxp);
    }
}

void DeterministicLibRaw::copy_fuji_uncropped(unsigned short cblack[4], unsigned short* dmaxp) {
    if (libraw_internal_data.internal_output_params.shrink) {
        OneOpenMpThread one;
        LibRaw::copy_fuji_uncropped(cblack, dmaxp);
    } else {
        LibRaw::copy_fuji_uncropped(cblack, dmaxp);
    }
}

void DeterministicLibRaw::interpolateXTrans() {
    // LibRaw's own choice: three passes from its quality 3 (ours) up.
    const int passes = imgdata.params.user_qual > 2 ? 3 : 1;
    const int width = imgdata.sizes.width;
    const int height = imgdata.sizes.height;
    const auto rows = xtransPieceSpans(height);
    const auto columns = xtransPieceSpans(width);
    if ((rows.size() == 1 && columns.size() == 1) || imgdata.sizes.iwidth != width ||
        imgdata.sizes.iheight != height) {
        OneOpenMpThread one;
        xtrans_interpolate(passes);
        return;
    }

    Pixel* image = reinterpret_cast<Pixel*>(imgdata.image);
    const PristineSeams seams(image, width, height, rows, columns);
    // One LibRaw worker and one piece's pixels for each thread that runs pieces, kept from piece
    // to piece: a LibRaw is large to set up, and a fresh buffer is memory the system must clear.
    struct Slot {
        std::unique_ptr<DeterministicLibRaw> worker;
        std::vector<Pixel> piece;
    };
    tbb::task_arena arena(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
    std::vector<Slot> slots(static_cast<std::size_t>(arena.max_concurrency()));
    const auto interpolatePiece = [&](std::size_t index) {
        const std::size_t i = index / columns.size();
        const std::size_t j = index % columns.size();
        const PieceSpan& r = rows[i];
        const PieceSpan& c = columns[j];
        const int pieceWidth = c.readTo - c.readFrom;
        const int pieceHeight = r.readTo - r.readFrom;
        Slot& slot = slots.at(static_cast<std::size_t>(tbb::this_task_arena::current_thread_index()));
        slot.piece.resize(static_cast<std::size_t>(pieceWidth) * pieceHeight);
        seams.read(i, j, slot.piece.data());

        if (!slot.worker) {
            slot.worker = std::make_unique<DeterministicLibRaw>(options_);
            auto& data = slot.worker->imgdata;
            data.idata.filters = imgdata.idata.filters;
            data.idata.colors = imgdata.idata.colors;
            std::memcpy(data.idata.xtrans, imgdata.idata.xtrans, sizeof data.idata.xtrans);
            std::memcpy(data.color.rgb_cam, imgdata.color.rgb_cam, sizeof data.color.rgb_cam);
        }
        auto& data = slot.worker->imgdata;
        data.sizes.width = data.sizes.iwidth = static_cast<unsigned short>(pieceWidth);
        data.sizes.height = data.sizes.iheight = static_cast<unsigned short>(pieceHeight);
        // The piece's pixels are lent to the worker, which must not free them.
        struct Lent {
            libraw_data_t& data;
            ~Lent() { data.image = nullptr; }
        } lent{data};
        data.image = reinterpret_cast<unsigned short(*)[4]>(slot.piece.data());
        {
            OneOpenMpThread one;
            slot.worker->xtrans_interpolate(passes);
        }
        for (int row = r.giveFrom; row < r.giveTo; ++row)
            copyPixels(image + static_cast<std::size_t>(row) * width + c.giveFrom,
                       &slot.piece[static_cast<std::size_t>(row - r.readFrom) * pieceWidth +
                                   (c.giveFrom - c.readFrom)],
                       c.giveTo - c.giveFrom);
    };
    // As many pieces at once as there are cores, each with LibRaw's tile buffers of its own.
    arena.execute([&] { parallelFor(std::size_t{0}, rows.size() * columns.size(), interpolatePiece); });
    slots.clear();
    // Each thread's LibRaw took and gave back ~25 MB of tile buffers per piece, in its own heap.
    MemoryReturn::releaseFreeHeapMemory();
}

} // namespace sorvin
