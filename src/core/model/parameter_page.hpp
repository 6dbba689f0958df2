#pragma once

#include <optional>
#include <string_view>

namespace sorvin {

// A lettered page of the adjustment panel. The raw value is also the row of the page layout that
// holds the page; 10 belongs to no page.
enum class ParameterLetterPage : int {
    basic = 0,
    hue = 1,
    saturation = 2,
    luminance = 3,
    grading = 4,
    effects = 5,
    blackAndWhite = 6,
    detail = 7,
    geometry = 11,
    shape = 8,
    rawDevelopment = 9,
};

namespace ParameterLetterPages {
// Every letter page in case order (geometry sits between detail and shape).
inline constexpr ParameterLetterPage all[] = {
    ParameterLetterPage::basic,          ParameterLetterPage::hue,
    ParameterLetterPage::saturation,     ParameterLetterPage::luminance,
    ParameterLetterPage::grading,        ParameterLetterPage::effects,
    ParameterLetterPage::blackAndWhite,  ParameterLetterPage::detail,
    ParameterLetterPage::geometry,       ParameterLetterPage::shape,
    ParameterLetterPage::rawDevelopment,
};

std::optional<ParameterLetterPage> fromRawValue(int rawValue);
std::string_view displayName(ParameterLetterPage page);
} // namespace ParameterLetterPages

enum class PointCurveChannel : int { rgb = 0, red = 1, green = 2, blue = 3 };

std::optional<PointCurveChannel> pointCurveChannel(int rawValue);

// A page of the panel: a letter page or the point-curve page of one channel.
class ParameterPage {
public:
    static constexpr ParameterPage letter(ParameterLetterPage page) {
        return ParameterPage(page, std::nullopt);
    }
    static constexpr ParameterPage curve(PointCurveChannel channel) {
        return ParameterPage(ParameterLetterPage::basic, channel);
    }
    // The stored form (the preference remembering the open page): the letter page's raw value, or
    // 20 + the channel for a curve page. Anything unknown opens the basic page.
    static ParameterPage fromStoredValue(long long storedValue);

    constexpr bool isCurve() const { return channel_.has_value(); }
    // The letter page, or none for a curve page.
    constexpr std::optional<ParameterLetterPage> letterPage() const {
        return channel_ ? std::nullopt : std::optional(letter_);
    }
    constexpr std::optional<PointCurveChannel> curveChannel() const { return channel_; }
    constexpr int storedValue() const {
        return channel_ ? 20 + static_cast<int>(*channel_) : static_cast<int>(letter_);
    }

    friend constexpr bool operator==(const ParameterPage&, const ParameterPage&) = default;

private:
    constexpr ParameterPage(ParameterLetterPage letter, std::optional<PointCurveChannel> channel)
        : letter_(letter), channel_(channel) {}
    ParameterLetterPage letter_;
    std::optional<PointCurveChannel> channel_;
};

} // namespace sorvin
