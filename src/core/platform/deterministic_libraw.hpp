#pragma once

#include <libraw/libraw.h>
#include <vector>

namespace sorvin {

// LibRaw made to develop a file to the same pixels every time: its loops whose threads meet on one
// pixel run on one thread, and its X-Trans demosaic is run piece by piece on our own threads.
// LibRaw's X-Trans demosaic hands bands of tiles to its threads, and neighbouring bands read pixels
// that the other writes (tens of levels apart at the seams, depending on which thread gets there
// first). The copy of the sensor data into half-size planes writes the pixels of each 2 × 2 block
// into one, a colour at a time: where a block holds one colour twice (X-Trans, diagonal sensors),
// which of the two is kept would depend on the threads' order. So the same file and settings look
// the same on screen, in the loupe and in every export.
class DeterministicLibRaw final : public LibRaw {
public:
    explicit DeterministicLibRaw(unsigned options);
    // Set once the file is open: whether every 2 × 2 block of its pattern holds each colour once.
    bool blocksHoldEveryColour = true;

protected:
    void copy_bayer(unsigned short cblack[4], unsigned short* dmaxp) override;
    void copy_fuji_uncropped(unsigned short cblack[4], unsigned short* dmaxp) override;

private:
    // The X-Trans demosaic, cut into pieces that each run LibRaw's own on a copy of their part of
    // the sensor data with a margin around it; every piece reads the data as they were before any
    // piece wrote, so what it gives does not depend on which piece finished first.
    void interpolateXTrans();

    unsigned options_;
};

// One piece's rows (or columns) of the X-Trans demosaic: those it reads, and the part of them it
// gives to the picture. Pieces start on the pattern's six-pixel period, read at least LibRaw's tile
// (512) and give between them every row exactly once.
struct PieceSpan {
    int readFrom = 0;
    int giveFrom = 0;
    int giveTo = 0;
    int readTo = 0;
};

// The spans a length of the picture is cut into: one span reading and giving all of it when it is
// too short to cut.
std::vector<PieceSpan> xtransPieceSpans(int length);

} // namespace sorvin
