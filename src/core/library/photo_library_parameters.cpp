// Edits of a row's development. An edit goes to the set of the source the row shows; the other
// source's set follows its mask kinds (never its values).
#include "library/photo_library.hpp"
#include "model/random_parameter_adjustment.hpp"

namespace sorvin {

namespace {

bool isEmpty(const PhotoParameters& set) {
    return set.values.isEmpty() && set.masks.empty();
}

} // namespace

void PhotoLibrary::storeParameters(const PhotoParameters& set, const std::string& path, RetouchSlot slot,
                                   PhotoSource source) {
    const bool raw = source == PhotoSource::raw;
    PhotoParameters stored = raw ? set : set.sanitized(false);
    if (slot == RetouchSlot::b) {
        const auto copy = retouchesB_.find(path);
        if (copy == retouchesB_.end()) return;
        RetouchState& state = copy->second;
        state.masks = stored.maskKinds();
        (raw ? state.params : state.paramsRaw).synchronizeMaskKinds(state.masks);
        (raw ? state.paramsRaw : state.params) = std::move(stored);
        publish(LibraryField::retouchesB);
        return;
    }
    SharedPathMap<PhotoParameters>& table = raw ? parametersRaw_ : parameters_;
    SharedPathMap<PhotoParameters>& other = raw ? parameters_ : parametersRaw_;
    const std::vector<MaskKind> kinds = stored.maskKinds();
    if (isEmpty(stored)) {
        table.erase(path);
    } else {
        table[path] = std::move(stored);
    }
    synchronizeMaskKinds(kinds, other, path);
    publish(LibraryField::parameters | LibraryField::parametersRaw);
}

PhotoAdjustmentResult PhotoLibrary::replaceParameters(const PhotoParameters& set, const Photo& photo,
                                                      RetouchSlot slot, PhotoSource source) {
    const PhotoParameters sanitized = set.sanitized(source == PhotoSource::raw);
    if (sanitized == parameters(photo, slot, source)) return {};
    storeParameters(sanitized, photo.relativePath, slot, source);
    return {true};
}

PhotoAdjustmentResult PhotoLibrary::setCurrentParameters(const PhotoParameters& set) {
    const Photo* current = currentPhoto();
    if (current == nullptr) return {};
    return replaceParameters(set, *current, currentSlot_, currentSource());
}

PhotoAdjustmentResult PhotoLibrary::setParameters(const PhotoParameters& set, const std::string& path,
                                                  RetouchSlot slot, PhotoSource source) {
    const Photo* owner = photo(path);
    if (owner == nullptr || (slot == RetouchSlot::b && retouchStateB(path) == nullptr)) return {};
    return replaceParameters(set, *owner, slot, source);
}

PhotoAdjustmentResult PhotoLibrary::writeCurrentParameter(PhotoParameter parameter, std::int64_t value,
                                                          ParameterEditTarget target) {
    const Photo* current = currentPhoto();
    if (current == nullptr) return {};
    const PhotoSource shown = currentSource();
    if (ParameterCatalog::isRawDevelopmentParameter(parameter) && shown == PhotoSource::jpeg) return {};
    const PhotoParameters before = parameters(*current, currentSlot_, shown);
    PhotoParameters after = before;
    after.setValue(value, parameter, target);
    if (after == before) return {};
    storeParameters(after, current->relativePath, currentSlot_, shown);
    return {true};
}

PhotoAdjustmentResult PhotoLibrary::adjustCurrentParameter(PhotoParameter parameter, int by,
                                                           ParameterEditTarget target) {
    const int value = currentParameters().value(parameter, target);
    return writeCurrentParameter(parameter, static_cast<std::int64_t>(value) + by, target);
}

PhotoAdjustmentResult PhotoLibrary::setCurrentParameter(PhotoParameter parameter, int to,
                                                        ParameterEditTarget target) {
    return writeCurrentParameter(parameter, to, target);
}

bool PhotoLibrary::resetCurrentParameter(PhotoParameter parameter, ParameterEditTarget target) {
    if (currentParameters().value(parameter, target) == ParameterCatalog::defaultValue(parameter))
        return false;
    return writeCurrentParameter(parameter, ParameterCatalog::defaultValue(parameter), target).changed;
}

std::optional<int> PhotoLibrary::appendCurrentMask(const MaskKind& kind) {
    const Photo* current = currentPhoto();
    if (current == nullptr) return std::nullopt;
    PhotoParameters set = currentParameters();
    const std::optional<int> index = set.appendMask(kind);
    if (!index) return std::nullopt;
    storeParameters(set, current->relativePath, currentSlot_, currentSource());
    return index;
}

bool PhotoLibrary::removeCurrentMask(int index) {
    const Photo* current = currentPhoto();
    if (current == nullptr) return false;
    PhotoParameters set = currentParameters();
    if (index < 0 || index >= static_cast<int>(set.masks.size())) return false;
    set.masks.erase(set.masks.begin() + index);

    // The other source's set loses the mask at the same position, keeping the values of the rest.
    const std::string& path = current->relativePath;
    const bool showsRaw = currentSource() == PhotoSource::raw;
    const auto dropMask = [index](PhotoParameters& other) {
        if (index < static_cast<int>(other.masks.size())) other.masks.erase(other.masks.begin() + index);
    };
    if (currentSlot_ == RetouchSlot::b) {
        if (auto copy = retouchesB_.find(path); copy != retouchesB_.end()) {
            dropMask(showsRaw ? copy->second.params : copy->second.paramsRaw);
        }
    } else {
        SharedPathMap<PhotoParameters>& other = showsRaw ? parameters_ : parametersRaw_;
        if (auto entry = other.find(path); entry != other.end()) {
            dropMask(entry->second);
            if (isEmpty(entry->second)) other.erase(entry);
        }
    }
    storeParameters(set, path, currentSlot_, currentSource());
    return true;
}

PhotoAdjustmentResult
PhotoLibrary::setCurrentMaskShapeValues(const std::vector<std::pair<PhotoParameter, int>>& values,
                                        ParameterEditTarget target) {
    const Photo* current = currentPhoto();
    if (current == nullptr || target.isGlobal()) return {};
    const PhotoParameters before = currentParameters();
    PhotoParameters after = before;
    const int index = *target.maskIndex();
    if (index >= 0 && index < static_cast<int>(after.masks.size())) {
        for (const auto& [parameter, value] : values)
            after.masks[static_cast<std::size_t>(index)].setValue(value, parameter);
    }
    if (after == before) return {};
    storeParameters(after, current->relativePath, currentSlot_, currentSource());
    return {true};
}

PhotoAdjustmentResult PhotoLibrary::randomizeCurrentParameters(RandomGenerator& generator) {
    if (currentPhoto() == nullptr) return {};
    return setCurrentParameters(RandomParameterAdjustment::applying(currentParameters(), generator));
}

} // namespace sorvin
