#include "engine/detail_stream.hpp"

#include "engine/detail_box_blur.hpp"
#include "platform/parallel_for.hpp"

#include <algorithm>
#include <atomic>
#include <tbb/blocked_range.h>
#include <tbb/task_arena.h>

namespace sorvin {

namespace {

// What a blur is made from; also the index of its row in RowBuffers.
enum class Source { luminance, darkChannel, red, green, blue };

// Sums of 32 bits hold any window of fewer than 16 million rows.
bool narrowSums(int height, int radius) {
    return std::min<std::int64_t>(height, 2 * std::int64_t{radius} + 1) < 16'000'000;
}

// The threads of the arena the sweep runs in.
int arenaThreads() {
    return std::max(1, tbb::this_task_arena::max_concurrency());
}

// Runs a step's pieces in parallel, each once. A thread first takes the pieces whose home is its
// own slot of the arena, then the others without a home, each as soon as it is free (so with the
// longest work first the threads end close together), and then whatever the other threads have
// not taken yet: a thread that is late or missing holds nothing up. What it keeps from step to
// step is only rewritten where needed: on a machine whose processors sit apart, writing over
// what other processors have just read costs more than the writing.
class StepScheduler {
public:
    // body(i) for every i below count; home(i) is a slot of the arena, or negative for none.
    template <typename Home, typename Body>
    void run(std::size_t count, const Home& home, const Body& body) {
        const auto threads = static_cast<std::size_t>(arenaThreads());
        homed_.resize(threads);
        for (auto& pieces : homed_)
            pieces.clear();
        unhomed_.clear();
        for (std::size_t i = 0; i < count; ++i) {
            if (const int slot = home(i); slot >= 0)
                homed_[static_cast<std::size_t>(slot) % threads].push_back(i);
            else
                unhomed_.push_back(i);
        }
        // A piece is taken in this step when its mark holds the step's number, so no mark is
        // cleared between steps.
        if (count > capacity_ || ++step_ == 0) {
            capacity_ = std::max(count, 2 * capacity_);
            taken_ = std::make_unique<std::atomic<std::uint32_t>[]>(capacity_);
            step_ = 1;
        }
        const std::uint32_t step = step_;
        const auto take = [&](std::size_t i) {
            if (taken_[i].load(std::memory_order_relaxed) != step &&
                taken_[i].exchange(step, std::memory_order_relaxed) != step)
                body(i);
        };
        nextUnhomed_.value = 0;
        parallelFor(
            tbb::blocked_range<std::size_t>(0, std::min(count, threads), 1),
            [&](const tbb::blocked_range<std::size_t>&) {
                const auto slot = static_cast<std::size_t>(tbb::this_task_arena::current_thread_index());
                if (slot < threads)
                    for (const std::size_t i : homed_[slot])
                        take(i);
                for (std::size_t k = nextUnhomed_.value++; k < unhomed_.size(); k = nextUnhomed_.value++)
                    take(unhomed_[k]);
                // Each thread looks for what is left from its own place on.
                const std::size_t first = count * std::min(slot, threads) / threads;
                for (std::size_t k = 0; k < count; ++k)
                    take((first + k) % count);
            },
            tbb::simple_partitioner());
    }

private:
    std::vector<std::vector<std::size_t>> homed_;
    std::vector<std::size_t> unhomed_;
    std::unique_ptr<std::atomic<std::uint32_t>[]> taken_;
    std::size_t capacity_ = 0;
    std::uint32_t step_ = 0;
    // Taken by every thread: on a cache line of its own.
    struct alignas(64) Counter {
        std::atomic<std::size_t> value = 0;
    } nextUnhomed_;
};

// Where the rings start in the stream's block: on pages of their own, as each is written by
// the thread of its blur.
constexpr std::size_t kRingAlignment = 4096;

} // namespace

// One blur (two box blurs of `radius`) down the picture. The first horizontal pass goes into h1;
// the first vertical pass reads h1 into h2, where the second horizontal pass works in place; the
// second vertical pass reads h2 into `out`. Each pass has made its rows up to its end. All four
// run on the chain's home thread (a slot of the arena), so each reads rows that the same processor
// wrote and writes over rows only it has read: rows handed from one processor to another cost far
// more than the passes' own work where the processors sit apart.
struct DetailStream::Chain {
    Source source;
    int radius;
    int home = 0;
    DetailPlane* out;
    DetailPlane h1;
    DetailPlane h2;
    std::vector<std::uint32_t> sums32[2];
    std::vector<std::uint64_t> sums64[2];
    int h2End = 0;
    int v1End = 0;
    int v2End = 0;

