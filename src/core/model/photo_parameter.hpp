#pragma once

#include "model/parameter_page.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sorvin {

// The development parameters, in catalogue order. Every value is an integer; each enumerator is
// spelled like the parameter's stored name (the key it is saved under).
enum class PhotoParameter : std::uint8_t {
    exposure,
    contrast,
    saturation,
    highlights,
    shadows,
    white_level,
    black_level,
    temperature,
    tint,
    vibrance,
    curve_gamma,
    hue_red,
    hue_orange,
    hue_yellow,
    hue_green,
    hue_aqua,
    hue_blue,
    hue_purple,
    hue_magenta,
    saturation_red,
    saturation_orange,
    saturation_yellow,
    saturation_green,
    saturation_aqua,
    saturation_blue,
    saturation_purple,
    saturation_magenta,
    luminance_red,
    luminance_orange,
    luminance_yellow,
    luminance_green,
    luminance_aqua,
    luminance_blue,
    luminance_purple,
    luminance_magenta,
    curve_shadows,
    curve_darks,
    curve_lights,
    curve_highlights,
    grading_shadows_hue,
    grading_shadows_saturation,
    grading_midtones_hue,
    grading_midtones_saturation,
    grading_highlights_hue,
    grading_highlights_saturation,
    grading_global_hue,
    grading_global_saturation,
    grading_blending,
    grading_balance,
    vignette_amount,
    vignette_midpoint,
    vignette_roundness,
    vignette_feather,
    grain_amount,
    grain_size,
    grain_roughness,
    blackwhite_amount,
    blackwhite_red,
    blackwhite_orange,
    blackwhite_yellow,
    blackwhite_green,
    blackwhite_aqua,
    blackwhite_blue,
    blackwhite_purple,
    blackwhite_magenta,
    texture,
    clarity,
    dehaze,
    sharpen_amount,
    sharpen_radius,
    sharpen_detail,
    sharpen_mask,
    noise_luminance_amount,
    noise_luminance_detail,
    noise_color_amount,
    geometry_distortion,
    geometry_chromatic_red,
    geometry_chromatic_blue,
    geometry_perspective_vertical,
    geometry_perspective_horizontal,
    geometry_aspect,
    geometry_zoom,
    curve_point_rgb_0,
    curve_point_rgb_1,
    curve_point_rgb_2,
    curve_point_rgb_3,
    curve_point_rgb_4,
    curve_point_red_0,
    curve_point_red_1,
    curve_point_red_2,
    curve_point_red_3,
    curve_point_red_4,
    curve_point_green_0,
    curve_point_green_1,
    curve_point_green_2,
    curve_point_green_3,
    curve_point_green_4,
    curve_point_blue_0,
    curve_point_blue_1,
    curve_point_blue_2,
    curve_point_blue_3,
    curve_point_blue_4,
    circular_mask_amount,
    circular_mask_center_x,
    circular_mask_center_y,
    circular_mask_size,
    circular_mask_aspect,
    circular_mask_angle,
    circular_mask_feather,
    circular_mask_invert,
    linear_mask_amount,
    linear_mask_position,
    linear_mask_angle,
    linear_mask_width,
    linear_mask_invert,
    raw_exposure,
    raw_temperature,
    raw_tint,
    raw_boost,
    raw_boost_shadow,
    raw_detail,
    raw_sharpness,
    raw_noise_color,
    raw_noise_luminance,
    raw_lens_correction,
};

// Everything the program knows about each parameter, looked up in the one catalogue table.
struct ParameterCatalog {
    static constexpr int count = 125;
    static constexpr int columnsPerPage = 10;
    static constexpr int pageRows = 12;

    using PageRow = std::array<std::optional<PhotoParameter>, columnsPerPage>;

    static constexpr int index(PhotoParameter p) { return static_cast<int>(p); }

    // Every parameter in catalogue order.
    static const std::array<PhotoParameter, count>& allCases();

    // The parameter stored under exactly this name (case-sensitive), if any.
    static std::optional<PhotoParameter> fromStoredName(std::string_view storedName);

    static std::string_view storedName(PhotoParameter p);
    // The Japanese display name.
    static std::string_view name(PhotoParameter p);
    static int minimum(PhotoParameter p);
    static int maximum(PhotoParameter p);
    static int defaultValue(PhotoParameter p);
    // Accepts any integer, so a huge number read from a file clamps instead of overflowing.
    static int clamp(PhotoParameter p, std::int64_t value);

    // The text that shows a value on screen (clamped first), "±0", "+7", "+0.76 EV", "50.0".
    static std::string displayText(PhotoParameter p, std::int64_t value);
    static bool showsDefaultMark(PhotoParameter p);
    static ParameterPage page(PhotoParameter p);
    // The panel column (0-9) that the keyboard's key pairs address.
    static int slot(PhotoParameter p);

    static bool isRawDevelopmentParameter(PhotoParameter p);
    static bool isGeometryParameter(PhotoParameter p);
    static bool isMaskShapeParameter(PhotoParameter p);
    // One of the parameters a mask carries besides its shape.
    static bool isAdjustmentParameter(PhotoParameter p);
    // The parameters of the point curves: five points (input 0, 25, 50, 75, 100 %) on each of the
    // channels RGB, red, green, blue.
    static bool isCurvePoint(PhotoParameter p);
    static PhotoParameter curvePoint(PointCurveChannel channel, int point);
    static std::span<const PhotoParameter> curvePoints();

    // All parameters except mask shape, RAW development and geometry, in catalogue order (95).
    static std::span<const PhotoParameter> adjustmentParameters();
    // The shape parameters of every mask kind, the kinds' lists joined in catalogue order.
    static std::span<const PhotoParameter> shapeParameters();
    // The RAW development parameters raw_exposure … raw_lens_correction, in catalogue order.
    static std::span<const PhotoParameter> rawDevelopmentParameters();

    // The panel layout: twelve rows (by letter-page raw value) of ten optional columns.
    static const std::array<PageRow, pageRows>& tabs();
};

} // namespace sorvin
