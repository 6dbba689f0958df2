#include "view/adjustment_input.hpp"

#include "platform/white_space_text.hpp"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fmt/format.h>
#include <locale.h>
#include <optional>

namespace sorvin::AdjustmentInput {

namespace {

constexpr std::string_view kPlusMinus = "±";

// The number the C library reads from the whole text in the C locale; none for anything else, for
// text that begins with white space and for values that are not finite.
std::optional<double> numberText(std::string_view text) {
    if (text.empty() || WhiteSpaceText::isWhiteSpaceOrLineBreak(static_cast<unsigned char>(text.front())))
        return std::nullopt;
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const std::string copy(text);
    char* end = nullptr;
    const double value = strtod_l(copy.c_str(), &end, cLocale);
    if (end != copy.c_str() + copy.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// "+7", "-12", "300"; none for anything else and outside the 64-bit range.
std::optional<std::int64_t> wholeNumberText(std::string_view text) {
    std::string_view digits = text;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    // Parse with the sign so that the most negative value still fits.
    const std::string signedDigits = fmt::format("{}{}", negative ? "-" : "", digits);
    std::int64_t value = 0;
    const auto [end, error] =
        std::from_chars(signedDigits.data(), signedDigits.data() + signedDigits.size(), value);
    if (error != std::errc() || end != signedDigits.data() + signedDigits.size()) return std::nullopt;
    return value;
}

std::string_view withoutPlusMinus(std::string_view text) {
    if (text.starts_with(kPlusMinus)) text.remove_prefix(kPlusMinus.size());
    return text;
}

// Rounded half away from zero and clamped, so any finite number ends at the nearer bound.
int roundedInto(double value, int lower, int upper) {
    return static_cast<int>(
        std::clamp(std::round(value), static_cast<double>(lower), static_cast<double>(upper)));
}

// A value shown in EV, one stored step being `stepEV`.
int evValue(std::string_view text, int fallback, double stepEV, int lower, int upper) {
    std::string trimmed = WhiteSpaceText::trimmed(text);
    if (trimmed.size() >= 2) {
        const std::string_view tail = std::string_view(trimmed).substr(trimmed.size() - 2);
        if ((tail[0] == 'e' || tail[0] == 'E') && (tail[1] == 'v' || tail[1] == 'V'))
            trimmed = WhiteSpaceText::trimmed(std::string_view(trimmed).substr(0, trimmed.size() - 2));
    }
    const auto number = numberText(withoutPlusMinus(trimmed));
    if (!number) return fallback;
    return roundedInto(*number / stepEV, lower, upper);
}

} // namespace

std::string rotationText(double degrees) {
    // A negative zero, or an angle that rounds to zero, reads "0.0" without a sign.
    if (std::round(degrees * 10) == 0) return "0.0";
    return degrees > 0 ? fmt::format("{:+.1f}", degrees) : fmt::format("{:.1f}", degrees);
}

double rotation(std::string_view text, double fallback) {
    const auto number = numberText(WhiteSpaceText::trimmed(text));
    if (!number) return fallback;
    if (*number <= -180) return -180;
    // Adding zero turns a negative zero into zero.
    return std::round(std::min(*number, 179.5) * 2) / 2 + 0.0;
}

int integer(std::string_view text, int fallback, int lower, int upper) {
    const auto number = wholeNumberText(WhiteSpaceText::trimmed(text));
    if (!number) return fallback;
    return static_cast<int>(std::clamp<std::int64_t>(*number, lower, upper));
}

int brightness(std::string_view text, int fallback) {
    return evValue(text, fallback, 0.05, -100, 100);
}

int parameter(std::string_view text, PhotoParameter p, int fallback) {
    switch (p) {
    case PhotoParameter::exposure:
        return brightness(text, fallback);
    case PhotoParameter::raw_exposure:
        // Shown in EV as well, at 0.02 EV a step; a bare number is read in EV like the exposure's.
        return evValue(text, fallback, 0.02, ParameterCatalog::minimum(p), ParameterCatalog::maximum(p));
    default:
        break;
    }
    const std::string trimmed = WhiteSpaceText::trimmed(text);
    const auto number = numberText(withoutPlusMinus(trimmed));
    if (!number) return fallback;
    if (p == PhotoParameter::circular_mask_center_x || p == PhotoParameter::circular_mask_center_y)
        return roundedInto(*number * 10, 0, 1000);
    return roundedInto(*number, ParameterCatalog::minimum(p), ParameterCatalog::maximum(p));
}

} // namespace sorvin::AdjustmentInput
