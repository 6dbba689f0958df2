#include "model/parameter_values.hpp"

#include <string_view>

namespace sorvin {

namespace {
const std::array<std::int16_t, ParameterCatalog::count>& defaultValues() {
    static const auto defaults = [] {
        std::array<std::int16_t, ParameterCatalog::count> values{};
        for (PhotoParameter p : ParameterCatalog::allCases()) {
            values[ParameterCatalog::index(p)] = static_cast<std::int16_t>(ParameterCatalog::defaultValue(p));
        }
        return values;
    }();
    return defaults;
}
} // namespace

ParameterValues::ParameterValues() : values_(defaultValues()) {}

void ParameterValues::set(PhotoParameter p, std::int64_t value) {
    values_[ParameterCatalog::index(p)] = static_cast<std::int16_t>(ParameterCatalog::clamp(p, value));
}

void ParameterValues::reset(PhotoParameter p) {
    values_[ParameterCatalog::index(p)] = defaultValues()[ParameterCatalog::index(p)];
}

bool ParameterValues::isDefault(PhotoParameter p) const {
    return values_[ParameterCatalog::index(p)] == defaultValues()[ParameterCatalog::index(p)];
}

bool ParameterValues::isEmpty() const {
    return values_ == defaultValues();
}

std::vector<std::pair<PhotoParameter, int>> ParameterValues::entries() const {
    std::vector<std::pair<PhotoParameter, int>> result;
    for (PhotoParameter p : ParameterCatalog::allCases()) {
        if (!isDefault(p)) result.emplace_back(p, (*this)[p]);
    }
    return result;
}

std::size_t ParameterValues::hash() const {
    return std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(values_.data()), sizeof(values_)));
}

} // namespace sorvin
