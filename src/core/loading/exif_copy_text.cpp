#include "loading/exif_copy_text.hpp"

#include <algorithm>
#include <unicode/unistr.h>
#include <vector>

namespace sorvin {

namespace {

std::string withoutSpaces(std::string text) {
    std::erase(text, ' ');
    return text;
}

bool mentionsIso(const std::string& text) {
    std::string folded;
    icu::UnicodeString::fromUTF8(text).foldCase().toUTF8String(folded);
    return folded.find("iso") != std::string::npos;
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) text += separator;
        text += parts[i];
    }
    return text;
}

} // namespace

std::string ExifCopyText::make(const ExifDisplayValues& values, const ExifCopyFieldSet& selection) {
    // The value of a field when it is selected and present.
    auto contributing = [&](ExifCopyField field) -> const std::optional<std::string>& {
        static const std::optional<std::string> none;
        return selection.contains(field) ? values.value(field) : none;
    };

    std::vector<std::string> lines;
    if (const auto& camera = contributing(ExifCopyField::camera)) lines.push_back(*camera);

    const auto& lens = contributing(ExifCopyField::lens);
    const auto& lensSpecification = contributing(ExifCopyField::lensSpecification);
    if (lens)
        lines.push_back(lensSpecification ? *lens + "（" + *lensSpecification + "）" : *lens);
    else if (lensSpecification)
        lines.push_back(*lensSpecification);

    std::vector<std::string> shooting;
    if (const auto& focal = contributing(ExifCopyField::focalLength)) shooting.push_back(*focal);
    if (const auto& focal35 = contributing(ExifCopyField::focal35))
        shooting.push_back("換算" + withoutSpaces(*focal35));
    if (const auto& aperture = contributing(ExifCopyField::aperture)) shooting.push_back(*aperture);
    if (const auto& shutter = contributing(ExifCopyField::shutter)) shooting.push_back(*shutter);
    if (const auto& iso = contributing(ExifCopyField::iso))
        shooting.push_back(mentionsIso(*iso) ? *iso : "ISO" + *iso);
    if (const auto& bias = contributing(ExifCopyField::exposureComp))
        shooting.push_back(*bias == "±0.0 EV" ? "±0EV" : withoutSpaces(*bias));
    if (!shooting.empty()) lines.push_back(joined(shooting, " "));

    // The remaining fields, one line each, with their prefixes.
    struct LabelledLine {
        ExifCopyField field;
        std::string_view prefix;
    };
    static constexpr LabelledLine kLabelledLines[] = {
        {ExifCopyField::exposureMode, "露出モード: "},
        {ExifCopyField::dateTime, ""},
        {ExifCopyField::imageNumber, "撮影枚数: "},
        {ExifCopyField::fileName, ""},
        {ExifCopyField::pixelSize, ""},
        {ExifCopyField::fileSize, "ファイルサイズ: "},
        {ExifCopyField::bodySerial, "ボディS/N: "},
        {ExifCopyField::lensSerial, "レンズS/N: "},
        {ExifCopyField::rotation, "回転: "},
    };
    for (const auto& line : kLabelledLines)
        if (const auto& value = contributing(line.field)) lines.push_back(std::string(line.prefix) + *value);

    return joined(lines, "\n");
}

} // namespace sorvin