    // `staging`: see DetailBoxBlur::verticalRows.
    void vertical(int pass, int height, int c0, int c1, int from, int to, std::uint8_t* staging) {
        if (from >= to) return;
        const DetailPlane& in = pass == 0 ? h1 : h2;
        DetailPlane& target = pass == 0 ? h2 : *out;
        const auto index = static_cast<std::size_t>(pass);
        if (!sums32[index].empty())
            DetailBoxBlur::verticalRows(in, target, sums32[index].data() + c0, height, radius, c0, c1, from,
                                        to, staging);
        else
            DetailBoxBlur::verticalRows(in, target, sums64[index].data() + c0, height, radius, c0, c1, from,
                                        to, staging);
    }
};

// Blurs whose first passes take their rows from the bitmap together: as far ahead of the finished
// rows as the longest of them reaches.
struct DetailStream::Group {
    int radius = 0;
    int end = 0; // rows taken from the bitmap
    std::vector<Chain*> chains;
};

DetailStream::DetailStream(std::uint8_t* bytes, int width, int height, std::size_t bytesPerRow,
                           const DetailAdjustmentPlan& plan, int stepRows)
    : bytes_(bytes), width_(width), height_(height), bytesPerRow_(bytesPerRow),
      stepRows_(std::max(1, stepRows)) {
    planes_.width = width;
    planes_.height = height;
    if (width < 1 || height < 1) return;
    DetailAdjustment::fillWeights(planes_, plan);
    const std::int64_t step = stepRows_;
    const bool luminance = DetailAdjustment::needsLuminance(plan);
    // Every ring is a view into one block, asked for once all are known: a development then
    // allocates one block instead of dozens, and the allocator keeps it for the next one, faulted
    // in already, where dozens of small ones would be mapped and unmapped every time.
    struct Ring {
        DetailPlane* plane;
        int rows;
    };
    std::vector<Ring> rings;
    // A ring of `rows` rows, or the whole plane when the picture has no more.
    const auto ringOf = [&](DetailPlane& plane, std::int64_t rows) {
        rings.push_back({&plane, static_cast<int>(std::min<std::int64_t>(height, rows))});
    };
    // The finished rows read the luminance of the step they are in; the next step's is made
    // beside them.
    if (luminance) ringOf(planes_.luminance, 2 * step);
    groups_.resize(2);
    Group& longReach = groups_[0];
    Group& shortReach = groups_[1];
    const auto add = [&](bool used, Group& group, Source source, int radius, DetailPlane& out) {
        if (!used) return;
        auto chain = std::make_unique<Chain>();
        chain->source = source;
        chain->radius = radius;
        chain->out = &out;
        group.radius = std::max(group.radius, radius);
        group.chains.push_back(chain.get());
        chains_.push_back(std::move(chain));
    };
    add(luminance && plan.clarity != 0, longReach, Source::luminance, plan.clarityRadius,
        planes_.clarityBlur);
    add(plan.dehaze != 0, longReach, Source::darkChannel, plan.dehazeRadius, planes_.dehazeBlur);
    add(luminance && (plan.texture != 0 || plan.clarity != 0), shortReach, Source::luminance,
        plan.textureRadius, planes_.textureBlur);
    add(luminance && plan.sharpenAmount != 0, shortReach, Source::luminance, plan.sharpRadius,
        planes_.sharpBlur);
    add(luminance && plan.noiseLuminanceAmount != 0, shortReach, Source::luminance, plan.luminanceNoiseRadius,
        planes_.luminanceNoiseBlur);
    const bool colors = DetailAdjustment::needsColorPlanes(plan);
    add(colors, shortReach, Source::red, plan.colorNoiseRadius, planes_.redNoiseBlur);
    add(colors, shortReach, Source::green, plan.colorNoiseRadius, planes_.greenNoiseBlur);
    add(colors, shortReach, Source::blue, plan.colorNoiseRadius, planes_.blueNoiseBlur);
    std::erase_if(groups_, [](const Group& group) { return group.chains.empty(); });

    // Ring sizes follow from the schedule in run(): while a step runs, h1 holds the rows from the
    // first leaving the first vertical window to the last taken from the bitmap (two steps and
    // twice the group's reach), h2 those from the first leaving the second vertical window to
    // the last made by the first (three steps and twice the reach), and `out` those the step
    // finishes with their neighbours above and below and those made for the next (two steps).
    for (const Group& group : groups_) {
        for (Chain* chain : group.chains) {
            const std::int64_t radius = chain->radius;
            ringOf(chain->h1, 2 * step + 2 * std::int64_t{group.radius} + 2);
            ringOf(chain->h2, 3 * step + 2 * radius + 2);
            ringOf(*chain->out, 2 * step + 3);
            const bool narrow = narrowSums(height, chain->radius);
            for (int pass = 0; pass < 2; ++pass) {
                if (narrow)
                    chain->sums32[pass].resize(static_cast<std::size_t>(width));
                else
                    chain->sums64[pass].resize(static_cast<std::size_t>(width));
            }
        }
    }

    const auto bytesOf = [&](const Ring& ring) {
        const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(ring.rows);
        return (bytes + kRingAlignment - 1) / kRingAlignment * kRingAlignment;
    };
    std::size_t total = kRingAlignment; // and the start moved to a page
    for (const Ring& ring : rings)
        total += bytesOf(ring);
    ringBlock_ =
        DetailPlane::forOverwrite(static_cast<int>(kRingAlignment), static_cast<int>(total / kRingAlignment));
    const auto address = reinterpret_cast<std::uintptr_t>(ringBlock_.data());
    std::uint8_t* next = ringBlock_.data() + (kRingAlignment - address % kRingAlignment) % kRingAlignment;
    for (const Ring& ring : rings) {
        *ring.plane = DetailPlane::ringOver(next, width, ring.rows);
        next += bytesOf(ring);
    }
}

DetailStream::~DetailStream() = default;

namespace {

// What a thread of a row phase reuses from row to row.
struct RowBuffers {
    // luminance, dark channel, red, green, blue; then the staging row of the vertical passes
    static constexpr int kStaging = 5;
    std::vector<std::uint8_t> source[6];
    DetailBoxBlur::RowScratch blur;

