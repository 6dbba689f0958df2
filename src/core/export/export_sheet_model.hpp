#pragma once

#include "export/export_cancellation_token.hpp"
#include "export/export_format_options.hpp"
#include "export/export_result.hpp"
#include "export/export_validation_error.hpp"
#include "export/exporter.hpp"
#include "export/exporter_destination.hpp"
#include "model/export_conflict_mode.hpp"
#include "model/export_format_mode.hpp"
#include "model/export_long_edge_mode.hpp"
#include "model/photo_list_row.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sorvin {

class AppSettings;
class PhotoLibrary;

// Everything the export sheet decides, without a widget: its settings read from and written back
// to the preferences, the rows it would export, the notices it shows, the start of an export with
// its checks, and the copying and result stages. One model per presentation of the sheet, on the
// main thread; only the ExportRequest it hands out runs elsewhere.
class ExportSheetModel {
public:
    enum class Stage { settings, copying, result };

    // How many of the target rows need what, for the notices under the target count.
    struct TargetCounts {
        int rows = 0;
        int raw = 0;       // lone RAW files
        int rawSource = 0; // developed from a RAW file
        int rotation = 0;
        int parameter = 0;
        bool operator==(const TargetCounts&) const = default;
    };

    // Fresh values from the preferences and a fresh cancellation token.
    explicit ExportSheetModel(const AppSettings& settings);

    Stage stage = Stage::settings;
    std::string destinationPath;
    bool burnInOrientation = false;
    bool saveOriginals = false;
    ExportFormatMode formatMode = ExportFormatMode::keep;
    bool exportJpeg = false;
    bool exportHeif = false;
    bool splitFolders = false;
    ExportLongEdgeMode longEdgeMode = ExportLongEdgeMode::keep;
    int longEdgeValue = 2048;
    std::string longEdgeText;
    ExportConflictMode conflictMode = ExportConflictMode::rename;
    int processed = 0;
    int total = 0;
    std::optional<ExportResult> result;
    std::shared_ptr<ExportCancellationToken> cancellation = std::make_shared<ExportCancellationToken>();
    // Why "書き出す" refused the destination; it goes as soon as the destination changes.
    std::optional<std::string> validationError;

    // Hearted photos (row A or a hearted copy B) in library order; their rows, A before B.
    static std::vector<Photo> targetPhotos(const PhotoLibrary* library);
    static std::vector<PhotoListRow> targetRows(const PhotoLibrary* library);
    static TargetCounts counts(const PhotoLibrary* library);

    ExportFormatOptions formatOptions() const;
    bool isCopyDisabled(const PhotoLibrary* library) const;
    // The format checkboxes and the folder split only apply when formats are specified.
    bool formatChoicesEnabled() const { return formatMode == ExportFormatMode::specify; }
    bool longEdgeFieldEnabled() const { return longEdgeMode == ExportLongEdgeMode::specify; }

    // The line under the format choices, if any ("RAW は書き出せないため…" or the no-format warning),
    // and whether it is the warning.
    std::optional<std::pair<std::string, bool>> formatNotice(const PhotoLibrary* library) const;
    // "対象: N枚".
    static std::string targetText(const TargetCounts& counts);
    // The notices under it, in order, each shown only for a count of at least 1.
    static std::vector<std::string> targetNotices(const TargetCounts& counts);

    // Takes over the typed long edge: a decimal integer (optional sign) is clamped to 256...16384;
    // anything else restores the last valid value.
    void commitLongEdgeValue();

    // Where the folder panel opens: the typed destination, when there is one.
    std::optional<std::filesystem::path> chooserStartFolder() const;
    // A folder chosen in the folder panel: taken as the destination and remembered at once.
    void destinationChosen(const std::filesystem::path& folder, AppSettings& settings);
    // The destination as typed into its field; remembered only when an export starts.
    void destinationTyped(std::string path);

    // "書き出す", in three steps, because the check of the destination reads the disk (every photo
    // folder, perhaps on a slow share) and must not hold the window.
    // First, on the main thread: the export the sheet's settings ask for, to be checked; `checking`
    // is set until checkEnded. None without any change when no folder is open or a check runs.
    std::optional<ExportRequest> beginExport(const std::optional<std::filesystem::path>& sourceFolder,
                                             const PhotoLibrary* library);
    // Then, off the main thread: the first refusal of its destination (the folder itself, then the
    // names of the originals and format folders), none when it passes, and the mounts inside the
    // photo folder that could not be asked. Waits for the disks as long as they answer: a
    // destination or photo folder that leaves a call unanswered is refused as not answering; a
    // mount inside the photo folder that does refuses nothing.
    struct DestinationCheck {
        std::optional<ExportValidationError> refusal;
        Exporter::UnansweredMounts unansweredMounts;
        MountTable mounts; // as they were when the check began
    };
    static DestinationCheck checkDestination(const ExportRequest& request);
    // Last, on the main thread: with a refusal, validationError is set and the sheet stays in its
    // settings; else every setting is written back, uncheckedMountsNote names the mounts that could
    // not be asked, the stage moves to copying and the export is given to run, its destination
    // checked (the caller saves the folder record first and runs it in the background).
    std::optional<ExportRequest> checkEnded(ExportRequest request, DestinationCheck check, AppSettings& settings);
    // Between the first step and the last.
    bool checking = false;
    // Shown while the export runs and with its result: the mounts inside the photo folder that
    // could not be asked whether they show the destination.
    std::optional<std::string> uncheckedMountsNote;
    static std::string uncheckedMountsText(const Exporter::UnansweredMounts& mounts);

    // Progress of the running export, brought to the main thread.
    void exportProgressed(int done) { processed = done; }
    // The export returned, finished or cancelled.
    void exportFinished(ExportResult exportResult);
    // The cancel button of the copying stage; the stage moves on when the export returns.
    void cancel() { cancellation->cancel(); }
    // From the cancel until the export returns, which a disk holding its write may delay: the
    // button is no longer offered and the title says the export stops.
    bool isStopping() const { return cancellation->isCancelled(); }

    // The copying stage: its title, "3 / 12" and the bar's fraction (against a total of at least 1).
    std::string copyingTitle() const;
    std::string progressText() const;
    double progressFraction() const;

    // "~" and "~/…" expanded against $HOME, then standardized.
    static std::filesystem::path expandedDestination(const std::string& path);
};

// One line of the result stage.
struct ExportResultLine {
    enum class Style { title, plain, warning };
    std::string text;
    Style style = Style::plain;
    bool operator==(const ExportResultLine&) const = default;
};

// The rows of the result stage, in order, only those that show. The scrolling list of failures
// (failureLines) goes right after the "失敗" line, before the destination line.
struct ExportResultSummary {
    static std::vector<ExportResultLine> lines(const ExportResult& result);
    // "name: reason" for each failure.
    static std::vector<std::string> failureLines(const ExportResult& result);
};

} // namespace sorvin
