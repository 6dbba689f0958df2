#pragma once

#include "engine/detail_adjustment.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace sorvin {

// The detail stage in one sweep down a bitmap as the first loop left it. Every blur is kept as a
// few rings of rows rather than whole planes: each of its four box passes goes on a step of rows
// further at a time, the vertical ones carrying their column sums from one step to the next, so
// the rows a step reads were written shortly before and are still in the processor's caches. The
// passes of a step are pipelined (each reads only what earlier steps made), so a step is one
// parallel phase: rows taken from the bitmap, horizontal passes and the finished rows handed back
// in pieces of rows, vertical passes in pieces of columns, each blur's pieces on a thread of its
// own as far as the threads go and each band of a few finished rows always on the same thread
// (rows handed between processors cost more than the passes' work). All rings lie in one block.
// Blurs with a long reach (clarity, dehaze) take their rows from the bitmap further ahead than the
// short ones. Gives the bytes of whole planes (DetailAdjustment::planesFromBitmap), colour noise
// included.
class DetailStream {
public:
    // Rows every step moves on by; the rings hold a few steps beside the blurs' reach.
    static constexpr int kStepRows = 32;

    DetailStream(std::uint8_t* bytes, int width, int height, std::size_t bytesPerRow,
                 const DetailAdjustmentPlan& plan, int stepRows = kStepRows);
    ~DetailStream();
    DetailStream(const DetailStream&) = delete;
    DetailStream& operator=(const DetailStream&) = delete;

    // The planes applyRow reads (rings: row y is there while rows [y - 1, y + 1] are finished).
    const DetailPlanes& planes() const { return planes_; }

    // Has finish(begin, end) finish rows [begin, end) of the bitmap (applyRow on each, and what
    // else the second loop does), once each row, from the top down a step at a time but from
    // several threads at once for different ranges. False from any stops the sweep after its step.
    using Rows = std::function<bool(int begin, int end)>;
    void run(const Rows& finish);
    // The same where the bitmap's rows are still to be written: prepare(begin, end) writes rows
    // [begin, end) (the first loop) a step before the sweep first reads them, so they are read
    // back from the caches; once each row, like finish, and false from it stops the sweep too.
    void run(const Rows& prepare, const Rows& finish);

private:
    struct Chain;
    struct Group;

    std::uint8_t* bytes_;
    int width_;
    int height_;
    std::size_t bytesPerRow_;
    int stepRows_;
    DetailPlane ringBlock_; // the bytes of every ring below
    DetailPlanes planes_;
    std::vector<std::unique_ptr<Chain>> chains_;
    std::vector<Group> groups_;
};

} // namespace sorvin
