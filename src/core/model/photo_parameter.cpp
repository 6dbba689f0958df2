#include "model/photo_parameter.hpp"

#include "model/mask_kind_catalog.hpp"

#include <algorithm>
#include <fmt/format.h>
#include <vector>

namespace sorvin {

namespace {

struct ParameterDefinition {
    PhotoParameter parameter;
    std::string_view storedName;
    std::string_view name;
    int minimum;
    int maximum;
    int defaultValue;
    ParameterPage page;
    int slot;
    bool showsDefaultMark;
};

using enum ParameterLetterPage;
using enum PointCurveChannel;
constexpr ParameterPage L(ParameterLetterPage page) {
    return ParameterPage::letter(page);
}
constexpr ParameterPage C(PointCurveChannel channel) {
    return ParameterPage::curve(channel);
}

// The stored name is the enumerator's own spelling, so the two can never disagree.
#define ROW(id, displayName, minimum, maximum, defaultValue, page, slot, mark)                               \
    ParameterDefinition {                                                                                    \
        PhotoParameter::id, #id, displayName, minimum, maximum, defaultValue, page, slot, mark               \
    }

// The catalogue: stored name, display name, range, default, panel page and column, default mark.
constexpr std::array<ParameterDefinition, ParameterCatalog::count> catalogue = {{
    ROW(exposure, "明るさ", -100, 100, 0, L(basic), 0, true),
    ROW(contrast, "コントラスト", -100, 100, 0, L(basic), 1, true),
    ROW(saturation, "彩度", -100, 100, 0, L(basic), 2, true),
    ROW(highlights, "ハイライト", -100, 100, 0, L(basic), 3, true),
    ROW(shadows, "シャドウ", -100, 100, 0, L(basic), 4, true),
    ROW(white_level, "白レベル", -100, 100, 0, L(basic), 5, true),
    ROW(black_level, "黒レベル", -100, 100, 0, L(basic), 6, true),
    ROW(temperature, "色温度", -100, 100, 0, L(basic), 7, true),
    ROW(tint, "色かぶり", -100, 100, 0, L(basic), 8, true),
    ROW(vibrance, "自然な彩度", -100, 100, 0, L(basic), 9, true),
    ROW(curve_gamma, "ガンマ", -100, 100, 0, C(rgb), 0, true),
    ROW(hue_red, "レッド", -100, 100, 0, L(hue), 0, true),
    ROW(hue_orange, "オレンジ", -100, 100, 0, L(hue), 1, true),
    ROW(hue_yellow, "イエロー", -100, 100, 0, L(hue), 2, true),
    ROW(hue_green, "グリーン", -100, 100, 0, L(hue), 3, true),
    ROW(hue_aqua, "アクア", -100, 100, 0, L(hue), 4, true),
    ROW(hue_blue, "ブルー", -100, 100, 0, L(hue), 5, true),
    ROW(hue_purple, "パープル", -100, 100, 0, L(hue), 6, true),
    ROW(hue_magenta, "マゼンタ", -100, 100, 0, L(hue), 7, true),
    ROW(saturation_red, "レッド", -100, 100, 0, L(saturation), 0, true),
    ROW(saturation_orange, "オレンジ", -100, 100, 0, L(saturation), 1, true),
    ROW(saturation_yellow, "イエロー", -100, 100, 0, L(saturation), 2, true),
    ROW(saturation_green, "グリーン", -100, 100, 0, L(saturation), 3, true),
    ROW(saturation_aqua, "アクア", -100, 100, 0, L(saturation), 4, true),
    ROW(saturation_blue, "ブルー", -100, 100, 0, L(saturation), 5, true),
    ROW(saturation_purple, "パープル", -100, 100, 0, L(saturation), 6, true),
    ROW(saturation_magenta, "マゼンタ", -100, 100, 0, L(saturation), 7, true),
    ROW(luminance_red, "レッド", -100, 100, 0, L(luminance), 0, true),
    ROW(luminance_orange, "オレンジ", -100, 100, 0, L(luminance), 1, true),
    ROW(luminance_yellow, "イエロー", -100, 100, 0, L(luminance), 2, true),
    ROW(luminance_green, "グリーン", -100, 100, 0, L(luminance), 3, true),
    ROW(luminance_aqua, "アクア", -100, 100, 0, L(luminance), 4, true),
    ROW(luminance_blue, "ブルー", -100, 100, 0, L(luminance), 5, true),
    ROW(luminance_purple, "パープル", -100, 100, 0, L(luminance), 6, true),
    ROW(luminance_magenta, "マゼンタ", -100, 100, 0, L(luminance), 7, true),
    ROW(curve_shadows, "シャドウ", -100, 100, 0, C(rgb), 1, true),
    ROW(curve_darks, "暗い部分", -100, 100, 0, C(rgb), 2, true),
    ROW(curve_lights, "明るい部分", -100, 100, 0, C(rgb), 3, true),
    ROW(curve_highlights, "ハイライト", -100, 100, 0, C(rgb), 4, true),
    ROW(grading_shadows_hue, "シャドウ色相", -100, 100, 0, L(grading), 0, true),
    ROW(grading_shadows_saturation, "シャドウ濃さ", -100, 100, 0, L(grading), 1, true),
    ROW(grading_midtones_hue, "中間色相", -100, 100, 0, L(grading), 2, true),
    ROW(grading_midtones_saturation, "中間濃さ", -100, 100, 0, L(grading), 3, true),
    ROW(grading_highlights_hue, "ハイライト色相", -100, 100, 0, L(grading), 4, true),
    ROW(grading_highlights_saturation, "ハイライト濃さ", -100, 100, 0, L(grading), 5, true),
    ROW(grading_global_hue, "全体色相", -100, 100, 0, L(grading), 6, true),
    ROW(grading_global_saturation, "全体濃さ", -100, 100, 0, L(grading), 7, true),
    ROW(grading_blending, "混ぜ具合", -100, 100, 0, L(grading), 8, true),
    ROW(grading_balance, "バランス", -100, 100, 0, L(grading), 9, true),
    ROW(vignette_amount, "ビネット量", -100, 100, 0, L(effects), 0, true),
    ROW(vignette_midpoint, "ビネット中心", -100, 100, 0, L(effects), 1, true),
    ROW(vignette_roundness, "ビネット丸み", -100, 100, 0, L(effects), 2, true),
    ROW(vignette_feather, "ビネットぼかし", -100, 100, 0, L(effects), 3, true),
    ROW(grain_amount, "粒状の量", 0, 100, 0, L(effects), 4, false),
    ROW(grain_size, "粒の大きさ", 0, 100, 0, L(effects), 5, false),
    ROW(grain_roughness, "粒状の粗さ", 0, 100, 0, L(effects), 6, false),
    ROW(blackwhite_amount, "白黒", 0, 100, 0, L(blackAndWhite), 0, false),
    ROW(blackwhite_red, "赤", -100, 100, 0, L(blackAndWhite), 1, true),
    ROW(blackwhite_orange, "オレンジ", -100, 100, 0, L(blackAndWhite), 2, true),
    ROW(blackwhite_yellow, "黄", -100, 100, 0, L(blackAndWhite), 3, true),
    ROW(blackwhite_green, "緑", -100, 100, 0, L(blackAndWhite), 4, true),
    ROW(blackwhite_aqua, "アクア", -100, 100, 0, L(blackAndWhite), 5, true),
    ROW(blackwhite_blue, "青", -100, 100, 0, L(blackAndWhite), 6, true),
    ROW(blackwhite_purple, "紫", -100, 100, 0, L(blackAndWhite), 7, true),
    ROW(blackwhite_magenta, "マゼンタ", -100, 100, 0, L(blackAndWhite), 8, true),
    ROW(texture, "テクスチャ", -100, 100, 0, L(detail), 0, true),
    ROW(clarity, "明瞭度", -100, 100, 0, L(detail), 1, true),
    ROW(dehaze, "かすみの除去", -100, 100, 0, L(detail), 2, true),
    ROW(sharpen_amount, "シャープ 量", 0, 100, 0, L(detail), 3, true),
    ROW(sharpen_radius, "シャープ 半径", 0, 100, 30, L(detail), 4, true),
    ROW(sharpen_detail, "シャープ ディテール", 0, 100, 25, L(detail), 5, true),
    ROW(sharpen_mask, "シャープ マスク", 0, 100, 0, L(detail), 6, true),
    ROW(noise_luminance_amount, "輝度ノイズ軽減", 0, 100, 0, L(detail), 7, true),
    ROW(noise_luminance_detail, "輝度ノイズ ディテール", 0, 100, 50, L(detail), 8, true),
    ROW(noise_color_amount, "カラーノイズ軽減", 0, 100, 0, L(detail), 9, true),
    ROW(geometry_distortion, "歪曲", -100, 100, 0, L(geometry), 0, true),
    ROW(geometry_chromatic_red, "色収差 赤／シアン", -100, 100, 0, L(geometry), 1, true),
    ROW(geometry_chromatic_blue, "色収差 青／黄", -100, 100, 0, L(geometry), 2, true),
    ROW(geometry_perspective_vertical, "あおり 縦", -100, 100, 0, L(geometry), 3, true),
    ROW(geometry_perspective_horizontal, "あおり 横", -100, 100, 0, L(geometry), 4, true),
    ROW(geometry_aspect, "縦横比", -100, 100, 0, L(geometry), 5, true),
    ROW(geometry_zoom, "拡大", 0, 100, 0, L(geometry), 6, false),
    ROW(curve_point_rgb_0, "RGB 0%", 0, 100, 0, C(rgb), 5, false),
    ROW(curve_point_rgb_1, "RGB 25%", 0, 100, 25, C(rgb), 6, true),
    ROW(curve_point_rgb_2, "RGB 50%", 0, 100, 50, C(rgb), 7, true),
    ROW(curve_point_rgb_3, "RGB 75%", 0, 100, 75, C(rgb), 8, true),
    ROW(curve_point_rgb_4, "RGB 100%", 0, 100, 100, C(rgb), 9, false),
    ROW(curve_point_red_0, "赤 0%", 0, 100, 0, C(red), 5, false),
    ROW(curve_point_red_1, "赤 25%", 0, 100, 25, C(red), 6, true),
    ROW(curve_point_red_2, "赤 50%", 0, 100, 50, C(red), 7, true),
    ROW(curve_point_red_3, "赤 75%", 0, 100, 75, C(red), 8, true),
    ROW(curve_point_red_4, "赤 100%", 0, 100, 100, C(red), 9, false),
    ROW(curve_point_green_0, "緑 0%", 0, 100, 0, C(green), 5, false),
    ROW(curve_point_green_1, "緑 25%", 0, 100, 25, C(green), 6, true),
    ROW(curve_point_green_2, "緑 50%", 0, 100, 50, C(green), 7, true),
    ROW(curve_point_green_3, "緑 75%", 0, 100, 75, C(green), 8, true),
    ROW(curve_point_green_4, "緑 100%", 0, 100, 100, C(green), 9, false),
    ROW(curve_point_blue_0, "青 0%", 0, 100, 0, C(blue), 5, false),
    ROW(curve_point_blue_1, "青 25%", 0, 100, 25, C(blue), 6, true),
    ROW(curve_point_blue_2, "青 50%", 0, 100, 50, C(blue), 7, true),
    ROW(curve_point_blue_3, "青 75%", 0, 100, 75, C(blue), 8, true),
    ROW(curve_point_blue_4, "青 100%", 0, 100, 100, C(blue), 9, false),
    ROW(circular_mask_amount, "効き", 0, 100, 10, L(shape), 0, true),
    ROW(circular_mask_center_x, "中心X", 0, 1000, 500, L(shape), 1, true),
    ROW(circular_mask_center_y, "中心Y", 0, 1000, 500, L(shape), 2, true),
    ROW(circular_mask_size, "大きさ", 0, 100, 30, L(shape), 3, true),
    ROW(circular_mask_aspect, "縦横比", -100, 100, 0, L(shape), 4, true),
    ROW(circular_mask_angle, "角度", -100, 100, 0, L(shape), 5, true),
    ROW(circular_mask_feather, "ぼかし", 0, 100, 50, L(shape), 6, true),
    ROW(circular_mask_invert, "反転", 0, 100, 0, L(shape), 7, false),
    ROW(linear_mask_amount, "効き", 0, 100, 10, L(shape), 0, true),
    ROW(linear_mask_position, "位置", 0, 100, 50, L(shape), 1, true),
    ROW(linear_mask_angle, "角度", -100, 100, 0, L(shape), 2, true),
    ROW(linear_mask_width, "幅", 0, 100, 30, L(shape), 3, true),
    ROW(linear_mask_invert, "反転", 0, 100, 0, L(shape), 4, false),
    ROW(raw_exposure, "露出", -100, 100, 38, L(rawDevelopment), 0, true),
    ROW(raw_temperature, "色温度", -100, 100, 0, L(rawDevelopment), 1, true),
    ROW(raw_tint, "色かぶり", -100, 100, 0, L(rawDevelopment), 2, true),
    ROW(raw_boost, "ブースト", 0, 100, 100, L(rawDevelopment), 3, false),
    ROW(raw_boost_shadow, "暗部ブースト", 0, 100, 90, L(rawDevelopment), 4, true),
    ROW(raw_detail, "ディテール", 0, 100, 0, L(rawDevelopment), 5, false),
    ROW(raw_sharpness, "シャープ", 0, 100, 100, L(rawDevelopment), 6, false),
    ROW(raw_noise_color, "ノイズ（色）", 0, 100, 50, L(rawDevelopment), 7, true),
    ROW(raw_noise_luminance, "ノイズ（輝度）", 0, 100, 0, L(rawDevelopment), 8, false),
    ROW(raw_lens_correction, "レンズ補正", 0, 100, 100, L(rawDevelopment), 9, false),
}};

#undef ROW

constexpr bool isInCatalogueOrder() {
    for (int i = 0; i < ParameterCatalog::count; ++i) {
        if (static_cast<int>(catalogue[i].parameter) != i) return false;
    }
    return true;
}
static_assert(isInCatalogueOrder(), "the catalogue rows follow the order of PhotoParameter");

const ParameterDefinition& definition(PhotoParameter p) {
    return catalogue[ParameterCatalog::index(p)];
}

bool isBetween(PhotoParameter p, PhotoParameter first, PhotoParameter last) {
    return p >= first && p <= last;
}

// The groups that depend on the mask kinds, worked out once.
struct ParameterGroups {
    std::vector<PhotoParameter> adjustment;
    std::vector<PhotoParameter> shape;
    std::vector<PhotoParameter> rawDevelopment;
    std::array<bool, ParameterCatalog::count> isShape{};
    std::array<bool, ParameterCatalog::count> isAdjustment{};

