#include "export/export_sheet_model.hpp"

#include "export/export_long_edge.hpp"
#include "export/export_manifest_store.hpp"
#include "export/exporter_destination.hpp"
#include "library/photo_library.hpp"
#include "persistence/app_settings.hpp"
#include "persistence/preference_key.hpp"
#include "platform/file_path.hpp"
#include "platform/white_space_text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fmt/format.h>
#include <set>

namespace sorvin {

namespace fs = std::filesystem;
namespace K = PreferenceKey;

namespace {

constexpr const char* kRawKeptAsJpeg = "RAW は書き出せないため、JPEG で保存します";
constexpr const char* kNoFormat = "出力形式を1つ以上選んでください";

// The notices under the target count: the count they read and the text after "うち N".
struct TargetNotice {
    int ExportSheetModel::TargetCounts::*count;
    const char* text;
};
constexpr TargetNotice kTargetNotices[] = {
    {&ExportSheetModel::TargetCounts::raw,
     "枚は RAW です。RAW は書き出せないため、選んだ形式に変換して保存します"},
    {&ExportSheetModel::TargetCounts::rawSource, "枚は RAW を元に書き出します（無劣化のコピーになりません）"},
    {&ExportSheetModel::TargetCounts::rotation,
     "枚は回転を適用して保存し直します（画角がわずかに狭くなります）"},
    {&ExportSheetModel::TargetCounts::parameter,
     "枚は明るさなどを変えて保存し直します（無劣化のコピーになりません）"},
};

bool isHeartedCopyB(const PhotoLibrary& library, const std::string& path) {
    const auto found = library.retouchesB().find(path);
    return found != library.retouchesB().end() && found->second.heart;
}

// The source a row is developed from: a lone RAW file counts as RAW.
PhotoSource rowSource(const PhotoLibrary& library, const PhotoListRow& row) {
    if (!row.photo.hasRawCompanion())
        return row.photo.fileFormat == PhotoFileFormat::raw ? PhotoSource::raw : PhotoSource::jpeg;
    if (row.slot == RetouchSlot::b) return library.retouchesB().at(row.photo.relativePath).source;
    const auto found = library.sources().find(row.photo.relativePath);
    return found != library.sources().end() ? found->second : PhotoSource::jpeg;
}

std::optional<std::int64_t> decimalInteger(std::string_view text) {
    if (text.empty()) return std::nullopt;
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
    if (magnitude > limit) return std::nullopt;
    return negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
}

} // namespace

ExportSheetModel::ExportSheetModel(const AppSettings& settings) {
    const DefaultsStore& defaults = settings.defaults();
    destinationPath = defaults.string(K::lastExportFolder).value_or("");
    burnInOrientation = defaults.boolValue(K::burnInOrientation);
    saveOriginals = defaults.boolValue(K::saveOriginals);
    formatMode = settings.exportFormatMode();
    exportJpeg = defaults.boolValue(K::exportJpeg);
    exportHeif = defaults.boolValue(K::exportHeif);
    splitFolders = defaults.boolValue(K::exportSplitFolders);
    longEdgeMode = settings.exportLongEdgeMode();
    longEdgeValue = settings.exportLongEdgeValue();
    longEdgeText = std::to_string(longEdgeValue);
    conflictMode = settings.exportConflictMode();
}

std::vector<Photo> ExportSheetModel::targetPhotos(const PhotoLibrary* library) {
    std::vector<Photo> photos;
    if (!library) return photos;
    for (const auto& photo : library->photos())
        if (library->hearts().contains(photo.relativePath) || isHeartedCopyB(*library, photo.relativePath))
            photos.push_back(photo);
    return photos;
}

std::vector<PhotoListRow> ExportSheetModel::targetRows(const PhotoLibrary* library) {
    std::vector<PhotoListRow> rows;
    if (!library) return rows;
    for (const auto& photo : targetPhotos(library)) {
        if (library->hearts().contains(photo.relativePath)) rows.push_back({photo, RetouchSlot::a});
        if (isHeartedCopyB(*library, photo.relativePath)) rows.push_back({photo, RetouchSlot::b});
    }
    return rows;
}

ExportSheetModel::TargetCounts ExportSheetModel::counts(const PhotoLibrary* library) {
    TargetCounts counts;
    if (!library) return counts;
    for (const auto& row : targetRows(library)) {
        ++counts.rows;
        const PhotoSource source = rowSource(*library, row);
        if (row.photo.fileFormat == PhotoFileFormat::raw) ++counts.raw;
        if (source == PhotoSource::raw) ++counts.rawSource;
        if (std::fabs(library->rotation(row.photo, row.slot)) >= PhotoRotation::kNoRotation)
            ++counts.rotation;
        const PhotoParameters parameters = library->parameters(row.photo, row.slot, source);
        if (!parameters.values.isEmpty() || !parameters.masks.empty()) ++counts.parameter;
    }
    return counts;
}

ExportFormatOptions ExportSheetModel::formatOptions() const {
    return ExportFormatOptions{formatMode, exportJpeg, exportHeif, splitFolders};
}

bool ExportSheetModel::isCopyDisabled(const PhotoLibrary* library) const {
    return destinationPath.empty() || targetPhotos(library).empty() ||
           (formatMode == ExportFormatMode::specify && !exportJpeg && !exportHeif);
}

std::optional<std::pair<std::string, bool>>
ExportSheetModel::formatNotice(const PhotoLibrary* library) const {
    if (formatMode == ExportFormatMode::keep && counts(library).raw >= 1)
        return std::pair{kRawKeptAsJpeg, false};
    if (formatMode == ExportFormatMode::specify && !exportJpeg && !exportHeif)
        return std::pair{kNoFormat, true};
    return std::nullopt;
}

std::string ExportSheetModel::targetText(const TargetCounts& counts) {
    return fmt::format("対象: {}枚", counts.rows);
}

std::vector<std::string> ExportSheetModel::targetNotices(const TargetCounts& counts) {
    std::vector<std::string> lines;
    for (const auto& notice : kTargetNotices)
        if (const int count = counts.*notice.count; count >= 1)
            lines.push_back(fmt::format("うち {}{}", count, notice.text));
    return lines;
}

void ExportSheetModel::commitLongEdgeValue() {
    const auto value = decimalInteger(WhiteSpaceText::trimmed(longEdgeText));
    if (value)
        longEdgeValue = static_cast<int>(
            std::clamp<std::int64_t>(*value, ExportLongEdge::kMinimum, ExportLongEdge::kMaximum));
    longEdgeText = std::to_string(longEdgeValue);
}

std::optional<fs::path> ExportSheetModel::chooserStartFolder() const {
    if (destinationPath.empty()) return std::nullopt;
    return expandedDestination(destinationPath);
}

void ExportSheetModel::destinationChosen(const fs::path& folder, AppSettings& settings) {
    destinationPath = folder.string();
    validationError.reset();
    settings.defaults().set(K::lastExportFolder, destinationPath);
}

void ExportSheetModel::destinationTyped(std::string path) {
    destinationPath = std::move(path);
    validationError.reset();
}

fs::path ExportSheetModel::expandedDestination(const std::string& path) {
    std::string expanded = path;
    if (!expanded.empty() && expanded.front() == '~' && (expanded.size() == 1 || expanded[1] == '/')) {
        const char* home = std::getenv("HOME");
        if (home && *home) expanded = std::string(home) + expanded.substr(1);
    }
    return FilePath::standardized(expanded);
}

std::optional<ExportRequest> ExportSheetModel::beginExport(const std::optional<fs::path>& sourceFolder,
                                                           const PhotoLibrary* library) {
    if (!sourceFolder || !library || checking) return std::nullopt;
    commitLongEdgeValue();
    const auto rows = targetRows(library);
    ExportRequest request;
    request.photos = targetPhotos(library);
    request.rotations = library->rotations();
    request.crops = library->crops();
    request.brightness = library->brightness();
    request.params = library->parameters();
    request.paramsRaw = library->parametersRaw();
    request.sources = library->sources();
    request.retouchesB = library->retouchesB();
    Exporter::SelectedSlots slots;
    for (const auto& row : rows)
        slots[row.photo.relativePath].insert(row.slot);
    request.selectedSlots = std::move(slots);
    request.destination = expandedDestination(destinationPath);
    request.sourceFolder = *sourceFolder;
    request.burnInOrientation = burnInOrientation;
    request.saveOriginals = saveOriginals;
    request.formatOptions = formatOptions();
    if (longEdgeMode == ExportLongEdgeMode::specify) request.maximumLongEdge = longEdgeValue;
    request.conflictMode = conflictMode;
    for (const auto& photo : library->photos())
        for (const auto& file : photo.originalFiles())
            request.protectedSourceURLs.push_back(file.url);
    request.cancellation = cancellation;
    request.applicationSupportRoot = ExportManifestStore::defaultApplicationSupportRoot();
    total = static_cast<int>(rows.size());
    processed = 0;
    checking = true;
    validationError.reset();
    return request;
}

ExportSheetModel::DestinationCheck ExportSheetModel::checkDestination(const ExportRequest& request) {
    const fs::path& destination = request.destination;
    // The folders the scan found photos in, where a mount may show the destination too.
    std::set<fs::path> listed;
    for (const auto& file : request.protectedSourceURLs)
        listed.insert(file.parent_path());
    DestinationCheck check;
    check.mounts = MountTable::read();
    check.refusal = Exporter::validate(destination, request.sourceFolder.value_or(fs::path()),
                                       std::vector<fs::path>(listed.begin(), listed.end()), &check.unansweredMounts);
    if (!check.refusal) check.refusal = Exporter::validateOriginalsDestination(destination, request.saveOriginals);
    if (!check.refusal)
        check.refusal = Exporter::validateFormatDestinations(destination, request.photos, request.formatOptions);
    return check;
}

std::string ExportSheetModel::uncheckedMountsText(const Exporter::UnansweredMounts& mounts) {
    const bool sourceItself = std::find(mounts.begin(), mounts.end(), std::string()) != mounts.end();
    std::string names;
    for (const auto& mount : mounts)
        if (!mount.empty()) names += (names.empty() ? "" : "、") + mount;
    return unansweredSourceDescription(sourceItself || names.empty() ? "元のフォルダ" : "元のフォルダの中の " + names + " ");
}

std::optional<ExportRequest> ExportSheetModel::checkEnded(ExportRequest request, DestinationCheck check,
                                                          AppSettings& settings) {
    checking = false;
    if (check.refusal) {
        validationError = check.refusal->errorDescription();
        return std::nullopt;
    }
    uncheckedMountsNote.reset();
    if (!check.unansweredMounts.empty()) uncheckedMountsNote = uncheckedMountsText(check.unansweredMounts);
    request.destinationCheckedWith = std::move(check.mounts);
    settings.defaults().setValues({
        {std::string(K::lastExportFolder), request.destination.string()},
        {std::string(K::burnInOrientation), burnInOrientation},
        {std::string(K::saveOriginals), saveOriginals},
        {std::string(K::exportFormatMode), std::string(rawValue(formatMode))},
        {std::string(K::exportJpeg), exportJpeg},
        {std::string(K::exportHeif), exportHeif},
        {std::string(K::exportSplitFolders), splitFolders},
        {std::string(K::exportLongEdgeMode), std::string(rawValue(longEdgeMode))},
        {std::string(K::exportLongEdgeValue), longEdgeValue},
        {std::string(K::exportConflictMode), std::string(rawValue(conflictMode))},
    });
    stage = Stage::copying;
    return request;
}

void ExportSheetModel::exportFinished(ExportResult exportResult) {
    result = std::move(exportResult);
    stage = Stage::result;
}

std::string ExportSheetModel::copyingTitle() const {
    return isStopping() ? "書き出しを中断しています…" : "書き出しています";
}

std::string ExportSheetModel::progressText() const {
    return fmt::format("{} / {}", processed, total);
}

double ExportSheetModel::progressFraction() const {
    return static_cast<double>(processed) / static_cast<double>(std::max(total, 1));
}

std::vector<ExportResultLine> ExportResultSummary::lines(const ExportResult& r) {
    using Style = ExportResultLine::Style;
    std::vector<ExportResultLine> lines;
    lines.push_back({r.cancelled ? "書き出しを中断しました" : "書き出しが終わりました", Style::title});
    lines.push_back({fmt::format("書き出し   {}枚", r.copiedCount)});
    if (r.overwrittenCount >= 1) lines.push_back({fmt::format("上書き    {}枚", r.overwrittenCount)});
    if (r.skippedCount >= 1)
        lines.push_back({fmt::format("スキップ  {}枚    前回から変更なし", r.skippedCount)});
    lines.push_back({fmt::format("出力ファイル   {}個", r.outputFileCount)});
    if (r.renamedCount >= 1) {
        // The first name stands for the others: "など" only when there are others.
        std::string renamed = fmt::format("別名     {}枚", r.renamedCount);
        if (r.firstRenamedFileName || r.renamedCount > 1)
            renamed += "    " + r.firstRenamedFileName.value_or("");
        if (r.renamedCount > 1) renamed += " など";
        lines.push_back({std::move(renamed)});
    }
    if (r.savedOriginals) {
        lines.push_back({fmt::format("元データ  {}枚    originals フォルダ", r.originalCopiedCount)});
        if (r.originalFailureCount >= 1)
            lines.push_back(
                {fmt::format("元データの保存に失敗   {}枚", r.originalFailureCount), Style::warning});
    }
    if (r.recordFailure)
        lines.push_back({fmt::format("書き出したファイルを記録できませんでした（{}）。次にここへ書き出すと、"
                                     "同じ写真をもう一度書き出します",
                                     *r.recordFailure),
                         Style::warning});
    if (!r.failures.empty()) lines.push_back({fmt::format("失敗     {}枚", r.failures.size())});
    lines.push_back({"書き出し先: " + r.destination.string()});
    return lines;
}

std::vector<std::string> ExportResultSummary::failureLines(const ExportResult& result) {
    std::vector<std::string> lines;
    for (const auto& failure : result.failures)
        lines.push_back(failure.fileName + ": " + failure.reason);
    return lines;
}

} // namespace sorvin
