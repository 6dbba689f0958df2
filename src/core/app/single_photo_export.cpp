#include "app/single_photo_export.hpp"

#include "export/export_error.hpp"
#include "export/export_validation_error.hpp"
#include "export/exporter.hpp"
#include "export/exporter_destination.hpp"
#include "export/exporter_reencode.hpp"
#include "export/legacy_embedded_thumbnail_cleaner.hpp"
#include "platform/output_file.hpp"

#include <system_error>

namespace sorvin {

namespace fs = std::filesystem;

namespace {

ExportImageFormat imageFormat(SingleExportFormat format) {
    return format == SingleExportFormat::heic ? ExportImageFormat::heif : ExportImageFormat::jpeg;
}

std::error_code clearDestination(const fs::path& destination) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(destination, error);
    if (error || !fs::exists(status)) return {};
    if (fs::is_directory(status)) return ExportErrc::fileWriteFileExists;
    fs::remove(destination, error);
    return error;
}

std::error_code write(const SinglePhotoExport::Request& request, const Exporter::ExportRenderer& render) {
    if (auto error = clearDestination(request.destination)) return error;
    const ExportImageFormat format = imageFormat(request.format);
    // An untouched photo whose format stays is copied, keeping its quality and metadata.
    if (!Exporter::shouldReencode(request.photo, format, true, request.rotation, request.crop, 0,
                                  request.parameters, request.source, std::nullopt)) {
        if (auto error = OutputFile::copyNew(request.photo.url, request.destination)) return error;
        if (format == ExportImageFormat::jpeg)
            LegacyEmbeddedThumbnailCleaner::cleanIfNeeded(request.destination);
        return {};
    }
    if (!Exporter::supportsOutput(format)) return ExportErrc::featureUnsupported;
    const ExportRendering rendering = render(request.photo, request.rotation, request.crop,
                                             request.parameters, request.source, std::nullopt);
    if (!rendering.rendered || !rendering.rendered->image)
        return rendering.error ? rendering.error : make_error_code(ExportErrc::fileReadCorruptFile);
    const std::optional<std::string> bytes = Exporter::encodedImage(*rendering.rendered, format);
    if (!bytes) return ExportErrc::fileWriteUnknown;
    return OutputFile::writeNew(request.destination, *bytes);
}

} // namespace

std::optional<std::string> SinglePhotoExport::run(const Request& request,
                                                  const Exporter::ExportRenderer& render) {
    if (auto refused = Exporter::validateSingleExportDestination(request.destination, request.sourceFolder))
        return errorDescription(*refused);
    if (const std::error_code error = write(request, render)) return ExportError::failureReason(error);
    return std::nullopt;
}

} // namespace sorvin
