#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <system_error>

namespace sorvin {

// Failures of the export that are not errors of the operating system.
enum class ExportErrc {
    featureUnsupported = 1, // the format cannot be written on this system
    fileReadCorruptFile,    // the source could not be decoded or developed
    fileWriteUnknown,       // the encoder could not finish the file
    fileWriteFileExists,    // a file stands where a folder is needed
    fileWriteOutOfSpace,    // the disk is full
    fileReadTooLarge,       // the source is beyond what the decoder reads
};

const std::error_category& exportErrorCategory();

inline std::error_code make_error_code(ExportErrc code) {
    return {static_cast<int>(code), exportErrorCategory()};
}

namespace ExportError {

// The Japanese text of an error: its own sentence for each of the export's errors and for the
// common file errors; a general one carrying the code only for other system errors.
std::string localizedDescription(std::error_code error);

// The Japanese text of a failure that arrives as an exception (the user never reads a what()).
std::string describe(const std::exception& error);

// "空き容量が足りません" for a full disk, whichever way it is reported; else the description.
std::string failureReason(std::error_code error);

// The same for a failure to write a file under a name, where the disk may be what refuses the
// name: FAT, exFAT and NTFS take no \ : * ? " < > | nor control characters, and their drivers
// answer such a name with EINVAL, ENOENT or EPERM, each its own way; EINVAL and EILSEQ answer a
// name the disk cannot hold in any case.
std::string failureReason(std::error_code error, std::string_view name);

} // namespace ExportError

} // namespace sorvin

template <>
struct std::is_error_code_enum<sorvin::ExportErrc> : std::true_type {};
