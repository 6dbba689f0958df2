// Text typed into the numeric fields. The first byte chooses the field; whatever the rest says,
// the value that comes back lies within the field's range.

#include "fuzz_support.hpp"
#include "fuzz_target.hpp"
#include "view/adjustment_input.hpp"

#include <cmath>

SORVIN_FUZZ_TARGET(typed_input) {
    using namespace sorvin;
    if (data.empty()) return;
    fuzz::reached(); // every text below goes through a field's parser
    const std::string_view text = fuzz::text(data.subspan(1));
    const auto& parameters = ParameterCatalog::allCases();
    const std::size_t choice = data[0] % (parameters.size() + 3);
    constexpr int fallback = 123456;

    if (choice == parameters.size()) {
        const double degrees = AdjustmentInput::rotation(text, 0.25);
        if (degrees == 0.25) return;
        fuzz::require(degrees >= -180 && degrees <= 179.5, "a rotation out of range");
        fuzz::require(std::round(degrees * 2) == degrees * 2, "a rotation off the half-degree grid");
        AdjustmentInput::rotationText(degrees);
    } else if (choice == parameters.size() + 1) {
        const int value = AdjustmentInput::integer(text, fallback, -7, 300);
        fuzz::require(value == fallback || (value >= -7 && value <= 300), "a whole number out of range");
    } else if (choice == parameters.size() + 2) {
        const int value = AdjustmentInput::brightness(text, fallback);
        fuzz::require(value == fallback || (value >= -100 && value <= 100), "a brightness out of range");
    } else {
        const PhotoParameter parameter = parameters[choice];
        const int value = AdjustmentInput::parameter(text, parameter, fallback);
        if (value == fallback) return;
        const bool centre = parameter == PhotoParameter::circular_mask_center_x ||
                            parameter == PhotoParameter::circular_mask_center_y;
        const int lower = centre ? 0 : ParameterCatalog::minimum(parameter);
        const int upper = centre ? 1000 : ParameterCatalog::maximum(parameter);
        fuzz::require(value >= lower && value <= upper, "a parameter out of range");
    }
}