    std::uint8_t* row(int index, int width) {
        std::vector<std::uint8_t>& bytes = source[index];
        if (bytes.size() < static_cast<std::size_t>(width)) bytes.resize(static_cast<std::size_t>(width));
        return bytes.data();
    }
};

RowBuffers& rowBuffers() {
    thread_local RowBuffers buffers;
    return buffers;
}

// The plane rows of one bitmap row, each made when first asked for.
class SourceRows {
public:
    SourceRows(const std::uint8_t* rgba, int width, RowBuffers& buffers)
        : rgba_(rgba), width_(width), buffers_(buffers) {}

    const std::uint8_t* of(Source source) {
        const auto index = static_cast<int>(source);
        if (!made_[index]) make(source);
        return row(index);
    }

private:
    std::uint8_t* row(int index) { return buffers_.row(index, width_); }

    void make(Source source) {
        switch (source) {
        case Source::luminance:
            DetailAdjustment::luminanceRow(rgba_, row(0), width_);
            made_[0] = true;
            return;
        case Source::darkChannel:
            DetailAdjustment::darkChannelRow(rgba_, row(1), width_);
            made_[1] = true;
            return;
        case Source::red:
        case Source::green:
        case Source::blue: {
            // Each colour on its own: the three blurs of colour noise run on threads of their own.
            const int index = static_cast<int>(source);
            DetailAdjustment::channelRow(rgba_, row(index), width_, index - static_cast<int>(Source::red));
            made_[index] = true;
            return;
        }
        }
    }

