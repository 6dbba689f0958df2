#pragma once

#include "model/export_conflict_mode.hpp"
#include "model/export_format_mode.hpp"
#include "model/export_long_edge_mode.hpp"
#include "model/single_export_format.hpp"
#include "model/exif_copy_field.hpp"
#include "model/parameter_page.hpp"
#include "model/photo_sort_key.hpp"
#include "persistence/parameter_preset_store.hpp"
#include "platform/defaults_store.hpp"

#include <cstdint>
#include <optional>
#include <string_view>

namespace sorvin {

// Typed access to the user's preferences. Registers the defaults of the plain preferences, decides
// the low-memory default on the first start, and offers readers that never fail: whatever is stored
// (nothing, the wrong kind, a number out of range, an unknown text) reads as a usable value. Every
// reader reads the store again.
class AppSettings {
public:
    // The preferences domain: $XDG_CONFIG_HOME/Sorvin/preferences.json.
    static constexpr const char* domain = "Sorvin";
    // The machine counts as short of memory below 16 GiB.
    static constexpr std::uint64_t lowMemoryLimit = std::uint64_t{1} << 34;

    AppSettings(DefaultsStore& defaults, std::uint64_t physicalMemory);
    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;

    DefaultsStore& defaults() const { return defaults_; }
    ParameterPresetStore& presetStore() { return presetStore_; }

    // The adjustment panel's open page; the first letter page unless a known page's value is
    // stored as an integer.
    ParameterPage parameterPage() const;

    // Each text preference reads its second case only when exactly that raw value is stored.
    PhotoSortKey sortKey() const;
    SingleExportFormat singleExportFormat() const;
    ExportFormatMode exportFormatMode() const;
    ExportLongEdgeMode exportLongEdgeMode() const;
    ExportConflictMode exportConflictMode() const;

    // 256...16384, 2048 for anything that is not a stored integer.
    int exportLongEdgeValue() const;
    int holdAdvanceRate() const;
    int scrollPointsPerStep() const;

    ExifCopyFieldSet exifCopySelection() const;
    // Stored in declaration order, whatever the order of choosing.
    void setExifCopySelection(const ExifCopyFieldSet& fields);

    // An integer stored as an integer (not a Boolean, not a floating-point number, even an integral
    // one); none for anything else.
    std::optional<std::int64_t> integralNumber(std::string_view key) const;
    // A number (floating point accepted) rounded half away from zero and clamped to the range;
    // the default for anything else.
    int clampedInteger(std::string_view key, int defaultValue, int lower, int upper) const;
    // True only when the stored text is exactly the given raw value (the second case of a
    // two-case preference); anything else reads as the first case.
    bool storedTextIs(std::string_view key, std::string_view rawValue) const;
    // A two-case enumeration stored as its raw value (see storedTextIs).
    template <class Enum>
    Enum twoCaseText(std::string_view key, Enum first, Enum second) const {
        return storedTextIs(key, rawValue(second)) ? second : first;
    }

private:
    DefaultsStore& defaults_;
    ParameterPresetStore presetStore_;
};

} // namespace sorvin
