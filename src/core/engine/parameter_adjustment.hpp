#pragma once

#include "engine/cancellation_probe.hpp"
#include "engine/parameter_lookup_tables.hpp"
#include "engine/parameter_processing_plan.hpp"
#include "model/development_placement.hpp"
#include "platform/image.hpp"

#include <optional>

namespace sorvin {

class PhotoParameters;
struct MaskKindCatalog;

// The CPU development of one bitmap with one parameter set: a global pass, then one pass per active
// mask blended back by the mask's weight. Keeps no state apart from the tone-table cache.
struct ParameterAdjustment {
    // The developed image; the very input object when there is nothing to do; none when the work was
    // cancelled or the bitmap could not be had. The placement tells where the bitmap lies in the
    // whole photo and where the finished picture lies (none: the bitmap is both). The probe is
    // asked once per row of every band and after each phase of a pass.
    static SharedImage applying(const SharedImage& image, const PhotoParameters& parameters,
                                const std::optional<DevelopmentPlacement>& placement,
                                const MaskKindCatalog& catalog,
                                const CancellationProbe& isCancelled = neverCancelled());

    // How far from a pixel the development reads for it, in pixels of a photo of that long edge:
    // a part of the photo developed with this margin of the photo around it is, inside the margin,
    // what the whole photo's development has there. The reaches of the passes add up, since each
    // reads the last one's result.
    static int reach(const PhotoParameters& parameters, int photoLongEdge, const MaskKindCatalog& catalog);
    // Whether any pass (the global values' or an active mask's) reads beyond its pixel: the detail
    // stage is used somewhere.
    static bool readsNeighbours(const PhotoParameters& parameters, const MaskKindCatalog& catalog);

    // Which stages the value set asks for.
    static ParameterProcessingPlan plan(const PhotoParameters& parameters);

    // The working bitmap of a pass: 8-bit RGBA, premultiplied, alpha last, transparent black; none
    // for a side below 1 or when the memory cannot be had.
    static std::optional<PixelBuffer> rgbaContext(int width, int height);

    // Tone tables for the value set, from the process-wide cache; none when every tone value is at
    // its default (then no tone stage is needed).
    static std::optional<ParameterLookupTables> lookupTables(const PhotoParameters& parameters);
    static std::optional<ParameterLookupTables> lookupTables(const ToneTableValues& values);

    // White balance: positive temperature warms, positive tint turns magenta.
    static ParameterChannelMultipliers channelMultipliers(int temperature, int tint);

    // The bytes 0, 1, ..., 255.
    static const ByteTable& identityTable();
};

} // namespace sorvin
