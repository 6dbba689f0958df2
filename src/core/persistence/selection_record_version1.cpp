#include "persistence/selection_record_version1.hpp"

#include "model/photo_rotation.hpp"
#include "persistence/selection_record_reading.hpp"
#include "persistence/selection_rotation.hpp"

#include <algorithm>
#include <cmath>
#include <set>
#include <stdexcept>

namespace sorvin::SelectionRecordVersion1 {

namespace {

using namespace SelectionJSONValue;
using SelectionRecordReading::ParameterEntry;
using ParameterMaps = std::map<std::string, std::map<std::string, double>>;

// A photo's "masks" member: usable kinds, or present but unusable.
struct StoredMaskState {
    bool valid = false;
    std::vector<MaskKind> kinds;
};

StoredMaskState storedMaskState(const Json& value) {
    const auto names = stringArray(&value);
    if (!names || names->size() > 4) return {};
    StoredMaskState state;
    state.valid = true;
    for (const auto& name : *names) {
        const auto* definition = MaskKindCatalog::current().definitionForStorageName(name);
        if (!definition) return {};
        state.kinds.push_back(definition->kind);
    }
    return state;
}

ParameterMaps parameterMaps(const Json& document, std::string_view key) {
    ParameterMaps maps;
    if (const Json* photos = object(member(document, key)))
        for (const auto& [path, photo] : photos->items())
            if (photo.is_object())
                maps.emplace(SelectionRecordReading::photoPath(path),
                             SelectionRecordReading::numberMembers(&photo));
    return maps;
}

class Reader {
public:
    explicit Reader(const Json& document) : document_(document) {}

    SelectionRecord read() {
        auto header = SelectionRecordReading::header(document_);
        auto hearts = stringArray(member(document_, "hearts"));
        if (!hearts) throw std::runtime_error("record without a list of hearts");
        SelectionRecord record;
        record.version = 1;
        record.app = std::move(header.app);
        record.updatedAt = std::move(header.updatedAt);
        record.cursor = std::move(header.cursor);
        for (const auto& heart : *hearts)
            record.hearts.push_back(SelectionRecordReading::photoPath(heart));

        if (const Json* rotations = object(member(document_, "rotations")))
            for (const auto& [key, value] : rotations->items())
                if (const auto degrees = number(&value))
                    if (const auto stored = PhotoRotation::stored(*degrees))
                        record.rotations[path(key)] = *stored;
        if (const Json* crops = object(member(document_, "crops")))
            for (const auto& [key, value] : crops->items())
                if (const auto crop = SelectionRecordReading::crop(&value)) record.crops[path(key)] = *crop;

        const auto paramScale = integer(member(document_, "paramScale"));
        const auto maskScale = integer(member(document_, "maskScale"));
        currentParameterScale_ = paramScale == 100;
        currentMaskScale_ = maskScale == 1000;
        record.paramScale =
            static_cast<int>(std::clamp<std::int64_t>(paramScale.value_or(0), INT32_MIN, INT32_MAX));
        record.maskScale =
            static_cast<int>(std::clamp<std::int64_t>(maskScale.value_or(0), INT32_MIN, INT32_MAX));

        std::map<std::string, int> brightness;
        if (const Json* values = object(member(document_, "brightness")))
            for (const auto& [key, value] : values->items())
                if (const auto n = number(&value))
                    if (const auto b = migrated(*n, PhotoParameter::exposure); b && *b != 0)
                        brightness[path(key)] = *b;

        if (const Json* masks = object(member(document_, "masks")))
            for (const auto& [key, value] : masks->items())
                maskStates_[path(key)] = storedMaskState(value);
        params_ = parameterMaps(document_, "params");
        paramsRaw_ = parameterMaps(document_, "paramsRaw");

        std::set<std::string> paths;
        for (const auto& entry : params_)
            paths.insert(entry.first);
        for (const auto& entry : paramsRaw_)
            paths.insert(entry.first);
        for (const auto& entry : maskStates_)
            paths.insert(entry.first);
        for (const auto& path : paths) {
            kinds_[path] = kindsOf(path);
            if (!kinds_[path].empty()) record.masks[path] = kinds_[path];
        }
        for (const auto& path : paths) {
            auto parameters = decodedParameters(path, mapOf(params_, path), false);
            if (SelectionRecord::keepsParameters(parameters)) record.params[path] = std::move(parameters);
        }
        for (const auto& [path, exposure] : brightness) {
            if (params_.contains(path)) continue;
            auto [entry, inserted] = record.params.try_emplace(path, PhotoParameters(kindsOf(path)));
            entry->second.setValue(std::clamp(exposure, -100, 100), PhotoParameter::exposure,
                                   ParameterEditTarget::global());
        }
        for (const auto& [path, parameters] : record.params)
            if (const int exposure = parameters[PhotoParameter::exposure]; exposure != 0)
                record.brightness[path] = exposure;
        for (const auto& [path, numbers] : paramsRaw_) {
            auto parameters = decodedParameters(path, numbers, true);
            if (SelectionRecord::keepsParameters(parameters)) record.paramsRaw[path] = std::move(parameters);
        }

        if (const Json* sources = object(member(document_, "sources")))
            for (const auto& [key, value] : sources->items())
                if (const auto text = string(&value))
                    if (const auto source = photoSourceFromRawValue(*text))
                        record.sources[path(key)] = *source;
        return record;
    }

private:
    static std::string path(std::string_view key) { return SelectionRecordReading::photoPath(key); }

