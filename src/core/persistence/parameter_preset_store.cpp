#include "persistence/parameter_preset_store.hpp"

#include "model/mask_kind_catalog.hpp"
#include "model/photo_parameter.hpp"
#include "persistence/parameter_preset_name.hpp"
#include "persistence/preference_key.hpp"
#include "persistence/selection_json_value.hpp"
#include "platform/json_text.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <nlohmann/json.hpp>

namespace sorvin {

namespace {

using Json = nlohmann::json;
using SelectionJSONValue::exactInteger;
using SelectionJSONValue::member;

constexpr std::int64_t currentMaskScale = 1000;
constexpr std::int64_t currentVersion = 1;
// Keys of parameters that no longer exist; a preset made only of them applies nothing.
constexpr std::array<std::string_view, 6> removedParameterKeys = {"cRd", "cRl", "cGd", "cGl", "cBd", "cBl"};

// The parsed text when it is a preset document we can read; none otherwise.
std::optional<Json> readableDocument(const std::string& text) {
    Json root = Json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!root.is_object()) return std::nullopt;
    if (exactInteger(member(root, "version")) != currentVersion) return std::nullopt;
    const Json* presets = member(root, "presets");
    if (!presets || !presets->is_array()) return std::nullopt;
    return root;
}

bool isReadable(const DefaultsValue& stored) {
    return stored.text() && readableDocument(*stored.text()).has_value();
}

// The mask kinds named by the keys of one stored parameter object. Keys "C0.…", "L1.…" give the
// kind at each index (the first key met for an index wins), and the indices must run from 0 without
// a gap. Texts without indexed keys used "C.…", "L.…": one mask per kind named, in catalogue order.
std::vector<MaskKind> maskKinds(const Json& object, const MaskKindCatalog& catalog) {
    std::array<const MaskKind*, maximumMaskCount> indexed{};
    bool anyIndexed = false;
    for (const auto& [key, value] : object.items()) {
        const std::string_view head = std::string_view(key).substr(0, key.find('.'));
        if (head.size() < 2) continue;
        const auto* definition = catalog.definitionForStorageSymbol(head.front());
        if (!definition) continue;
        const std::string_view digits = head.substr(1);
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
        const auto first = digits.find_first_not_of('0');
        const std::string_view significant = first == std::string_view::npos ? "0" : digits.substr(first);
        if (significant.size() != 1 || significant.front() - '0' >= static_cast<int>(maximumMaskCount))
            continue;
        const auto index = static_cast<std::size_t>(significant.front() - '0');
        anyIndexed = true;
        if (!indexed[index]) indexed[index] = &definition->kind;
    }

    std::vector<MaskKind> kinds;
    if (anyIndexed) {
        std::size_t count = 0;
        while (count < indexed.size() && indexed[count])
            kinds.push_back(*indexed[count++]);
        for (std::size_t i = count; i < indexed.size(); ++i)
            if (indexed[i]) return {};
        return kinds;
    }
    for (const auto& definition : catalog.definitions) {
        const std::string prefix = std::string(1, definition.storageSymbol) + ".";
        bool present = false;
        for (const auto& [key, value] : object.items())
            present = present || key.starts_with(prefix);
        if (present && kinds.size() < maximumMaskCount) kinds.push_back(definition.kind);
    }
    return kinds;
}

// A stored number as a parameter value: rounded half away from zero, refused (not clamped) outside
// the parameter's range. Older texts kept circular mask centres ten times smaller.
std::optional<int> parameterValue(const Json& value, PhotoParameter parameter, bool usesCurrentMaskScale) {
    if (!value.is_number()) return std::nullopt; // Booleans are not numbers here
    double number = value.get<double>();
    if (!std::isfinite(number)) return std::nullopt;
    const bool isCentre = parameter == PhotoParameter::circular_mask_center_x ||
                          parameter == PhotoParameter::circular_mask_center_y;
    if (isCentre && !usesCurrentMaskScale) number *= 10;
    const double rounded = std::round(number);
    if (rounded < ParameterCatalog::minimum(parameter) || rounded > ParameterCatalog::maximum(parameter))
        return std::nullopt;
    return static_cast<int>(rounded);
}

ParameterPreset presetFrom(std::string name, const Json& object, bool usesCurrentMaskScale) {
    const auto& catalog = MaskKindCatalog::current();
    const auto kinds = maskKinds(object, catalog);
    ParameterPreset preset{std::move(name), PhotoParameters(kinds), true};
    bool anyResolved = false;
    bool anyObsolete = false;
    for (const auto& [key, value] : object.items()) {
        if (std::find(removedParameterKeys.begin(), removedParameterKeys.end(), key) !=
            removedParameterKeys.end())
            anyObsolete = true;
        auto resolved = PhotoParameters::storageKey(key, kinds, catalog, true);
        if (!resolved) resolved = PhotoParameters::legacyStorageKey(key, kinds, true, catalog);
        if (!resolved) continue;
        anyResolved = true;
        if (auto number = parameterValue(value, resolved->parameter, usesCurrentMaskScale))
            preset.parameters.setValue(*number, resolved->parameter, resolved->target, catalog);
    }
    preset.appliesParameters = anyResolved || !anyObsolete;
    return preset;
}

} // namespace

