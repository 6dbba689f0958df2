// The decoder of JPEG and HEIF files for the screen, on small inputs. A picture it gives is
// within the size asked for.

#include "fuzz_support.hpp"
#include "fuzz_target.hpp"
#include "loading/image_decoder.hpp"

SORVIN_FUZZ_TARGET(image_decoder) {
    using namespace sorvin;
    constexpr int longEdge = 160;
    const SharedImage image = ImageDecoder::decode(data, longEdge);
    if (!image) return;
    fuzz::reached();
    fuzz::require(image->width() > 0 && image->height() > 0, "an empty picture");
    fuzz::require(image->width() <= longEdge && image->height() <= longEdge, "a picture beyond the size asked for");
}
