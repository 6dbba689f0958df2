// The decoder of JPEG and HEIF files for the screen, on small inputs. A picture it gives is
// within the size asked for. Each file is also decoded as an export decodes it, refusing damage.

#include "fuzz_support.hpp"
#include "fuzz_target.hpp"
#include "loading/image_decoder.hpp"
#include "platform/heif_file.hpp"
#include "platform/jpeg_decoder.hpp"

SORVIN_FUZZ_TARGET(image_decoder) {
    using namespace sorvin;
    constexpr int longEdge = 160;
    if (const auto whole = JpegDecoder::decode(data, 1, {}, DamagedData::refused))
        fuzz::require(whole->image && whole->image->width() > 0, "an empty picture from a whole file");
    if (const auto heif = HeifFile::open(data)) {
        if (const SharedImage whole = heif->decode(DamagedData::refused))
            fuzz::require(whole->width() > 0 && whole->height() > 0, "an empty picture from a whole file");
    }
    const SharedImage image = ImageDecoder::decode(data, longEdge);
    if (!image) return;
    fuzz::reached();
    fuzz::require(image->width() > 0 && image->height() > 0, "an empty picture");
    fuzz::require(image->width() <= longEdge && image->height() <= longEdge, "a picture beyond the size asked for");
}