void ParameterPresetStore::save(const std::vector<ParameterPreset>& presets) {
    change([presets](std::vector<ParameterPreset>& stored) { stored = presets; });
}

void ParameterPresetStore::change(std::function<void(std::vector<ParameterPreset>&)> edit) {
    defaults_.edit([edit = std::move(edit)](DefaultsStore::Dictionary& values) {
        const auto stored = values.find(PreferenceKey::presets);
        std::vector<ParameterPreset> presets;
        if (stored != values.end()) {
            presets = presetsIn(stored->second.text());
            if (!isReadable(stored->second)) values.insert_or_assign(std::string(backupKey), stored->second);
        }
        edit(presets);
        std::vector<ParameterPreset> kept;
        for (const auto& preset : presets) {
            if (kept.size() == maxPresets) break;
            if (preset.appliesParameters) kept.push_back(preset);
        }
        values.insert_or_assign(std::string(PreferenceKey::presets), jsonString(kept));
    });
}

ParameterPresetLoadResult ParameterPresetStore::load() const {
    const auto text = defaults_.string(PreferenceKey::presets);
    return {presetsIn(text ? &*text : nullptr)};
}

std::vector<ParameterPreset> ParameterPresetStore::presetsIn(const std::string* text) {
    if (!text) return {};
    const auto root = readableDocument(*text);
    if (!root) return {};
    const bool usesCurrentMaskScale = exactInteger(member(*root, "maskScale")) == currentMaskScale;
    const Json& elements = *member(*root, "presets");

    std::vector<ParameterPreset> presets;
    // Only the first 20 elements count, even when some of them are skipped.
    for (std::size_t i = 0; i < std::min(elements.size(), maxPresets); ++i) {
        const Json& element = elements[i];
        if (!element.is_object()) continue;
        const Json* rawName = member(element, "name");
        if (!rawName || !rawName->is_string()) continue;
        auto name = ParameterPresetName::validated(rawName->get_ref<const std::string&>());
        if (!name) continue;
        const bool taken = std::any_of(presets.begin(), presets.end(),
                                       [&](const ParameterPreset& preset) { return preset.name == *name; });
        if (taken) continue;
        const Json* parameters = member(element, "parameters");
        if (!parameters || !parameters->is_object())
            presets.push_back({std::move(*name), PhotoParameters::zero(), true});
        else
            presets.push_back(presetFrom(std::move(*name), *parameters, usesCurrentMaskScale));
    }
    return presets;
}

std::string ParameterPresetStore::jsonString(const std::vector<ParameterPreset>& presets) {
    std::string out = "{\n  \"maskScale\": 1000,\n  \"version\": 1,\n  \"presets\": [\n";
    for (std::size_t i = 0; i < presets.size(); ++i) {
        if (i > 0) out += ",\n";
        out += "    { \"name\": ";
        JsonText::appendQuoted(out, presets[i].name, JsonText::Slash::Escaped);
        out += ", \"parameters\": { ";
        bool first = true;
        for (const auto& entry : presets[i].parameters.storageEntries(true, MaskKindCatalog::current())) {
            if (!first) out += ", ";
            first = false;
            JsonText::appendQuoted(out, entry.key, JsonText::Slash::Escaped);
            out += ": ";
            out += std::to_string(entry.value);
        }
        out += " } }";
    }
    out += "\n  ]\n}";
    return out;
}

} // namespace sorvin
