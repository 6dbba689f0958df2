#pragma once

#include "model/mask_kind_catalog.hpp"
#include "model/parameter_edit_target.hpp"
#include "model/parameter_values.hpp"
#include "model/photo_mask.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvin {

// One development state of a photo: the global parameter values and up to four masks, each with
// values of its own. A plain value, copied freely; it keys caches, so equality and hashing are
// structural and cheap (see ParameterValues).
class PhotoParameters {
public:
    // One stored key with the value and place it stands for.
    struct StorageEntry {
        std::string key;
        PhotoParameter parameter;
        ParameterEditTarget target;
        int value;
        friend bool operator==(const StorageEntry&, const StorageEntry&) = default;
    };

    // What a stored key names.
    struct StorageKeyTarget {
        PhotoParameter parameter;
        ParameterEditTarget target;
        friend bool operator==(const StorageKeyTarget&, const StorageKeyTarget&) = default;
    };

    ParameterValues values;
    std::vector<PhotoMask> masks;

    // No values, no masks: every parameter at its default.
    PhotoParameters() = default;
    static PhotoParameters zero() { return PhotoParameters(); }
    // No values and one empty mask per kind (the first four); unknown kinds are kept as they are.
    explicit PhotoParameters(const std::vector<MaskKind>& maskKinds);

    // The global value (its default when not set).
    int operator[](PhotoParameter p) const { return values[p]; }
    // Global write: clamps into p's range, the default removes the entry. Any parameter may be
    // written here, shape, RAW development and geometry ones included.
    void setValue(std::int64_t value, PhotoParameter p) { values.set(p, value); }

    // Through an edit target. RAW development and geometry parameters always go to the global
    // values; a mask position outside the list reads defaults and writes nothing.
    int value(PhotoParameter p, ParameterEditTarget target,
              const MaskKindCatalog& catalog = MaskKindCatalog::current()) const;
    void setValue(std::int64_t value, PhotoParameter p, ParameterEditTarget target,
                  const MaskKindCatalog& catalog = MaskKindCatalog::current());

    // Appends an empty mask and gives its position; none with four masks already or for a kind
    // the catalogue lacks.
    std::optional<int> appendMask(const MaskKind& kind,
                                  const MaskKindCatalog& catalog = MaskKindCatalog::current());
    std::vector<MaskKind> maskKinds() const;
    // Brings the masks to the given kinds (the first four), position by position: a mask that
    // already has the kind keeps its values, any other position gets a new empty mask.
    void synchronizeMaskKinds(const std::vector<MaskKind>& kinds);
    // Without RAW development values unless they are allowed.
    PhotoParameters sanitized(bool allowsRawDevelopment) const;

    // The flat value set (no masks) of one rendering pass: the adjustment values of the global
    // pass, or a mask's adjustment and shape values.
    PhotoParameters pipelineParameters(ParameterEditTarget target,
                                       const MaskKindCatalog& catalog = MaskKindCatalog::current()) const;

    // Quick tests by which the engine skips stages (global values only).
    bool usesDetailStage() const;
    bool usesPointCurveStage() const;
    bool usesToneCurve() const;
    // Only the values the tone lookup tables depend on; the tables are cached under it.
    PhotoParameters lookupTableValues() const;

    // Tab title of mask i: its kind's name and its number among the masks of that kind so far.
    std::optional<std::string>
    maskDisplayName(int index, const MaskKindCatalog& catalog = MaskKindCatalog::current()) const;

    // The key/value form stored by the record file, presets and the export manifest, in order.
    std::vector<StorageEntry>
    storageEntries(bool allowsRawDevelopment,
                   const MaskKindCatalog& catalog = MaskKindCatalog::current()) const;
    // Resolves a key of the current form ("exposure", "C0.exposure") for a set with these mask kinds.
    static std::optional<StorageKeyTarget> storageKey(std::string_view key,
                                                      const std::vector<MaskKind>& maskKinds,
                                                      const MaskKindCatalog& catalog,
                                                      bool allowsRawDevelopment);
    // Resolves a key of an older form ("circular_mask_size", "C.exposure"), never written any more.
    static std::optional<StorageKeyTarget> legacyStorageKey(std::string_view key,
                                                            const std::vector<MaskKind>& maskKinds,
                                                            bool allowsRawDevelopment,
                                                            const MaskKindCatalog& catalog);

    std::size_t hash() const;
    friend bool operator==(const PhotoParameters&, const PhotoParameters&) = default;

private:
    const PhotoMask* maskAt(ParameterEditTarget target) const;
};

} // namespace sorvin

template <>
struct std::hash<sorvin::PhotoParameters> {
    std::size_t operator()(const sorvin::PhotoParameters& parameters) const noexcept {
        return parameters.hash();
    }
};

template <>
struct std::hash<sorvin::PhotoMask> {
    std::size_t operator()(const sorvin::PhotoMask& mask) const noexcept { return mask.hash(); }
};
