#include "persistence/selection_record_encoder.hpp"

#include "model/photo_rotation.hpp"
#include "persistence/selection_rotation.hpp"
#include "platform/json_text.hpp"
#include "platform/unicode_text.hpp"

#include <algorithm>
#include <set>
#include <system_error>

namespace sorvin::SelectionRecordEncoder {

namespace {

bool isUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t scalar = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, scalar = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, scalar = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, scalar = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            scalar = (scalar << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and scalars past U+10FFFF.
        if ((length == 3 && scalar < 0x800) || (length == 4 && scalar < 0x10000) || scalar > 0x10FFFF ||
            (scalar >= 0xD800 && scalar <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

void appendString(std::string& out, std::string_view text) {
    if (!isUtf8(text))
        throw std::system_error(std::make_error_code(std::errc::illegal_byte_sequence),
                                "記録に UTF-8 でない文字列があります");
    JsonText::appendQuoted(out, text);
}

std::string stringText(std::string_view text) {
    std::string out;
    appendString(out, text);
    return out;
}

std::string cropText(const ManualCrop& crop) {
    return "{ \"aspect\": " + stringText(crop.aspect.storageText()) +
           ", \"size\": " + std::to_string(crop.sizeP) + ", \"x\": " + std::to_string(crop.xM) +
           ", \"y\": " + std::to_string(crop.yM) + " }";
}

std::string masksText(const std::vector<MaskKind>& kinds) {
    std::string out = "[";
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (i > 0) out += ", ";
        appendString(out, kinds[i].rawValue);
    }
    return out + "]";
}

// None when the set stores nothing.
std::optional<std::string> parametersText(const PhotoParameters& parameters, bool allowsRawDevelopment) {
    const auto entries = parameters.storageEntries(allowsRawDevelopment, MaskKindCatalog::current());
    if (entries.empty()) return std::nullopt;
    std::string out = "{ ";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) out += ", ";
        appendString(out, entries[i].key);
        out += ": " + std::to_string(entries[i].value);
    }
    return out + " }";
}

class FieldList {
public:
    void add(std::string_view key, const std::string& value) {
        fields_.emplace_back(stringText(key) + ": " + value);
    }
    bool empty() const { return fields_.empty(); }
    std::string joined(std::string_view separator) const {
        std::string out;
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            if (i > 0) out += separator;
            out += fields_[i];
        }
        return out;
    }

private:
    std::vector<std::string> fields_;
};

std::string copyBText(const RetouchState& copy) {
    FieldList fields;
    if (copy.heart) fields.add("heart", "true");
    if (copy.source == PhotoSource::raw) fields.add("source", "\"raw\"");
    const auto rotation = PhotoRotation::stored(copy.rotation);
    fields.add("rotation", rotation ? SelectionRotation::text(*rotation) : "0.0");
    fields.add("crop", cropText(copy.crop));
    if (!copy.masks.empty()) fields.add("masks", masksText(copy.masks));
    if (auto text = parametersText(copy.params, false)) fields.add("params", *text);
    if (auto text = parametersText(copy.paramsRaw, true)) fields.add("paramsRaw", *text);
    return "{ " + fields.joined(", ") + " }";
}

template <typename T>
const T* find(const SelectionRecord::PathMap<T>& map, const std::string& path) {
    const auto found = map.find(path);
    return found == map.end() ? nullptr : &found->second;
}

FieldList photoFields(const SelectionRecord& record, const std::string& path, bool hearted) {
    FieldList fields;
    if (hearted) fields.add("heart", "true");
    if (const auto* source = find(record.sources, path); source && *source == PhotoSource::raw)
        fields.add("source", "\"raw\"");
    if (const auto* degrees = find(record.rotations, path))
        if (const auto rotation = PhotoRotation::stored(*degrees))
            fields.add("rotation", SelectionRotation::text(*rotation));
    if (const auto* crop = find(record.crops, path); crop && !crop->isDefault())
        fields.add("crop", cropText(*crop));
    if (const auto* kinds = find(record.masks, path); kinds && !kinds->empty())
        fields.add("masks", masksText(*kinds));
    if (const auto* parameters = find(record.params, path))
        if (auto text = parametersText(*parameters, false)) fields.add("params", *text);
    if (const auto* parameters = find(record.paramsRaw, path))
        if (auto text = parametersText(*parameters, true)) fields.add("paramsRaw", *text);
    if (const auto* copy = find(record.retouchesB, path)) fields.add("b", copyBText(*copy));
    return fields;
}

template <typename T>
void addKeys(std::set<std::string>& paths, const SelectionRecord::PathMap<T>& map) {
    for (const auto& entry : map)
        paths.insert(entry.first);
}

// Members come in the code point order of their composed (NFC) text, whatever spelling a path
// arrives in; the UTF-8 bytes of composed text sort in that order.
std::vector<std::string> inComposedOrder(const std::set<std::string>& paths) {
    std::vector<std::pair<std::string, std::string>> keyed;
    for (const std::string& path : paths)
        keyed.emplace_back(UnicodeText::nfc(path).value_or(path), path);
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::string> ordered;
    for (auto& entry : keyed)
        ordered.push_back(std::move(entry.second));
    return ordered;
}

} // namespace

std::string encode(const SelectionRecord& record) {
    const std::set<std::string> hearts(record.hearts.begin(), record.hearts.end());
    std::set<std::string> paths = hearts;
    addKeys(paths, record.sources);
    addKeys(paths, record.rotations);
    addKeys(paths, record.crops);
    addKeys(paths, record.masks);
    addKeys(paths, record.params);
    addKeys(paths, record.paramsRaw);
    addKeys(paths, record.retouchesB);

    std::string text = "{\n  \"version\": 2,\n  \"app\": ";
    appendString(text, record.app);
    text += ",\n  \"updatedAt\": ";
    appendString(text, record.updatedAt);
    text += ",\n  \"cursor\": ";
    if (record.cursor)
        appendString(text, *record.cursor);
    else
        text += "null";
    text += ",\n  \"photos\": {\n";
    bool first = true;
    for (const auto& path : inComposedOrder(paths)) {
        const FieldList fields = photoFields(record, path, hearts.contains(path));
        if (fields.empty()) continue;
        if (!first) text += ",\n";
        first = false;
        text += "    ";
        appendString(text, path);
        text += ": {\n      " + fields.joined(",\n      ") + "\n    }";
    }
    text += "\n  }\n}\n";
    return text;
}

} // namespace sorvin::SelectionRecordEncoder
