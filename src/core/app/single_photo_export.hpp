#pragma once

#include "export/exporter_rendering.hpp"
#include "model/single_export_format.hpp"
#include "model/manual_crop.hpp"
#include "model/photo.hpp"
#include "model/photo_parameters.hpp"
#include "model/photo_source.hpp"

#include <filesystem>
#include <optional>
#include <string>

namespace sorvin {

// The export of one photo into a file the user chose, with its current edits at full size: a byte
// copy when nothing about the photo changes, otherwise rendered and encoded anew. Runs on a
// background thread on the request's values only.
struct SinglePhotoExport {
    struct Request {
        Photo photo;
        double rotation = 0;
        ManualCrop crop;
        PhotoParameters parameters;
        PhotoSource source = PhotoSource::jpeg;
        std::filesystem::path sourceFolder;
        std::filesystem::path destination;
        SingleExportFormat format = SingleExportFormat::jpeg;
    };

    // None on success; otherwise the text the failure alert explains it with. A failed write
    // leaves no half-written file behind.
    static std::optional<std::string> run(const Request& request, const Exporter::ExportRenderer& render);
};

} // namespace sorvin
