#include "model/parameter_page.hpp"

namespace sorvin {

namespace {
constexpr std::string_view letterPageNames[] = {
    "基本",       "色相", "彩度",    "明度", "グレーディング", "効果", "白黒",
    "ディテール", "形",   "RAW現像", "",     "補正",
};
} // namespace

std::optional<ParameterLetterPage> ParameterLetterPages::fromRawValue(int rawValue) {
    if (rawValue < 0 || rawValue > 11 || rawValue == 10) return std::nullopt;
    return static_cast<ParameterLetterPage>(rawValue);
}

std::string_view ParameterLetterPages::displayName(ParameterLetterPage page) {
    return letterPageNames[static_cast<int>(page)];
}

std::optional<PointCurveChannel> pointCurveChannel(int rawValue) {
    if (rawValue < 0 || rawValue > 3) return std::nullopt;
    return static_cast<PointCurveChannel>(rawValue);
}

ParameterPage ParameterPage::fromStoredValue(long long storedValue) {
    if (storedValue >= 0 && storedValue <= 11) {
        if (auto page = ParameterLetterPages::fromRawValue(static_cast<int>(storedValue)))
            return letter(*page);
    }
    if (storedValue >= 20 && storedValue <= 23)
        return curve(static_cast<PointCurveChannel>(storedValue - 20));
    return letter(ParameterLetterPage::basic);
}

} // namespace sorvin
