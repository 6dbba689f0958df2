#include "persistence/app_settings.hpp"

#include "persistence/preference_key.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

namespace {

const DefaultsStore::Dictionary& registeredDefaults() {
    static const DefaultsStore::Dictionary values = [] {
        DefaultsStore::Dictionary table;
        const auto add = [&](std::string_view key, DefaultsValue value) {
            table.emplace(std::string(key), std::move(value));
        };
        namespace K = PreferenceKey;
        add(K::includeSubfolders, true);
        add(K::burnInOrientation, false);
        add(K::saveOriginals, false);
        add(K::showGrid, true);
        add(K::clippingWarning, false);
        add(K::parameterTab, 0);
        add(K::exportFormatMode, "keep");
        add(K::exportJpeg, true);
        add(K::exportHeif, false);
        add(K::exportSplitFolders, false);
        add(K::exportLongEdgeMode, "keep");
        add(K::exportLongEdgeValue, 2048);
        add(K::exportConflictMode, "rename");
        add(K::singleExportFormat, "jpeg");
        add(K::sortKey, "date");
        add(K::sortAscending, true);
        add(K::rightPanelWidth, 280.0);
        add(K::bottomPanelHeight, 310.0);
        add(K::rightPanelCollapsed, false);
        add(K::bottomPanelCollapsed, false);
        add(K::holdAdvanceRate, 10);
        add(K::scrollPointsPerStep, 60);
        return table;
    }();
    return values;
}

} // namespace

AppSettings::AppSettings(DefaultsStore& defaults, std::uint64_t physicalMemory)
    : defaults_(defaults), presetStore_(defaults) {
    defaults_.registerDefaults(registeredDefaults());
    // Decided once, on the first start, and stored: the user's later choice is never recomputed,
    // also where the file could not be read at this start and holds one after all.
    if (!defaults_.object(PreferenceKey::lowMemoryMode))
        defaults_.edit([lowMemory = physicalMemory < lowMemoryLimit](DefaultsStore::Dictionary& values) {
            values.try_emplace(std::string(PreferenceKey::lowMemoryMode), lowMemory);
        });
}

std::optional<std::int64_t> AppSettings::integralNumber(std::string_view key) const {
    const auto value = defaults_.object(key);
    if (!value || !value->integer()) return std::nullopt;
    return *value->integer();
}

int AppSettings::clampedInteger(std::string_view key, int defaultValue, int lower, int upper) const {
    const auto value = defaults_.object(key);
    const auto number = value ? value->number() : std::nullopt;
    if (!number || !std::isfinite(*number)) return defaultValue;
    const double rounded = std::round(*number);
    if (rounded <= lower) return lower;
    if (rounded >= upper) return upper;
    return static_cast<int>(rounded);
}

bool AppSettings::storedTextIs(std::string_view key, std::string_view rawValue) const {
    return defaults_.string(key).value_or("") == rawValue;
}

ParameterPage AppSettings::parameterPage() const {
    return ParameterPage::fromStoredValue(integralNumber(PreferenceKey::parameterTab).value_or(0));
}

PhotoSortKey AppSettings::sortKey() const {
    return twoCaseText(PreferenceKey::sortKey, PhotoSortKey::date, PhotoSortKey::name);
}

SingleExportFormat AppSettings::singleExportFormat() const {
    return twoCaseText(PreferenceKey::singleExportFormat, SingleExportFormat::jpeg, SingleExportFormat::heic);
}

ExportFormatMode AppSettings::exportFormatMode() const {
    return twoCaseText(PreferenceKey::exportFormatMode, ExportFormatMode::keep, ExportFormatMode::specify);
}

ExportLongEdgeMode AppSettings::exportLongEdgeMode() const {
    return twoCaseText(PreferenceKey::exportLongEdgeMode, ExportLongEdgeMode::keep,
                       ExportLongEdgeMode::specify);
}

ExportConflictMode AppSettings::exportConflictMode() const {
    return twoCaseText(PreferenceKey::exportConflictMode, ExportConflictMode::rename,
                       ExportConflictMode::overwrite);
}

int AppSettings::exportLongEdgeValue() const {
    const auto value = integralNumber(PreferenceKey::exportLongEdgeValue);
    if (!value) return 2048;
    return static_cast<int>(std::clamp<std::int64_t>(*value, 256, 16384));
}

int AppSettings::holdAdvanceRate() const {
    return clampedInteger(PreferenceKey::holdAdvanceRate, 10, 2, 30);
}

int AppSettings::scrollPointsPerStep() const {
    return clampedInteger(PreferenceKey::scrollPointsPerStep, 60, 20, 150);
}

ExifCopyFieldSet AppSettings::exifCopySelection() const {
    const auto value = defaults_.object(PreferenceKey::exifCopySelection);
    if (!value) return defaultExifCopySelection();
    ExifCopyFieldSet fields;
    for (const auto& text : value->textList().value_or(std::vector<std::string>{}))
        if (auto field = exifCopyFieldFromRawValue(text)) fields.insert(*field);
    return fields;
}

void AppSettings::setExifCopySelection(const ExifCopyFieldSet& fields) {
    DefaultsValue::List texts;
    for (const auto field : kAllExifCopyFields)
        if (fields.contains(field)) texts.emplace_back(std::string(rawValue(field)));
    defaults_.set(PreferenceKey::exifCopySelection, std::move(texts));
}

} // namespace sorvin
