#pragma once

#include <optional>

class LibRaw;

namespace sorvin {

// The size of the picture a RAW file develops to, before its orientation: what the folder lists
// and what every development at full size gives. LibRaw reports the sensor's picture area, which
// its development then changes twice: a diagonal (SuperCCD) sensor is turned square, and pixels
// that are not square are stretched to square ones along the short side. Both sizes are worked out
// as LibRaw's development itself works them out (what `raw-identify` lists as the output size).
namespace RawDevelopedSize {

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

// LibRaw's fields of an opened file: the picture area, the diagonal sensor's width
// (`is_fuji_rotated()`, 0 for other sensors) and the pixels' aspect.
struct Layout {
    int width = 0;
    int height = 0;
    int fujiWidth = 0;
    double pixelAspect = 1;
};

// None when a side comes out below 1.
std::optional<Size> of(const Layout& layout);
std::optional<Size> of(LibRaw& opened);

} // namespace RawDevelopedSize

} // namespace sorvin
