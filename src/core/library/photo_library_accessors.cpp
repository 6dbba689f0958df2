// Reading the state of a row: slot A from the per-path tables, slot B from the copy's state, with
// the defaults that stand for absent entries.
#include "library/photo_library.hpp"

namespace sorvin {

PixelSize PhotoLibrary::uprightSize(const PhotoAsset& shown) {
    if (shown.orientation >= 5 && shown.orientation <= 8) return {shown.pixelHeight, shown.pixelWidth};
    return {shown.pixelWidth, shown.pixelHeight};
}

PixelSize PhotoLibrary::editSize(const PhotoAsset& shown, double rotation) {
    const PixelSize upright = uprightSize(shown);
    return PhotoRotation::outputSize(upright.width, upright.height, rotation);
}

PixelSize PhotoLibrary::editSize(const Photo& photo, RetouchSlot slot, double rotation) const {
    return editSize(photo.asset(source(photo, slot)), rotation);
}

const Photo* PhotoLibrary::currentPhoto() const {
    const auto& visible = visiblePhotos();
    if (cursorIndex_ < 0 || cursorIndex_ >= static_cast<int>(visible.size())) return nullptr;
    return &visible[static_cast<std::size_t>(cursorIndex_)];
}

std::optional<RetouchCursor> PhotoLibrary::currentCursor() const {
    const Photo* current = currentPhoto();
    if (current == nullptr) return std::nullopt;
    return RetouchCursor{current->relativePath, currentSlot_};
}

PhotoSource PhotoLibrary::currentSource() const {
    const Photo* current = currentPhoto();
    return current ? source(*current, currentSlot_) : PhotoSource::jpeg;
}

double PhotoLibrary::currentRotation() const {
    const Photo* current = currentPhoto();
    return current ? rotation(*current, currentSlot_) : 0;
}

ManualCrop PhotoLibrary::currentCrop() const {
    const Photo* current = currentPhoto();
    return current ? clampedCrop(*current, currentSlot_) : ManualCrop{};
}

PhotoParameters PhotoLibrary::currentParameters() const {
    const Photo* current = currentPhoto();
    if (current == nullptr) return PhotoParameters::zero();
    return parameters(*current, currentSlot_, source(*current, currentSlot_));
}

std::optional<PixelSize> PhotoLibrary::currentEditSize() const {
    const Photo* current = currentPhoto();
    if (current == nullptr) return std::nullopt;
    return editSize(*current, currentSlot_, rotation(*current, currentSlot_));
}

int PhotoLibrary::position(const std::string& path) const {
    const auto found = positionByPath_.find(path);
    return found == positionByPath_.end() ? -1 : found->second;
}

std::optional<int> PhotoLibrary::cachedVisiblePhotoIndex(const std::string& path) const {
    return viewCache_.photoIndex(position(path));
}

std::optional<int> PhotoLibrary::cachedVisibleRowIndex(const RetouchCursor& cursor) const {
    return viewCache_.rowIndex(position(cursor.path), cursor.slot);
}

const Photo* PhotoLibrary::photo(const std::string& path) const {
    const int at = position(path);
    return at < 0 ? nullptr : &photos_[static_cast<std::size_t>(at)];
}

const RetouchState* PhotoLibrary::retouchStateB(const std::string& path) const {
    const auto found = retouchesB_.find(path);
    return found == retouchesB_.end() ? nullptr : &found->second;
}

bool PhotoLibrary::containsHeart(const std::string& path, RetouchSlot slot) const {
    if (slot == RetouchSlot::a) return hearts_.contains(path);
    const RetouchState* copy = retouchStateB(path);
    return copy != nullptr && copy->heart;
}

double PhotoLibrary::rotation(const Photo& photo, RetouchSlot slot) const {
    if (slot == RetouchSlot::b) {
        if (const RetouchState* copy = retouchStateB(photo.relativePath)) return copy->rotation;
    }
    const auto found = rotations_.find(photo.relativePath);
    return found == rotations_.end() ? 0 : found->second;
}

PhotoSource PhotoLibrary::source(const Photo& photo, RetouchSlot slot) const {
    if (!photo.hasRawCompanion()) {
        // One file only: a lone RAW file shows itself as RAW, anything else as JPEG/HEIF.
        return photo.fileFormat == PhotoFileFormat::raw ? PhotoSource::raw : PhotoSource::jpeg;
    }
    if (slot == RetouchSlot::b) {
        if (const RetouchState* copy = retouchStateB(photo.relativePath)) return copy->source;
    }
    const auto found = sources_.find(photo.relativePath);
    return found != sources_.end() && found->second == PhotoSource::raw ? PhotoSource::raw
                                                                        : PhotoSource::jpeg;
}

PhotoParameters PhotoLibrary::parameters(const Photo& photo, RetouchSlot slot, PhotoSource source) const {
    if (slot == RetouchSlot::b) {
        const RetouchState* copy = retouchStateB(photo.relativePath);
        if (copy == nullptr) return PhotoParameters::zero();
        return source == PhotoSource::raw ? copy->paramsRaw : copy->params;
    }
    const SharedPathMap<PhotoParameters>& table = source == PhotoSource::raw ? parametersRaw_ : parameters_;
    const SharedPathMap<PhotoParameters>& other = source == PhotoSource::raw ? parameters_ : parametersRaw_;
    if (const auto found = table.find(photo.relativePath); found != table.end()) return found->second;
    // Both sources of a row show the same masks, even where only one set is stored.
    if (const auto found = other.find(photo.relativePath); found != other.end()) {
        return PhotoParameters(found->second.maskKinds());
    }
    return PhotoParameters::zero();
}

std::optional<PhotoParameters> PhotoLibrary::parameters(const std::string& path, RetouchSlot slot,
                                                        PhotoSource source) const {
    const Photo* found = photo(path);
    if (found == nullptr || (slot == RetouchSlot::b && retouchStateB(path) == nullptr)) return std::nullopt;
    return parameters(*found, slot, source);
}

ManualCrop PhotoLibrary::clampedCrop(const Photo& photo, RetouchSlot slot) const {
    const PixelSize size = editSize(photo, slot, rotation(photo, slot));
    ManualCrop stored;
    const RetouchState* copy = slot == RetouchSlot::b ? retouchStateB(photo.relativePath) : nullptr;
    if (copy != nullptr) {
        stored = copy->crop;
    } else if (const auto found = crops_.find(photo.relativePath); found != crops_.end()) {
        stored = found->second;
    }
    return stored.clamped(size.width, size.height);
}

PathMap<int> PhotoLibrary::brightness(const SharedPathMap<PhotoParameters>& parameters) {
    PathMap<int> result;
    for (const auto& [path, set] : parameters) {
        if (const int exposure = set[PhotoParameter::exposure]; exposure != 0) result.emplace(path, exposure);
    }
    return result;
}

} // namespace sorvin