    const std::uint8_t* rgba_;
    int width_;
    RowBuffers& buffers_;
    bool made_[5] = {};
};

// A piece of a step's work: rows [begin, end) of one kind, or columns [begin, end) of the
// vertical pass `index` (twice the chain, plus one for the second pass). A chain's pieces go to its
// home thread; the rows a group takes from the bitmap, to one piece per home of its chains; the
// rows prepared and finished and their luminance, to the home of their band of rows.
struct RowWork {
    enum Kind { vertical, finish, prepare, fromBitmap, secondHorizontal, luminance } kind;
    int index; // the group, chain or pass
    int begin;
    int end;
    int home = -1;
};

// Rows each piece of a horizontal pass takes: few enough that the threads share a step evenly,
// enough that the list of a step's pieces, made while the other threads wait, stays short.
constexpr int kRowsPerPiece = 8;

// The rows prepared and finished go to the threads in bands of this many rows, each band to the
// same thread at every step, which also makes their luminance the step before: the rows a thread
// writes lie together, the luminance it reads is its own, and its rows come before the small
// pieces that even out the end of a step. Preparing rows (the first loop of a development, with
// its tone and colour) can cost more than the rest of a step: on one thread, it held up the others.
constexpr int kBandRows = 4;

} // namespace

void DetailStream::run(const Rows& finish) {
    run(nullptr, finish);
}

void DetailStream::run(const Rows& prepare, const Rows& finish) {
    const int height = height_;
    const int width = width_;
    if (width < 1 || height < 1) return;
    const std::int64_t step = stepRows_;
    // Rows [0, finished(k)) are finished after step k.
    const auto finished = [&](std::int64_t k) {
        return static_cast<int>(std::clamp<std::int64_t>(k * step, 0, height));
    };
    // What a vertical pass of `radius` must have made for rows [0, z) to be finished: the rows
    // themselves and the one below (sharpening reads it), and what those rows' windows reach.
    const auto reach = [&](int z, std::int64_t radius) {
        return z > 0 ? static_cast<int>(std::min<std::int64_t>(height, z + 1 + radius)) : 0;
    };
    // Step k finishes rows [finished(k - 1), finished(k)) with what the vertical passes made in
    // step k - 1, and beside that makes:
    //   vertical passes, from what the steps before made: the second as far as step k + 1
    //   finishes, the first as far as the second horizontal pass of step k + 1 reaches;
    //   horizontal passes: the second as far as the second vertical pass of step k + 1 reaches,
    //   the first (each group from the bitmap) as far as the first vertical pass of step k + 1;
    //   the luminance of the rows step k + 1 finishes, and the bitmap rows step k + 1 reads.
    // No work of a step reads what another of the same step writes, so a step is one parallel
    // phase. The ring sizes in the constructor follow from these reaches.
    const auto firstHorizontalEnd = [&](std::int64_t k, int radius) {
        return reach(finished(k + 4), 2 * std::int64_t{radius});
    };
    const auto bitmapEnd = [&](std::int64_t k) {
        int end = finished(k + 1);
        for (const Group& group : groups_)
            end = std::max(end, firstHorizontalEnd(k, group.radius));
        return end;
    };
    int prepared = prepare ? 0 : height;

    // Work on rows, in pieces of a few rows, and the vertical passes in pieces of columns: each
    // pass of each chain over rows as long as they can be (long rows are swept fastest), split
    // only as far as it takes to give every thread about two pieces.
    // Two lists of pieces, a step each in turn: the list written for a step is not the one the
    // threads have just read.
    std::vector<RowWork> works[2];
    std::vector<RowWork>* work = &works[0];
    StepScheduler scheduler;
    const auto addWork = [&](RowWork::Kind kind, int index, int begin, int end, int home = -1) {
        for (int y = begin; y < end; y += kRowsPerPiece)
            work->push_back({kind, index, y, std::min(end, y + kRowsPerPiece), home});
    };
    const int homes = arenaThreads();
    for (std::size_t c = 0; c < chains_.size(); ++c)
        chains_[c]->home = static_cast<int>(c % static_cast<std::size_t>(homes));
    // The homes of each group's chains, each once: a group's rows from the bitmap go to each.
    std::vector<std::vector<int>> groupHomes(groups_.size());
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        for (const Chain* chain : groups_[g].chains)
            groupHomes[g].push_back(chain->home);
        std::sort(groupHomes[g].begin(), groupHomes[g].end());
        groupHomes[g].erase(std::unique(groupHomes[g].begin(), groupHomes[g].end()), groupHomes[g].end());
    }
    // Rows [begin, end) of a kind that goes by bands, in pieces of at most `rows` rows.
    const auto addBanded = [&](RowWork::Kind kind, int begin, int end, int rows) {
        for (int y = begin; y < end;) {
            const int bandEnd = (y / kBandRows + 1) * kBandRows;
            const int pieceEnd = std::min({end, y + rows, bandEnd});
            work->push_back({kind, 0, y, pieceEnd, (y / kBandRows) % homes});
            y = pieceEnd;
        }
    };
    const int passes = 2 * static_cast<int>(chains_.size());
    const int split = passes > 0 ? std::max(1, (2 * homes + passes - 1) / passes) : 1;
    const int columnPiece = std::max(64, (width / split + 63) / 64 * 64);
    struct VerticalRows {
        int from, to;
    };
    std::vector<VerticalRows> vertical(static_cast<std::size_t>(passes));
    // The second vertical passes make the rows that every thread finishing rows reads. Where those
    // are other processors, the rows are stored past the caches: a ring row written over would
    // otherwise first be fetched back from the processors that read it last, which took as long
    // as the pass's own work. One thread reads them back from its own caches.
    const bool finishedElsewhere = homes > 1;

