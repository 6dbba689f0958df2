#include "app/single_photo_export.hpp"

#include "export/export_conflict_resolver.hpp"
#include "export/export_error.hpp"
#include "export/export_validation_error.hpp"
#include "export/exporter.hpp"
#include "export/exporter_destination.hpp"
#include "export/exporter_reencode.hpp"
#include "export/legacy_embedded_thumbnail_cleaner.hpp"
#include "platform/atomic_file.hpp"
#include "platform/mount_table.hpp"
#include "platform/output_file.hpp"

#include <exception>
#include <system_error>

namespace sorvin {

namespace fs = std::filesystem;

namespace {

ExportImageFormat imageFormat(SingleExportFormat format) {
    return format == SingleExportFormat::heic ? ExportImageFormat::heif : ExportImageFormat::jpeg;
}

// Writes the new file under a name nobody else uses; the caller puts it in place.
std::error_code writeNewFile(const SinglePhotoExport::Request& request,
                             const Exporter::ExportRenderer& render, const fs::path& file) {
    const ExportImageFormat format = imageFormat(request.format);
    // An untouched photo whose format stays is copied, keeping its quality and metadata.
    if (!Exporter::shouldReencode(request.photo, format, true, request.rotation, request.crop, 0,
                                  request.parameters, request.source, std::nullopt)) {
        if (auto error = OutputFile::copyNew(request.photo.url, file)) return error;
        if (format == ExportImageFormat::jpeg) LegacyEmbeddedThumbnailCleaner::cleanIfNeeded(file);
        return {};
    }
    if (!Exporter::supportsOutput(format)) return ExportErrc::featureUnsupported;
    ExportRendering rendering = render(request.photo, request.rotation, request.crop, request.parameters,
                                       request.source, std::nullopt);
    if (!rendering.rendered || !rendering.rendered->image)
        return rendering.error ? rendering.error : make_error_code(ExportErrc::fileReadCorruptFile);
    const std::optional<std::string> bytes = Exporter::encodedImage(std::move(*rendering.rendered), format);
    if (!bytes) return ExportErrc::fileWriteUnknown;
    return OutputFile::writeNew(file, *bytes);
}

// The chosen file is one of the photo's own files reached by another path (a hard link, a symbolic
// link).
std::optional<std::string> refusalAsPhotoFile(const SinglePhotoExport::Request& request,
                                              const ExportConflictResolver::ProtectedPaths& photoFiles) {
    if (photoFiles.contains(request.destination))
        return errorDescription(SingleExportValidationError::destinationInsideSource);
    return std::nullopt;
}

// Why the chosen file may not be written, asked before anything is: its folder is the photo folder
// or lies inside it (by whatever path or mount it is reached), is missing or cannot be written, or
// the file is one of the photo's own files.
std::optional<std::string> refusalOf(const SinglePhotoExport::Request& request,
                                     const ExportConflictResolver::ProtectedPaths& photoFiles) {
    if (auto refused = Exporter::validateSingleExportDestination(request.destination, request.sourceFolder))
        return errorDescription(*refused);
    return refusalAsPhotoFile(request, photoFiles);
}

// Just before the chosen file is replaced: it has become one of the photo's own files meanwhile (a
// link made while the new one was written); or, where a mount was made or removed since the check
// (`checkedWith`), the new file shows in the photo folder, as the batch export asks before a name it
// gives: the folder has become the photo folder.
std::optional<std::string> refusalOfWritten(const SinglePhotoExport::Request& request,
                                            const ExportConflictResolver::ProtectedPaths& photoFiles,
                                            const fs::path& written, const MountTable& checkedWith) {
    if (auto refused = refusalAsPhotoFile(request, photoFiles)) return refused;
    if (MountTable::read() == checkedWith) return std::nullopt;
    auto photoFolders = Exporter::photoFolders({request.photo}, request.sourceFolder);
    if (Exporter::refusalAsPhotoFolder(written, photoFolders, request.sourceFolder))
        return errorDescription(SingleExportValidationError::destinationInsideSource);
    return std::nullopt;
}

// The whole new file is written beside the chosen one and only then renamed over it, so a failure
// at any step (or a crash) leaves the user's old file as it was.
std::optional<std::string> write(const SinglePhotoExport::Request& request, const Exporter::ExportRenderer& render,
                                 const ExportConflictResolver::ProtectedPaths& photoFiles,
                                 const MountTable& checkedWith) {
    std::error_code ignored;
    if (fs::is_directory(fs::symlink_status(request.destination, ignored)))
        return ExportError::failureReason(ExportErrc::fileWriteFileExists);
    const fs::path folder = request.destination.parent_path();
    // What an export killed in this folder left behind; a running one's temporary files stay.
    ExportConflictResolver::removeAbandonedOutputTemporaries(folder);
    const fs::path temporary =
        folder / ExportConflictResolver::temporaryName(request.destination.filename().string());
    struct Leftover {
        const fs::path& file;
        bool placed = false;
        ~Leftover() {
            std::error_code ignored;
            if (!placed) fs::remove(file, ignored);
        }
    } leftover{temporary};
    const std::string name = request.destination.filename().string();
    if (const std::error_code error = writeNewFile(request, render, temporary))
        return ExportError::failureReason(error, name);
    if (auto refused = refusalOfWritten(request, photoFiles, temporary, checkedWith)) return refused;
    if (const std::error_code error = OutputFile::replace(request.destination, temporary))
        return ExportError::failureReason(error, name);
    leftover.placed = true;
    // The new name survives a power loss once its folder is on disk.
    AtomicFile::flushFolder(folder);
    return std::nullopt;
}

} // namespace

std::optional<std::string> SinglePhotoExport::run(const Request& request,
                                                  const Exporter::ExportRenderer& render) {
    const auto photoFiles = ExportConflictResolver::protectedSourcePaths({request.photo}, {});
    const auto mounts = MountTable::read();
    if (auto refused = refusalOf(request, photoFiles)) return refused;
    try {
        return write(request, render, photoFiles, mounts);
    } catch (const std::exception& error) {
        return ExportError::describe(error);
    }
}

} // namespace sorvin
