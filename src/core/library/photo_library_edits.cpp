// Edits of a row's rotation, crop and source. Stored crops always fit the row's edit size, and the
// slot-A tables never hold an entry equal to the default.
#include "library/photo_library.hpp"

#include <algorithm>
#include <utility>
#include <cctype>
#include <cmath>

namespace sorvin {

namespace {

// An angle given by the user, brought into -180 ... 179.5 by clamping (never wrapping) and
// rounded to half degrees.
double clampedRotation(double degrees) {
    if (degrees > 179.5) return 179.5;
    if (degrees <= -180) return -180;
    return std::round(degrees * 2) / 2;
}

std::string upperCaseExtension(const std::filesystem::path& url) {
    std::string extension = url.extension().string();
    if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return extension;
}

} // namespace

void PhotoLibrary::storeRotation(double degrees, const std::string& path, RetouchSlot slot) {
    if (slot == RetouchSlot::b) {
        if (auto copy = retouchesB_.find(path); copy != retouchesB_.end()) {
            // No rotation is a plain 0: a -0 from rounding a small negative angle reads "-0.0°".
            copy->second.rotation = PhotoRotation::isNone(degrees) ? 0.0 : degrees;
            return;
        }
    }
    if (PhotoRotation::isNone(degrees)) {
        rotations_.erase(path);
    } else {
        rotations_[path] = degrees;
    }
}

void PhotoLibrary::storeCrop(const ManualCrop& crop, const std::string& path, RetouchSlot slot) {
    if (slot == RetouchSlot::b) {
        if (auto copy = retouchesB_.find(path); copy != retouchesB_.end()) {
            copy->second.crop = crop;
            return;
        }
    }
    if (crop.isDefault()) {
        crops_.erase(path);
    } else {
        crops_[path] = crop;
    }
}

void PhotoLibrary::clampCrop(const std::string& path, RetouchSlot slot, double rotation) {
    const Photo* owner = photo(path);
    if (owner == nullptr) return;
    std::optional<ManualCrop> stored;
    if (slot == RetouchSlot::b) {
        if (const RetouchState* copy = retouchStateB(path)) stored = copy->crop;
    } else if (auto found = crops_.find(path); found != crops_.end()) {
        stored = found->second;
    }
    if (!stored) return;
    const PixelSize size = editSize(*owner, slot, rotation);
    storeCrop(stored->clamped(size.width, size.height), path, slot);
}

PhotoAdjustmentResult PhotoLibrary::changeCurrentRotation(double degrees) {
    const std::optional<RetouchCursor> current = currentCursor();
    if (!current || degrees == currentRotation()) return {};
    storeRotation(degrees, current->path, current->slot);
    clampCrop(current->path, current->slot, degrees);
    publish(current->slot == RetouchSlot::b ? LibraryFields(LibraryField::retouchesB)
                                            : LibraryField::rotations | LibraryField::crops);
    return {true};
}

PhotoAdjustmentResult PhotoLibrary::setCurrentRotation(double degrees) {
    if (!std::isfinite(degrees)) return {};
    return changeCurrentRotation(clampedRotation(degrees));
}

PhotoAdjustmentResult PhotoLibrary::rotateCurrent(double byDegrees) {
    if (!std::isfinite(byDegrees) || currentPhoto() == nullptr) return {};
    return changeCurrentRotation(PhotoRotation::normalized(currentRotation() + byDegrees));
}

PhotoAdjustmentResult PhotoLibrary::applyAutomaticCorrection(double degrees) {
    if (!std::isfinite(degrees) || currentPhoto() == nullptr) return {};
    const RotationDecomposition parts = PhotoRotation::decomposed(currentRotation());
    return changeCurrentRotation(PhotoRotation::normalized(parts.quarterTurns * 90.0 + degrees));
}

bool PhotoLibrary::resetCurrentRotation() {
    if (currentPhoto() == nullptr || PhotoRotation::isNone(currentRotation())) return false;
    return changeCurrentRotation(0).changed;
}

PhotoAdjustmentResult PhotoLibrary::setRotation(double degrees, const std::string& path, RetouchSlot slot) {
    const Photo* owner = photo(path);
    if (!std::isfinite(degrees) || owner == nullptr) return {};
    if (slot == RetouchSlot::b && retouchStateB(path) == nullptr) return {};
    const double rotation = clampedRotation(degrees);
    if (rotation == this->rotation(*owner, slot)) return {};
    storeRotation(rotation, path, slot);
    clampCrop(path, slot, rotation);
    publish(slot == RetouchSlot::b ? LibraryFields(LibraryField::retouchesB)
                                   : LibraryField::rotations | LibraryField::crops);
    return {true};
}

PhotoAdjustmentResult PhotoLibrary::storeCurrentCrop(const ManualCrop& crop, const ManualCrop& replacing,
                                                     const std::string& path) {
    if (crop == replacing || photo(path) == nullptr) return {};
    storeCrop(crop, path, currentSlot_);
    publish(currentSlot_ == RetouchSlot::b && retouchStateB(path) ? LibraryField::retouchesB
                                                                  : LibraryField::crops);
    return {true};
}

PhotoAdjustmentResult PhotoLibrary::resizeCurrentCrop(int byPercent) {
    const Photo* current = currentPhoto();
    const std::optional<PixelSize> size = currentEditSize();
    if (current == nullptr || !size) return {};
    const ManualCrop crop = currentCrop();
    const long long target = static_cast<long long>(crop.sizeP) + byPercent;
    const int sizeP =
        static_cast<int>(std::clamp<long long>(target, ManualCrop::kMinimumSize, ManualCrop::kMaximumSize));
    return storeCurrentCrop(crop.resized(sizeP, size->width, size->height), crop, current->relativePath);
}

bool PhotoLibrary::resetCurrentCrop() {
    const Photo* current = currentPhoto();
    if (current == nullptr || currentCrop().isDefault()) return false;
    storeCrop(ManualCrop{}, current->relativePath, currentSlot_);
    publish(currentSlot_ == RetouchSlot::b ? LibraryField::retouchesB : LibraryField::crops);
    return true;
}

PhotoAdjustmentResult PhotoLibrary::setCrop(const ManualCrop& crop, const std::string& path,
                                            RetouchSlot slot) {
    const Photo* owner = photo(path);
    if (owner == nullptr || (slot == RetouchSlot::b && retouchStateB(path) == nullptr)) return {};
    const PixelSize size = editSize(*owner, slot, rotation(*owner, slot));
    const ManualCrop clamped = crop.clamped(size.width, size.height);
    if (clamped == clampedCrop(*owner, slot)) return {};
    storeCrop(clamped, path, slot);
    publish(slot == RetouchSlot::b ? LibraryField::retouchesB : LibraryField::crops);
    return {true};
}

PhotoSourceChangeResult PhotoLibrary::setSource(PhotoSource newSource, const Photo& photo, RetouchSlot slot) {
    if (!photo.hasRawCompanion()) return PhotoSourceChangeResult::unchanged();
    const auto copy = retouchesB_.find(photo.relativePath);
    if (slot == RetouchSlot::b && copy == retouchesB_.end()) return PhotoSourceChangeResult::unchanged();
    if (source(photo, slot) == newSource) return PhotoSourceChangeResult::unchanged();
    if (slot == RetouchSlot::b) {
        copy->second.source = newSource;
        publish(LibraryField::retouchesB);
    } else {
        if (newSource == PhotoSource::raw) {
            sources_[photo.relativePath] = PhotoSource::raw;
        } else {
            sources_.erase(photo.relativePath);
        }
        publish(LibraryField::sources);
    }
    return PhotoSourceChangeResult::changedTo(newSource, upperCaseExtension(photo.asset(newSource).url));
}

PhotoSourceChangeResult PhotoLibrary::toggleCurrentSource() {
    const Photo* current = currentPhoto();
    if (current == nullptr) return PhotoSourceChangeResult::unchanged();
    if (!current->hasRawCompanion()) {
        return PhotoSourceChangeResult::failed(current->fileFormat == PhotoFileFormat::raw
                                                   ? "この写真には JPEG / HEIF がありません"
                                                   : "この写真には RAW がありません");
    }
    const Photo photo = *current;
    const PhotoSource next = currentSource() == PhotoSource::jpeg ? PhotoSource::raw : PhotoSource::jpeg;
    return setSource(next, photo, currentSlot_);
}

bool PhotoLibrary::takeRecordedValues(const std::vector<std::string>& paths,
                                      const PhotoLibraryRestoration& values) {
    const std::optional<RetouchCursor> previous = currentCursor();
    LibraryFields fields;
    const auto put = [&](auto& table, const std::string& path, auto value, LibraryField field) {
        const auto found = std::as_const(table).find(path);
        if (value) {
            if (found != table.end() && found->second == *value) return;
            table[path] = std::move(*value);
        } else {
            if (found == table.end()) return;
            table.erase(path);
        }
        fields |= field;
    };
    const auto entry = [](const auto& map, const std::string& path) {
        const auto found = map.find(path);
        return found == map.end() ? std::nullopt : std::optional(found->second);
    };
    bool rowsChange = false;
    for (const std::string& path : paths) {
        const Photo* owner = photo(path);
        if (values.hearts.contains(path) != hearts_.contains(path)) {
            if (values.hearts.contains(path))
                hearts_.insert(path);
            else
                hearts_.erase(path);
            fields |= LibraryField::hearts;
        }
        std::optional<double> rotation;
        if (const auto given = entry(values.rotations, path)) rotation = PhotoRotation::stored(*given);
        put(rotations_, path, rotation, LibraryField::rotations);
        // The source first: a crop is measured in the size of the file it shows.
        std::optional<PhotoSource> source = entry(values.sources, path);
        if (source != PhotoSource::raw) source.reset();
        put(sources_, path, source, LibraryField::sources);
        std::optional<ManualCrop> crop = entry(values.crops, path);
        if (crop && crop->isDefault()) crop.reset();
        if (crop && owner) {
            const PixelSize size = editSize(*owner, RetouchSlot::a, rotation.value_or(0));
            crop = crop->clamped(size.width, size.height);
        }
        put(crops_, path, crop, LibraryField::crops);
        std::optional<PhotoParameters> parameters = entry(values.parameters, path);
        if (parameters) parameters = parameters->sanitized(false);
        if (parameters && parameters->values.isEmpty() && parameters->masks.empty()) parameters.reset();
        put(parameters_, path, parameters, LibraryField::parameters);
        std::optional<PhotoParameters> parametersRaw = entry(values.parametersRaw, path);
        if (parametersRaw && parametersRaw->values.isEmpty() && parametersRaw->masks.empty()) parametersRaw.reset();
        put(parametersRaw_, path, parametersRaw, LibraryField::parametersRaw);
        std::optional<RetouchState> copy = entry(values.retouchesB, path);
        if (copy) {
            normalizeRetouchState(*copy);
            if (owner) {
                const PhotoSource shown = owner->hasRawCompanion() ? copy->source : this->source(*owner);
                const PixelSize size = editSize(owner->asset(shown), copy->rotation);
                copy->crop = copy->crop.clamped(size.width, size.height);
            }
        }
        if (copy.has_value() != retouchesB_.contains(path)) {
            if (isFiltered_) continue;
            rowsChange = true;
        }
        put(retouchesB_, path, copy, LibraryField::retouchesB);
    }
    if (fields.empty()) return false;
    viewCache_ = PhotoLibraryViewCache(photos_, positionByPath_, hearts_, retouchesB_);
    rebuildVisibleCaches();
    if (rowsChange) placeAfterRebuild(previous, fields);
    publish(fields);
    return true;
}

} // namespace sorvin
