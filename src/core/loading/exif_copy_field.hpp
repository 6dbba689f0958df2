#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string_view>

namespace sorvin {

// The EXIF fields the user can pick for the copied EXIF text: the rows of the EXIF panel, the stored
// selection ("sorvin.exifCopySelection") and the display values. Declaration order is the order of
// the panel, of the copied lines and of the stored selection.
enum class ExifCopyField : std::uint8_t {
    camera,
    lens,
    lensSpec,
    focalLength,
    focal35,
    aperture,
    shutter,
    iso,
    exposureComp,
    exposureMode,
    dateTime,
    imageNumber,
    fileName,
    pixelSize,
    fileSize,
    bodySerial,
    lensSerial,
    rotation,
};

using ExifCopyFieldSet = std::set<ExifCopyField>;

namespace ExifCopyFields {

struct Entry {
    ExifCopyField field;
    std::string_view rawValue;
    std::string_view panelLabel;
    bool inDefaultSelection;
};

// In declaration order.
inline constexpr std::array<Entry, 18> table{{
    {ExifCopyField::camera, "camera", "カメラ", true},
    {ExifCopyField::lens, "lens", "レンズ", true},
    {ExifCopyField::lensSpec, "lensSpec", "レンズ仕様", true},
    {ExifCopyField::focalLength, "focalLength", "焦点距離", true},
    {ExifCopyField::focal35, "focal35", "35mm換算", false},
    {ExifCopyField::aperture, "aperture", "絞り", true},
    {ExifCopyField::shutter, "shutter", "シャッター速度", true},
    {ExifCopyField::iso, "iso", "ISO", true},
    {ExifCopyField::exposureComp, "exposureComp", "露出補正", true},
    {ExifCopyField::exposureMode, "exposureMode", "露出モード", false},
    {ExifCopyField::dateTime, "dateTime", "撮影日時", false},
    {ExifCopyField::imageNumber, "imageNumber", "撮影枚数", false},
    {ExifCopyField::fileName, "fileName", "ファイル名", false},
    {ExifCopyField::pixelSize, "pixelSize", "画像サイズ", false},
    {ExifCopyField::fileSize, "fileSize", "ファイルサイズ", false},
    {ExifCopyField::bodySerial, "bodySerial", "ボディS/N", false},
    {ExifCopyField::lensSerial, "lensSerial", "レンズS/N", false},
    {ExifCopyField::rotation, "rotation", "回転", false},
}};

// The table is indexed by the enumeration.
static_assert([] {
    for (std::size_t i = 0; i < table.size(); ++i)
        if (static_cast<std::size_t>(table[i].field) != i) return false;
    return true;
}());

inline constexpr std::array<ExifCopyField, table.size()> allCases = [] {
    std::array<ExifCopyField, table.size()> fields{};
    for (std::size_t i = 0; i < table.size(); ++i)
        fields[i] = table[i].field;
    return fields;
}();

constexpr const Entry& entry(ExifCopyField field) {
    return table[static_cast<std::size_t>(field)];
}
constexpr std::string_view rawValue(ExifCopyField field) {
    return entry(field).rawValue;
}
constexpr std::string_view panelLabel(ExifCopyField field) {
    return entry(field).panelLabel;
}

// Exact, case-sensitive match of a stored text.
constexpr std::optional<ExifCopyField> fromRawValue(std::string_view text) {
    for (const auto& e : table)
        if (e.rawValue == text) return e.field;
    return std::nullopt;
}

// The selection used while the user has never stored one.
inline ExifCopyFieldSet defaultSelection() {
    ExifCopyFieldSet fields;
    for (const auto& e : table)
        if (e.inDefaultSelection) fields.insert(e.field);
    return fields;
}

} // namespace ExifCopyFields

} // namespace sorvin
