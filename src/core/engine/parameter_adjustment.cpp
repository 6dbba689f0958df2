#include "engine/parameter_adjustment.hpp"

#include "engine/first_sweep.hpp"
#include "engine/mask_blend.hpp"
#include "engine/row_bands.hpp"
#include "engine/second_pass_stages.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/mask_weight_plan.hpp"
#include "model/photo_parameters.hpp"
#include "platform/draw_or_none.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

namespace sorvin {

namespace {

// One pass with one flat value set; with a mask plan the developed pixels are blended against the
// pass's input.
SharedImage developPass(const SharedImage& image, const PhotoParameters& parameters,
                        const std::optional<DevelopmentPlacement>& placement, const MaskWeightPlan* maskPlan,
                        const CancellationProbe& isCancelled) {
    if (ParameterAdjustment::plan(parameters).isEmpty()) return image;
    if (!image) return nullptr;
    const int width = image->width();
    const int height = image->height();
    if (width < 1 || height < 1) return nullptr;
    // Every byte is written by the first sweep (or its copy), so the bitmap is not cleared first.
    PixelBuffer bitmap = PixelBuffer::forOverwrite(width, height);
    // Drawing the input into the working bitmap copies it byte for byte and the input never changes,
    // so the input itself is the source copy a mask pass blends against, and the first sweep reads
    // it directly instead of copying it first.
    const Image& source = *image;

    const std::optional<ParameterLookupTables> tables = ParameterAdjustment::lookupTables(parameters);
    const ByteTable& identity = ParameterAdjustment::identityTable();
    FirstSweep first;
    first.hasTables = tables.has_value();
    first.red = tables ? &tables->red : &identity;
    first.green = tables ? &tables->green : &identity;
    first.blue = tables ? &tables->blue : &identity;
    first.saturation = std::clamp(parameters[PhotoParameter::saturation], -100, 100);
    first.vibrance = std::clamp(parameters[PhotoParameter::vibrance], -100, 100);
    first.color = ColorAdjustment::plan(parameters);
    first.blackAndWhite = BlackAndWhiteAdjustment::plan(parameters);
    first.grading = ColorGradingAdjustment::plan(parameters);
    // Building the graded byte table costs as much as grading 200,000 pixels the long way.
    constexpr std::int64_t kGradingTablePixels = 1'000'000;
    if (first.grading && std::int64_t{width} * height >= kGradingTablePixels) {
        first.gradingBytes = ColorGradingAdjustment::byteTable(*first.grading);
    }
    SecondPassStages second = SecondPassStages::plan(parameters, width, height, placement);

    const bool runsFirst = first.runs();
    // Without planes to build in between, both sweeps run over a row in one go.
    const bool oneSweep = !second.needsPlanes();
    const std::size_t rowBytes = bitmap.bytesPerRow();

    const auto firstSweepOf = [&](int y, int begin, int end) {
        if (begin >= end) return;
        const std::size_t offset = 4 * static_cast<std::size_t>(begin);
        if (runsFirst) {
            first.row(source.row(y) + offset, bitmap.row(y) + offset, end - begin);
        } else {
            std::memcpy(bitmap.row(y) + offset, source.row(y) + offset,
                        4 * static_cast<std::size_t>(end - begin));
        }
    };
    // The second sweep's stages, then the blend; the pixels outside the span keep their input bytes.
    const auto finishRow = [&](int y, std::span<const double> weights, MaskBlend::Span span) {
        std::uint8_t* row = bitmap.row(y);
        if (second.hasWork()) second.applyRow(y, row, width);
        if (!maskPlan) return;
        std::memcpy(row, source.row(y), 4 * static_cast<std::size_t>(span.begin));
        MaskBlend::blend(weights, source.row(y), row, span.begin, span.end);
        std::memcpy(row + 4 * static_cast<std::size_t>(span.end),
                    source.row(y) + 4 * static_cast<std::size_t>(span.end),
                    rowBytes - 4 * static_cast<std::size_t>(span.end));
    };
    const auto weightsOf = [&](int y, std::vector<double>& weights) {
        if (!maskPlan) return MaskBlend::Span{0, width};
        weights.resize(static_cast<std::size_t>(width));
        MaskBlend::rowWeights(*maskPlan, y, weights);
        return MaskBlend::nonZeroSpan(weights);
    };

    // Set by the first band that stops: its rows are unfinished, so the pass can give no image even
    // if the probe answers false again afterwards.
    std::atomic<bool> stopped = false;
    // Every answer of the probe counts: one that stops the pass anywhere is remembered.
    const auto stopsNow = [&] {
        if (!stopped.load(std::memory_order_relaxed) && isCancelled()) stopped = true;
        return stopped.load(std::memory_order_relaxed);
    };
    // Runs body(y) over rows [begin, end) until the pass stops.
    const auto eachRowUnlessStopped = [&](int begin, int end, const auto& body) {
        for (int y = begin; y < end; ++y) {
            if (stopsNow()) return;
            body(y);
        }
    };
    if (!oneSweep) {
        // The detail planes need every pixel of the first sweep, weighted or not; each row is
        // swept just before the planes are made from it.
        second.sweepInSteps(
            bitmap,
            [&](int begin, int end) {
                eachRowUnlessStopped(begin, end, [&](int y) { firstSweepOf(y, 0, width); });
            },
            [&](int begin, int end) {
                std::vector<double> weights;
                eachRowUnlessStopped(begin, end,
                                     [&](int y) { finishRow(y, weights, weightsOf(y, weights)); });
            },
            stopsNow);
        if (stopped || isCancelled()) return nullptr;
        return makeImage(std::move(bitmap));
    }
    const RowBands bands = RowBands::of(height);
    bands.run([&](int begin, int end) {
        std::vector<double> weights;
        eachRowUnlessStopped(begin, end, [&](int y) {
            // A mask pass develops only the columns its weights reach.
            const MaskBlend::Span span = weightsOf(y, weights);
            if (span.begin == span.end && maskPlan) {
                std::memcpy(bitmap.row(y), source.row(y), rowBytes);
                return;
            }
            firstSweepOf(y, span.begin, span.end);
            if (second.hasWork()) {
                // Vignette and grain work on whole rows; the blend then restores what lies outside.
                firstSweepOf(y, 0, span.begin);
                firstSweepOf(y, span.end, width);
            }
            finishRow(y, weights, span);
        });
    });
    if (stopped || isCancelled()) return nullptr;
    return makeImage(std::move(bitmap));
}

// No image when the pass's bitmap cannot be had.
SharedImage applyingSingleTarget(const SharedImage& image, const PhotoParameters& parameters,
                                 const std::optional<DevelopmentPlacement>& placement,
                                 const MaskWeightPlan* maskPlan, const CancellationProbe& isCancelled) {
    return drawOrNone([&] { return developPass(image, parameters, placement, maskPlan, isCancelled); });
}

// The masks that take part, in list order.
std::vector<std::size_t> activeMasks(const PhotoParameters& parameters, const MaskKindCatalog& catalog) {
    std::vector<std::size_t> active;
    for (std::size_t i = 0; i < parameters.masks.size(); ++i) {
        if (parameters.masks[i].isActive(catalog)) active.push_back(i);
    }
    return active;
}

// The value set of each pass: the global values, then each active mask's.
std::vector<PhotoParameters> passValues(const PhotoParameters& parameters, const MaskKindCatalog& catalog) {
    const std::vector<std::size_t> masks = activeMasks(parameters, catalog);
    if (masks.empty()) return {parameters};
    std::vector<PhotoParameters> passes{
        parameters.pipelineParameters(ParameterEditTarget::global(), catalog)};
    for (std::size_t index : masks)
        passes.push_back(parameters.masks[index].pipelineParameters(catalog));
    return passes;
}

} // namespace

std::optional<PixelBuffer> ParameterAdjustment::rgbaContext(int width, int height) {
    if (width < 1 || height < 1) return std::nullopt;
    std::optional<PixelBuffer> bitmap;
    drawOrNone([&] {
        bitmap.emplace(width, height);
        return SharedImage();
    });
    return bitmap;
}

ParameterProcessingPlan ParameterAdjustment::plan(const PhotoParameters& parameters) {
    ParameterProcessingPlan plan;
    plan.usesLookupTables = !ToneTableValues::of(parameters).isNeutral();
    plan.usesSaturation = parameters[PhotoParameter::saturation] != 0;
    plan.usesVibrance = parameters[PhotoParameter::vibrance] != 0;
    plan.usesColorMixer = ColorAdjustment::plan(parameters).has_value();
    plan.usesBlackAndWhite = parameters[PhotoParameter::blackwhite_amount] != 0;
    plan.usesColorGrading = ColorGradingValues::of(parameters) != ColorGradingValues{};
    plan.usesDetail = parameters.usesDetailStage();
    plan.usesVignette = parameters[PhotoParameter::vignette_amount] != 0;
    plan.usesGrain = parameters[PhotoParameter::grain_amount] != 0;
    return plan;
}

SharedImage ParameterAdjustment::applying(const SharedImage& image, const PhotoParameters& parameters,
                                          const std::optional<DevelopmentPlacement>& placement,
                                          const MaskKindCatalog& catalog, const CancellationProbe& probe) {
    // An empty probe (a caller's default) never cancels.
    const CancellationProbe& isCancelled = probe ? probe : neverCancelled();
    const std::vector<std::size_t> masks = activeMasks(parameters, catalog);
    if (masks.empty()) return applyingSingleTarget(image, parameters, placement, nullptr, isCancelled);

    SharedImage current =
        applyingSingleTarget(image, parameters.pipelineParameters(ParameterEditTarget::global(), catalog),
                             placement, nullptr, isCancelled);
    if (!current) return nullptr;
    // Each mask develops the result so far with its own values and blends it back by its weight, so
    // masks stack in list order. A mask is laid out on the whole photo.
    for (std::size_t index : masks) {
        const PhotoMask& mask = parameters.masks[index];
        const PhotoParameters maskValues = mask.pipelineParameters(catalog);
        const MaskKindDefinition* definition = catalog.definition(mask.kind);
        if (!definition || !definition->makeWeightPlan) return nullptr;
        std::optional<MaskWeightPlan> weightPlan =
            placement ? definition->makeWeightPlan(maskValues, placement->photoWidth, placement->photoHeight)
                      : definition->makeWeightPlan(maskValues, current->width(), current->height());
        if (!weightPlan) return nullptr;
        if (placement) weightPlan = weightPlan->placed(*placement);
        current = applyingSingleTarget(current, maskValues, placement, &*weightPlan, isCancelled);
        if (!current) return nullptr;
    }
    return current;
}

int ParameterAdjustment::reach(const PhotoParameters& parameters, int photoLongEdge,
                               const MaskKindCatalog& catalog) {
    int total = 0;
    for (const PhotoParameters& values : passValues(parameters, catalog)) {
        if (const auto plan = DetailAdjustment::plan(values, photoLongEdge, photoLongEdge))
            total += DetailAdjustment::reach(*plan);
    }
    return total;
}

bool ParameterAdjustment::readsNeighbours(const PhotoParameters& parameters, const MaskKindCatalog& catalog) {
    const auto passes = passValues(parameters, catalog);
    return std::any_of(passes.begin(), passes.end(),
                       [](const PhotoParameters& values) { return values.usesDetailStage(); });
}

} // namespace sorvin
