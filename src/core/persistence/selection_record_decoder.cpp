#include "persistence/selection_record_decoder.hpp"

#include "model/photo_rotation.hpp"
#include "persistence/selection_record_reading.hpp"
#include "persistence/selection_record_version1.hpp"
#include "persistence/selection_rotation.hpp"
#include "persistence/selection_store_error.hpp"

#include <cmath>
#include <stdexcept>

namespace sorvin::SelectionRecordDecoder {

namespace {

using namespace SelectionJSONValue;
using SelectionRecordReading::ParameterEntry;

PhotoParameters version2Parameters(const std::map<std::string, double>& numbers,
                                   const std::vector<MaskKind>& kinds, bool allowsRawDevelopment) {
    std::vector<ParameterEntry> entries;
    for (const auto& [key, number] : numbers) {
        const auto resolved =
            PhotoParameters::storageKey(key, kinds, MaskKindCatalog::current(), allowsRawDevelopment);
        if (!resolved || !std::isfinite(number)) continue;
        const double v = std::round(number);
        const PhotoParameter p = resolved->parameter;
        const int highest =
            p == PhotoParameter::circular_mask_center_x || p == PhotoParameter::circular_mask_center_y ? 1000
                                                                                                       : 100;
        if (v < SelectionRecordReading::lowestStoredValue(p) || v > highest) continue;
        entries.push_back({p, resolved->target, static_cast<int>(v)});
    }
    return SelectionRecordReading::applied(kinds, entries);
}

std::vector<MaskKind> maskKinds(const Json* value) {
    if (const auto names = stringArray(value))
        if (auto kinds = MaskKindCatalog::current().kinds(*names)) return *kinds;
    return {};
}

// The copy B of a photo; members it does not hold fall back to the photo's own rotation and crop.
RetouchState copyB(const Json& b, std::optional<double> photoRotation, std::optional<ManualCrop> photoCrop) {
    RetouchState copy;
    copy.heart = boolean(member(b, "heart")).value_or(false);
    copy.source = string(member(b, "source")) == "raw" ? PhotoSource::raw : PhotoSource::jpeg;
    if (const Json* rotation = member(b, "rotation")) {
        const auto degrees = number(rotation);
        copy.rotation = degrees ? PhotoRotation::stored(*degrees).value_or(0.0) : 0.0;
    } else {
        copy.rotation = photoRotation.value_or(0.0);
    }
    if (const Json* crop = member(b, "crop"))
        copy.crop = SelectionRecordReading::crop(crop).value_or(ManualCrop{});
    else
        copy.crop = photoCrop.value_or(ManualCrop{});
    copy.masks = maskKinds(member(b, "masks"));
    copy.params =
        version2Parameters(SelectionRecordReading::numberMembers(member(b, "params")), copy.masks, false);
    copy.paramsRaw =
        version2Parameters(SelectionRecordReading::numberMembers(member(b, "paramsRaw")), copy.masks, true);
    return copy;
}

SelectionRecord decodeVersion2(const Json& document) {
    auto header = SelectionRecordReading::header(document);
    SelectionRecord record;
    record.version = 2;
    record.app = std::move(header.app);
    record.updatedAt = std::move(header.updatedAt);
    record.cursor = std::move(header.cursor);
    const Json* photos = object(member(document, "photos"));
    if (photos) {
        for (const auto& [key, photo] : photos->items()) {
            if (!photo.is_object()) continue;
            const std::string path = SelectionRecordReading::photoPath(key);
            if (boolean(member(photo, "heart")) == true) record.hearts.push_back(path);
            if (string(member(photo, "source")) == "raw") record.sources[path] = PhotoSource::raw;
            std::optional<double> rotation;
            if (const auto degrees = number(member(photo, "rotation")))
                if ((rotation = PhotoRotation::stored(*degrees))) record.rotations[path] = *rotation;
            const auto crop = SelectionRecordReading::crop(member(photo, "crop"));
            if (crop) record.crops[path] = *crop;
            const std::vector<MaskKind> kinds = maskKinds(member(photo, "masks"));
            if (const Json* b = object(member(photo, "b")))
                record.retouchesB[path] = copyB(*b, rotation, crop);

            const Json* paramsMember = member(photo, "params");
            const Json* rawMember = member(photo, "paramsRaw");
            if (!member(photo, "masks") && !paramsMember && !rawMember) continue;
            if (!kinds.empty()) record.masks[path] = kinds;
            // A RAW-only development makes no JPEG/HEIF set: one built here would carry its masks
            // with amount 0. The library shows that side's masks with their defaults instead.
            if (paramsMember || !rawMember) {
                auto params =
                    version2Parameters(SelectionRecordReading::numberMembers(paramsMember), kinds, false);
                if (SelectionRecord::keepsParameters(params)) record.params[path] = std::move(params);
            }
            if (rawMember) {
                auto paramsRaw =
                    version2Parameters(SelectionRecordReading::numberMembers(rawMember), kinds, true);
                if (SelectionRecord::keepsParameters(paramsRaw))
                    record.paramsRaw[path] = std::move(paramsRaw);
            }
        }
    }
    std::sort(record.hearts.begin(), record.hearts.end());
    return SelectionRecord::normalized(std::move(record));
}

} // namespace

SelectionRecord decode(const Json& document) {
    const auto version = integer(member(document, "version"));
    if (!version) throw std::runtime_error("record without a version");
    if (*version == 1) return SelectionRecordVersion1::decode(document);
    if (*version == 2) return decodeVersion2(document);
    throw SelectionStoreError();
}

} // namespace sorvin::SelectionRecordDecoder
