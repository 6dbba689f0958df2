#pragma once

#include "export/export_cancellation_token.hpp"
#include "model/export_conflict_mode.hpp"
#include "export/export_format_options.hpp"
#include "export/export_manifest.hpp"
#include "export/export_result.hpp"
#include "export/exporter_reencode.hpp"
#include "export/exporter_rendering.hpp"
#include "export/exporter_retouch.hpp"
#include "model/manual_crop.hpp"
#include "model/photo.hpp"
#include "model/photo_source.hpp"
#include "platform/mount_table.hpp"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sorvin {

// Everything one batch export works from: a snapshot of the library's edit state taken on the
// main thread, the settings of the export sheet, and the services it runs with.
struct ExportRequest {
    std::vector<Photo> photos; // in export order
    PathMap<double> rotations;
    PathMap<ManualCrop> crops;
    PathMap<int> brightness; // exposure of older records, by relative path
    Exporter::ParametersByPath params;
    Exporter::ParametersByPath paramsRaw;
    PathMap<PhotoSource> sources;
    Exporter::RetouchStates retouchesB;
    std::optional<Exporter::SelectedSlots> selectedSlots;

    std::filesystem::path destination;
    // The folder the photos were opened from: the export writes into no folder that is it or lies
    // inside it, or holds a photo, by whatever path or mount it is reached. None: only the files
    // themselves are protected.
    std::optional<std::filesystem::path> sourceFolder;
    // The mounts as they were when the caller began to check the destination against the source
    // folder (Exporter::validate), when it did: the export does not check the destination again,
    // only the folders it writes into below it, and asks the photo folders whether they show a
    // folder it writes into only once a mount was made or removed since.
    std::optional<MountTable> destinationCheckedWith;
    bool burnInOrientation = false;
    bool saveOriginals = false;
    ExportFormatOptions formatOptions;
    std::optional<int> maximumLongEdge;
    ExportConflictMode conflictMode = ExportConflictMode::rename;
    std::vector<std::filesystem::path> protectedSourceURLs; // never overwritten, besides the photos' files

    std::shared_ptr<ExportCancellationToken> cancellation;
    std::function<void(int done, int total)> progress; // called on the export's thread after each item
    // Told each file (output or original) the moment it has its final name, on the export's thread.
    std::function<void(const std::filesystem::path&)> published;
    std::filesystem::path applicationSupportRoot;      // folder of the manifests

    ExportImageDecoder decode;       // decoder of JPEG/HEIF files
    Exporter::ExportRenderer render; // none: renderEditedImageAndMetadata with `decode`
};

namespace Exporter {

// One batch export, synchronously on the calling (background) thread. Never throws: every problem
// becomes a counter or a failure of the result; only a refused destination ends it before the
// first item, and only the token stops it early. Outputs that need no change are copied byte for
// byte, outputs unchanged since the last export into the destination are skipped (manifest), names
// are resolved by the conflict mode without ever replacing a protected file, originals are copied
// when asked, and every file is in the manifest's journal on disk before it gets its name (the
// manifest is written at the end, also after a cancel). Every file is written to a hidden temporary
// beside its final name and published whole, so an export killed at any moment leaves no partial
// file under a final name and the next one writes nothing twice; the next export into a folder
// first removes the temporaries that ended exports left there. The folders that received files are
// flushed at the end.
ExportResult exportPhotos(const ExportRequest& request);

// Whether a RAW companion is already in the originals folder from an earlier export, beside the
// recorded copy of its primary file (same numbering suffix), or under any numbered name of its own,
// with its size and modification time.
bool companionOriginalExists(const Photo::OriginalFile& companion, const Photo::OriginalFile& primarySource,
                             const std::optional<ExportManifestFileRecord>& primaryRecord,
                             const std::filesystem::path& directory);

// The text under which an export failure is listed.
std::string failureReason(std::error_code error);

} // namespace Exporter

} // namespace sorvin