    static const std::map<std::string, double>& mapOf(const ParameterMaps& maps, const std::string& path) {
        static const std::map<std::string, double> none;
        const auto found = maps.find(path);
        return found == maps.end() ? none : found->second;
    }

    std::optional<int> migrated(double value, PhotoParameter parameter) const {
        return migratedValue(value, parameter, currentParameterScale_, currentMaskScale_);
    }

    std::vector<MaskKind> kindsOf(const std::string& path) const {
        if (const auto found = kinds_.find(path); found != kinds_.end()) return found->second;
        if (const auto found = maskStates_.find(path); found != maskStates_.end())
            return found->second.valid ? found->second.kinds : std::vector<MaskKind>{};
        return legacyKinds(path);
    }

    // The masks of a photo written before the record listed them: a kind is there when one of
    // its keys is, or when one of its shape values differs from the default.
    std::vector<MaskKind> legacyKinds(const std::string& path) const {
        const auto& params = mapOf(params_, path);
        const auto& paramsRaw = mapOf(paramsRaw_, path);
        std::vector<MaskKind> kinds;
        for (const auto& definition : MaskKindCatalog::current().definitions) {
            const std::string prefix = std::string(1, definition.storageSymbol) + ".";
            const auto hasPrefixedKey = [&](const std::map<std::string, double>& numbers) {
                return std::any_of(numbers.begin(), numbers.end(),
                                   [&](const auto& entry) { return entry.first.starts_with(prefix); });
            };
            const auto shapeValueMoved = [&](PhotoParameter parameter) {
                const std::string name(ParameterCatalog::storedName(parameter));
                const double* number = nullptr;
                if (const auto found = params.find(name); found != params.end())
                    number = &found->second;
                else if (const auto found = paramsRaw.find(name); found != paramsRaw.end())
                    number = &found->second;
                if (!number) return false;
                const auto value = migrated(*number, parameter);
                return value && *value != ParameterCatalog::defaultValue(parameter);
            };
            if (hasPrefixedKey(params) || hasPrefixedKey(paramsRaw) ||
                std::any_of(definition.shapeParameters.begin(), definition.shapeParameters.end(),
                            shapeValueMoved))
                kinds.push_back(definition.kind);
        }
        return kinds;
    }

    PhotoParameters decodedParameters(const std::string& path, const std::map<std::string, double>& numbers,
                                      bool allowsRawDevelopment) const {
        const std::vector<MaskKind> kinds = kindsOf(path);
        const bool currentKeys = maskStates_.contains(path);
        const MaskKindCatalog& catalog = MaskKindCatalog::current();
        std::vector<ParameterEntry> entries;
        for (const auto& [key, number] : numbers) {
            const auto resolved =
                currentKeys ? PhotoParameters::storageKey(key, kinds, catalog, allowsRawDevelopment)
                            : PhotoParameters::legacyStorageKey(key, kinds, allowsRawDevelopment, catalog);
            if (!resolved) continue;
            if (const auto value = migrated(number, resolved->parameter))
                entries.push_back({resolved->parameter, resolved->target, *value});
        }
        return SelectionRecordReading::applied(kinds, entries);
    }

    const Json& document_;
    bool currentParameterScale_ = false;
    bool currentMaskScale_ = false;
    std::map<std::string, StoredMaskState> maskStates_;
    ParameterMaps params_;
    ParameterMaps paramsRaw_;
    std::map<std::string, std::vector<MaskKind>> kinds_;
};

} // namespace

std::optional<int> migratedValue(double value, PhotoParameter parameter, bool currentParameterScale,
                                 bool currentMaskScale) {
    if (!std::isfinite(value)) return std::nullopt;
    if (parameter == PhotoParameter::circular_mask_center_x ||
        parameter == PhotoParameter::circular_mask_center_y) {
        const double r = std::round(currentMaskScale ? value : value * 10.0);
        if (r < 0 || r > 1000) return std::nullopt;
        return static_cast<int>(r);
    }
    const int lowest = SelectionRecordReading::lowestStoredValue(parameter);
    if (!currentParameterScale && !ParameterCatalog::isRawDevelopmentParameter(parameter)) {
        const double factor = parameter == PhotoParameter::exposure ? 2.0 : 3.3333333333333335;
        return static_cast<int>(std::clamp(std::round(value * factor), double(lowest), 100.0));
    }
    const double r = std::round(value);
    if (r < lowest || r > 100) return std::nullopt;
    return static_cast<int>(r);
}

SelectionRecord decode(const SelectionJSONValue::Json& document) {
    return Reader(document).read();
}

} // namespace sorvin::SelectionRecordVersion1
