// What the adjustment panel works out on every redraw while a slider is dragged: the columns of the
// page with their opacity and value text, and, on a curve page, the tone curve graph's model, with
// the same values each time and with values that change at every step. The copy of the graph's four
// tables is the baseline.
#include "model/parameter_page.hpp"
#include "panel/parameter_child_slider_appearance.hpp"
#include "panel/parameter_slot_column.hpp"
#include "panel/parameter_slot_content.hpp"
#include "panel/tone_curve_graph_model.hpp"

#include <array>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstring>

namespace {

using namespace sorvin;
using P = PhotoParameter;

PhotoParameters editedSet() {
    PhotoParameters parameters({MaskKind::circular()});
    parameters.setValue(25, P::exposure);
    parameters.setValue(-10, P::contrast);
    parameters.setValue(60, P::curve_point_rgb_2);
    parameters.setValue(30, P::vignette_amount);
    return parameters;
}

void BM_TableCopyBaseline(benchmark::State& state) {
    std::array<std::uint8_t, 4 * 256> tables{};
    std::array<std::uint8_t, 4 * 256> copy{};
    tables[7] = 3;
    for (auto _ : state) {
        std::memcpy(copy.data(), tables.data(), tables.size());
        benchmark::DoNotOptimize(copy);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TableCopyBaseline);

void BM_CurveGraphUnchanged(benchmark::State& state) {
    const PhotoParameters parameters = editedSet();
    for (auto _ : state)
        benchmark::DoNotOptimize(ToneCurveGraphModel::make(parameters, PointCurveChannel::rgb));
}
BENCHMARK(BM_CurveGraphUnchanged);

void BM_CurveGraphWhileDragging(benchmark::State& state) {
    PhotoParameters parameters = editedSet();
    long step = 0;
    for (auto _ : state) {
        // A different pair of values at every step, 20301 pairs in turn.
        ++step;
        parameters.setValue(step % 101, P::curve_point_rgb_2);
        parameters.setValue((step / 101) % 201 - 100, P::contrast);
        benchmark::DoNotOptimize(ToneCurveGraphModel::make(parameters, PointCurveChannel::rgb));
    }
}
BENCHMARK(BM_CurveGraphWhileDragging);

void BM_SlotColumnsOfAPage(benchmark::State& state) {
    const PhotoParameters parameters = editedSet();
    const RawDevelopmentSupport support;
    const ParameterEditTarget target = ParameterEditTarget::global();
    for (auto _ : state) {
        const auto slots = ParameterSlotContent::slots(ParameterPage::letter(ParameterLetterPage::effects),
                                                       target, parameters, false, support);
        for (const auto& slot : slots) {
            if (!slot.parameter) continue;
            const int value = parameters.value(*slot.parameter, target);
            benchmark::DoNotOptimize(
                ParameterChildSliderAppearance::opacity(*slot.parameter, parameters, target));
            benchmark::DoNotOptimize(ParameterSlotColumn::labelText(*slot.parameter, value, std::nullopt));
        }
    }
}
BENCHMARK(BM_SlotColumnsOfAPage);

} // namespace