    std::atomic<bool> stopped = false;
    // The first steps only fill the pipeline.
    for (std::int64_t k = -4; finished(k - 1) < height; ++k) {
        work = &works[k & 1];
        work->clear();
        for (std::size_t c = 0; c < chains_.size(); ++c) {
            Chain& chain = *chains_[c];
            vertical[2 * c] = {chain.v1End, std::max(chain.v1End, reach(finished(k + 3), chain.radius))};
            vertical[2 * c + 1] = {chain.v2End, std::max(chain.v2End, reach(finished(k + 1), 0))};
            for (int pass = 0; pass < 2; ++pass) {
                const VerticalRows& rows = vertical[2 * c + static_cast<std::size_t>(pass)];
                if (rows.from < rows.to)
                    for (int c0 = 0; c0 < width; c0 += columnPiece)
                        work->push_back({RowWork::vertical, static_cast<int>(2 * c) + pass, c0,
                                         std::min(width, c0 + columnPiece), chain.home});
            }
            chain.v1End = vertical[2 * c].to;
            chain.v2End = vertical[2 * c + 1].to;
        }
        const int prepareEnd = std::max(prepared, bitmapEnd(k + 1));
        addBanded(RowWork::prepare, prepared, prepareEnd, kBandRows);
        prepared = prepareEnd;
        addBanded(RowWork::finish, finished(k - 1), finished(k), 1);
        for (std::size_t g = 0; g < groups_.size(); ++g) {
            const int end = std::max(groups_[g].end, firstHorizontalEnd(k, groups_[g].radius));
            for (const int home : groupHomes[g])
                addWork(RowWork::fromBitmap, static_cast<int>(g), groups_[g].end, end, home);
            groups_[g].end = end;
        }
        for (std::size_t c = 0; c < chains_.size(); ++c) {
            Chain& chain = *chains_[c];
            const int end = std::max(chain.h2End, reach(finished(k + 2), chain.radius));
            addWork(RowWork::secondHorizontal, static_cast<int>(c), chain.h2End, end, chain.home);
            chain.h2End = end;
        }
        if (!planes_.luminance.empty())
            addBanded(RowWork::luminance, finished(k), finished(k + 1), kBandRows);

        // Longest first: a thread's vertical pieces, the rows it prepares and finishes, its row
        // passes.
        scheduler.run(
            work->size(), [&](std::size_t i) { return (*work)[i].home; },
            [&](std::size_t i) {
                const RowWork& piece = (*work)[i];
                if (piece.kind == RowWork::vertical) {
                    const auto pass = static_cast<std::size_t>(piece.index);
                    Chain& chain = *chains_[pass / 2];
                    const bool second = pass % 2 == 1;
                    chain.vertical(second ? 1 : 0, height, piece.begin, piece.end, vertical[pass].from,
                                   vertical[pass].to,
                                   second && finishedElsewhere
                                       ? rowBuffers().row(RowBuffers::kStaging, piece.end - piece.begin)
                                       : nullptr);
                    return;
                }
                if (piece.kind == RowWork::prepare) {
                    if (!prepare(piece.begin, piece.end)) stopped = true;
                    return;
                }
                if (piece.kind == RowWork::finish) {
                    if (!finish(piece.begin, piece.end)) stopped = true;
                    return;
                }
                RowBuffers& buffers = rowBuffers();
                for (int y = piece.begin; y < piece.end; ++y) {
                    const std::uint8_t* rgba = bytes_ + bytesPerRow_ * static_cast<std::size_t>(y);
                    if (piece.kind == RowWork::fromBitmap) {
                        SourceRows sources(rgba, width, buffers);
                        for (Chain* chain : groups_[static_cast<std::size_t>(piece.index)].chains)
                            if (chain->home == piece.home)
                                DetailBoxBlur::horizontalRow(sources.of(chain->source), chain->h1.row(y),
                                                             width, chain->radius, buffers.blur);
                    } else if (piece.kind == RowWork::secondHorizontal) {
                        Chain& chain = *chains_[static_cast<std::size_t>(piece.index)];
                        DetailBoxBlur::horizontalRow(chain.h2.row(y), chain.h2.row(y), width, chain.radius,
                                                     buffers.blur);
                    } else {
                        DetailAdjustment::luminanceRow(rgba, planes_.luminance.row(y), width);
                    }
                }
            });
        if (stopped) return;
    }
}

} // namespace sorvin
