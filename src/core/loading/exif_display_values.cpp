#include "loading/exif_display_values.hpp"

#include "loading/exif_formatter.hpp"
#include "model/photo_rotation.hpp"
#include "platform/white_space_text.hpp"

namespace sorvin {

namespace {

std::optional<std::string> dashCleaned(std::string text) {
    if (text == ExifFormatter::kMissing) return std::nullopt;
    return text;
}

std::optional<std::string> trimmedText(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    std::string trimmed = WhiteSpaceText::trimmed(*text);
    if (trimmed.empty()) return std::nullopt;
    return dashCleaned(std::move(trimmed));
}

} // namespace

const std::array<ExifDisplayValues::Member, kAllExifCopyFields.size()> ExifDisplayValues::kMembers{
    &ExifDisplayValues::camera,       &ExifDisplayValues::lens,       &ExifDisplayValues::lensSpecification,
    &ExifDisplayValues::focalLength,  &ExifDisplayValues::focal35,    &ExifDisplayValues::aperture,
    &ExifDisplayValues::shutter,      &ExifDisplayValues::iso,        &ExifDisplayValues::exposureComp,
    &ExifDisplayValues::exposureMode, &ExifDisplayValues::dateTime,   &ExifDisplayValues::imageNumber,
    &ExifDisplayValues::fileName,     &ExifDisplayValues::pixelSize,  &ExifDisplayValues::fileSize,
    &ExifDisplayValues::bodySerial,   &ExifDisplayValues::lensSerial, &ExifDisplayValues::rotation,
};

const std::optional<std::string>& ExifDisplayValues::value(ExifCopyField field) const {
    return this->*kMembers[static_cast<std::size_t>(field)];
}

ExifDisplayValues::ExifDisplayValues(const std::optional<ExifMetadata>& metadata, double degrees) {
    rotation = PhotoRotation::displayText(degrees, true);
    if (!metadata) return;
    const ExifMetadata& m = *metadata;
    camera = dashCleaned(ExifFormatter::camera(m.make, m.model));
    lens = trimmedText(m.lensModel);
    lensSpecification = ExifFormatter::lensSpecification(m.lensSpecification);
    if (m.focalLength) focalLength = ExifFormatter::focalLength(m.focalLength);
    if (m.focalLength35mm) focal35 = std::to_string(*m.focalLength35mm) + " mm";
    if (m.fNumber) aperture = ExifFormatter::aperture(m.fNumber);
    // A stored exposure time of 0 or less shows the dash rather than nothing.
    if (m.exposureTime) shutter = ExifFormatter::shutterSpeed(m.exposureTime);
    if (m.iso) iso = std::to_string(*m.iso);
    if (m.exposureBias) exposureComp = ExifFormatter::exposureBias(m.exposureBias);
    if (m.exposureProgram) exposureMode = ExifFormatter::exposureProgram(m.exposureProgram);
    dateTime = dashCleaned(ExifFormatter::captureDate(m.dateTimeOriginal));
    imageNumber = ExifFormatter::imageNumber(m.imageNumber);
    fileName = trimmedText(m.fileName);
    pixelSize = dashCleaned(ExifFormatter::imageSize(m.pixelWidth, m.pixelHeight, m.orientation));
    fileSize = dashCleaned(ExifFormatter::fileSize(m.fileSize));
    bodySerial = m.bodySerialNumber;
    lensSerial = m.lensSerialNumber;
}

} // namespace sorvin