    ParameterGroups() {
        for (const auto& kind : MaskKindCatalog::current().definitions) {
            for (PhotoParameter p : kind.shapeParameters) {
                shape.push_back(p);
                isShape[ParameterCatalog::index(p)] = true;
            }
        }
        for (const auto& row : catalogue) {
            const PhotoParameter p = row.parameter;
            if (ParameterCatalog::isRawDevelopmentParameter(p)) rawDevelopment.push_back(p);
            if (isShape[ParameterCatalog::index(p)] || ParameterCatalog::isRawDevelopmentParameter(p) ||
                ParameterCatalog::isGeometryParameter(p))
                continue;
            adjustment.push_back(p);
            isAdjustment[ParameterCatalog::index(p)] = true;
        }
    }
};

const ParameterGroups& groups() {
    static const ParameterGroups instance;
    return instance;
}

} // namespace

const std::array<PhotoParameter, ParameterCatalog::count>& ParameterCatalog::allCases() {
    static const auto cases = [] {
        std::array<PhotoParameter, count> all{};
        for (int i = 0; i < count; ++i)
            all[i] = catalogue[i].parameter;
        return all;
    }();
    return cases;
}

std::optional<PhotoParameter> ParameterCatalog::fromStoredName(std::string_view storedName) {
    for (const auto& row : catalogue) {
        if (row.storedName == storedName) return row.parameter;
    }
    return std::nullopt;
}

std::string_view ParameterCatalog::storedName(PhotoParameter p) {
    return definition(p).storedName;
}
std::string_view ParameterCatalog::name(PhotoParameter p) {
    return definition(p).name;
}
int ParameterCatalog::minimum(PhotoParameter p) {
    return definition(p).minimum;
}
int ParameterCatalog::maximum(PhotoParameter p) {
    return definition(p).maximum;
}
int ParameterCatalog::defaultValue(PhotoParameter p) {
    return definition(p).defaultValue;
}

int ParameterCatalog::clamp(PhotoParameter p, std::int64_t value) {
    const auto& row = definition(p);
    return static_cast<int>(std::clamp<std::int64_t>(value, row.minimum, row.maximum));
}

std::string ParameterCatalog::displayText(PhotoParameter p, std::int64_t value) {
    const int v = clamp(p, value);
    switch (p) {
    case PhotoParameter::circular_mask_center_x:
    case PhotoParameter::circular_mask_center_y:
        return fmt::format("{:.1f}", v / 10.0);
    case PhotoParameter::exposure:
        return v == 0 ? "±0.00 EV" : fmt::format("{:+.2f} EV", v * 0.05);
    case PhotoParameter::raw_exposure:
        return v == 0 ? "±0.00 EV" : fmt::format("{:+.2f} EV", v * 0.02);
    default:
        return v == 0 ? "±0" : fmt::format("{:+d}", v);
    }
}

bool ParameterCatalog::showsDefaultMark(PhotoParameter p) {
    return definition(p).showsDefaultMark;
}
ParameterPage ParameterCatalog::page(PhotoParameter p) {
    return definition(p).page;
}
int ParameterCatalog::slot(PhotoParameter p) {
    return definition(p).slot;
}

bool ParameterCatalog::isRawDevelopmentParameter(PhotoParameter p) {
    return isBetween(p, PhotoParameter::raw_exposure, PhotoParameter::raw_lens_correction);
}

bool ParameterCatalog::isGeometryParameter(PhotoParameter p) {
    return isBetween(p, PhotoParameter::geometry_distortion, PhotoParameter::geometry_zoom);
}

bool ParameterCatalog::isMaskShapeParameter(PhotoParameter p) {
    return groups().isShape[index(p)];
}
bool ParameterCatalog::isAdjustmentParameter(PhotoParameter p) {
    return groups().isAdjustment[index(p)];
}

bool ParameterCatalog::isCurvePoint(PhotoParameter p) {
    return isBetween(p, PhotoParameter::curve_point_rgb_0, PhotoParameter::curve_point_blue_4);
}

PhotoParameter ParameterCatalog::curvePoint(PointCurveChannel channel, int point) {
    return static_cast<PhotoParameter>(index(PhotoParameter::curve_point_rgb_0) +
                                       5 * static_cast<int>(channel) + point);
}

std::span<const PhotoParameter> ParameterCatalog::curvePoints() {
    const int first = index(PhotoParameter::curve_point_rgb_0);
    return std::span(allCases()).subspan(first, index(PhotoParameter::curve_point_blue_4) - first + 1);
}

std::span<const PhotoParameter> ParameterCatalog::adjustmentParameters() {
    return groups().adjustment;
}
std::span<const PhotoParameter> ParameterCatalog::shapeParameters() {
    return groups().shape;
}
std::span<const PhotoParameter> ParameterCatalog::rawDevelopmentParameters() {
    return groups().rawDevelopment;
}

const std::array<ParameterCatalog::PageRow, ParameterCatalog::pageRows>& ParameterCatalog::tabs() {
    static const auto rows = [] {
        std::array<PageRow, pageRows> layout{};
        for (const auto& row : catalogue) {
            const auto letter = row.page.letterPage();
            if (!letter || *letter == ParameterLetterPage::shape) continue;
            layout[static_cast<int>(*letter)][row.slot] = row.parameter;
        }
        // The shape page lays out the circular mask; a linear mask's page is built for its kind.
        if (const auto* circular = MaskKindCatalog::current().definition(MaskKind::circular())) {
            auto& shapeRow = layout[static_cast<int>(ParameterLetterPage::shape)];
            for (std::size_t i = 0; i < circular->shapeParameters.size() && i < shapeRow.size(); ++i) {
                shapeRow[i] = circular->shapeParameters[i];
            }
        }
        return layout;
    }();
    return rows;
}

} // namespace sorvin
