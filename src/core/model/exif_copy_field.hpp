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
    lensSpecification,
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

struct ExifCopyFieldEntry {
    ExifCopyField field;
    std::string_view rawValue;
    std::string_view panelLabel;
    bool inDefaultSelection;
};

// In declaration order.
inline constexpr std::array<ExifCopyFieldEntry, 18> kExifCopyFieldTable{{
    {ExifCopyField::camera, "camera", "カメラ", true},
    {ExifCopyField::lens, "lens", "レンズ", true},
    {ExifCopyField::lensSpecification, "lensSpec", "レンズ仕様", true},
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
    for (std::size_t i = 0; i < kExifCopyFieldTable.size(); ++i)
        if (static_cast<std::size_t>(kExifCopyFieldTable[i].field) != i) return false;
    return true;
}());

inline constexpr std::array<ExifCopyField, kExifCopyFieldTable.size()> kAllExifCopyFields = [] {
    std::array<ExifCopyField, kExifCopyFieldTable.size()> fields{};
    for (std::size_t i = 0; i < fields.size(); ++i)
        fields[i] = kExifCopyFieldTable[i].field;
    return fields;
}();

// Stored by its case name.
constexpr std::string_view rawValue(ExifCopyField field) {
    return kExifCopyFieldTable[static_cast<std::size_t>(field)].rawValue;
}

// The label of the EXIF panel's row.
constexpr std::string_view panelLabel(ExifCopyField field) {
    return kExifCopyFieldTable[static_cast<std::size_t>(field)].panelLabel;
}

// Exact, case-sensitive match of a stored text.
constexpr std::optional<ExifCopyField> exifCopyFieldFromRawValue(std::string_view text) {
    for (const auto& entry : kExifCopyFieldTable)
        if (entry.rawValue == text) return entry.field;
    return std::nullopt;
}

// The selection used while the user has never stored one.
inline ExifCopyFieldSet defaultExifCopySelection() {
    ExifCopyFieldSet fields;
    for (const auto& entry : kExifCopyFieldTable)
        if (entry.inDefaultSelection) fields.insert(entry.field);
    return fields;
}

} // namespace sorvin
