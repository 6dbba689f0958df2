#pragma once

#include "model/exif_copy_field.hpp"
#include "model/exif_metadata.hpp"

#include <array>
#include <optional>
#include <string>

namespace sorvin {

// The display texts of one photo, one per EXIF copy field. A field without a value to show is
// empty (never the dash), so the panel draws its own placeholder and the copied text skips it.
struct ExifDisplayValues {
    std::optional<std::string> camera;
    std::optional<std::string> lens;
    std::optional<std::string> lensSpecification;
    std::optional<std::string> focalLength;
    std::optional<std::string> focal35;
    std::optional<std::string> aperture;
    std::optional<std::string> shutter;
    std::optional<std::string> iso;
    std::optional<std::string> exposureComp;
    std::optional<std::string> exposureMode;
    std::optional<std::string> dateTime;
    std::optional<std::string> imageNumber;
    std::optional<std::string> fileName;
    std::optional<std::string> pixelSize;
    std::optional<std::string> fileSize;
    std::optional<std::string> bodySerial;
    std::optional<std::string> lensSerial;
    std::optional<std::string> rotation;

    bool operator==(const ExifDisplayValues&) const = default;

    // Without metadata only the rotation is present ("0.0°" for none).
    ExifDisplayValues(const std::optional<ExifMetadata>& metadata, double rotation);

    const std::optional<std::string>& value(ExifCopyField field) const;

private:
    using Member = std::optional<std::string> ExifDisplayValues::*;
    // The member of each field, in the fields' declaration order.
    static const std::array<Member, kAllExifCopyFields.size()> kMembers;
};

} // namespace sorvin
