#include "panel/ratio_bar_model.hpp"

#include "view/adjustment_input.hpp"

#include <algorithm>
#include <fmt/format.h>

namespace sorvin {

namespace {

using Kind = AdjustmentInputField::Kind;

constexpr int kDefaultCustomWidth = 5;
constexpr int kDefaultCustomHeight = 4;

int customPart(const std::string& text, int fallback) {
    return AdjustmentInput::integer(text, fallback, CropAspect::kMinimumPart, CropAspect::kMaximumPart);
}

} // namespace

const std::array<RatioBarModel::PresetAspect, 8>& RatioBarModel::presetAspects() {
    static const std::array<PresetAspect, 8> table{{
        {"元のまま", CropAspect::original()},
        {"3:2", CropAspect::ratio(3, 2)},
        {"2:3", CropAspect::ratio(2, 3)},
        {"4:3", CropAspect::ratio(4, 3)},
        {"3:4", CropAspect::ratio(3, 4)},
        {"1:1", CropAspect::ratio(1, 1)},
        {"16:9", CropAspect::ratio(16, 9)},
        {"9:16", CropAspect::ratio(9, 16)},
    }};
    return table;
}

RatioBarModel::RatioBarModel(RatioBarHost& host, AdjustmentInputFocus& focus) : host_(host), focus_(focus) {
    connection_ = focus_.changed.connect(
        [this](const std::optional<AdjustmentInputField>& field) { focusChanged(field); });
}

bool RatioBarModel::isBarField(const std::optional<AdjustmentInputField>& field) {
    return field && field->kind() != Kind::parameter;
}

template <typename Self>
auto* RatioBarModel::textSlot(Self& self, const AdjustmentInputField& field) {
    using Text = decltype(&self.rotationText_);
    switch (field.kind()) {
    case Kind::customWidth:
        return &self.customWidthText_;
    case Kind::customHeight:
        return &self.customHeightText_;
    case Kind::rotation:
        return &self.rotationText_;
    case Kind::size:
        return &self.sizeText_;
    case Kind::x:
        return &self.xText_;
    case Kind::y:
        return &self.yText_;
    case Kind::parameter:
        break;
    }
    return static_cast<Text>(nullptr);
}

std::string RatioBarModel::text(const AdjustmentInputField& field) const {
    const std::string* slot = textSlot(*this, field);
    return slot ? *slot : std::string();
}

void RatioBarModel::setText(const AdjustmentInputField& field, std::string text) {
    if (std::string* slot = textSlot(*this, field)) *slot = std::move(text);
}

PixelSize RatioBarModel::editSize() const {
    return host_.currentEditSize().value_or(PixelSize{1, 1});
}

ManualCropGeometry RatioBarModel::cropGeometry() const {
    const PixelSize size = editSize();
    return host_.currentCrop().geometry(size.width, size.height);
}

std::string RatioBarModel::outputSizeText() const {
    const ManualCropGeometry geometry = cropGeometry();
    return fmt::format("{} × {}", geometry.width, geometry.height);
}

int RatioBarModel::movableWidth() const {
    return std::max(0, editSize().width - cropGeometry().width);
}

int RatioBarModel::movableHeight() const {
    return std::max(0, editSize().height - cropGeometry().height);
}

bool RatioBarModel::isPresetRatio(const CropAspect& aspect) {
    const auto& presets = presetAspects();
    return std::any_of(presets.begin(), presets.end(),
                       [&](const PresetAspect& p) { return p.aspect == aspect; });
}

bool RatioBarModel::isCustomSelected() const {
    const Photo* photo = host_.currentPhoto();
    if (!photo) return false;
    return customPaths_.contains(photo->relativePath) || !isPresetRatio(host_.currentCrop().aspect);
}

bool RatioBarModel::isPresetSelected(const CropAspect& aspect) const {
    return !isCustomSelected() && host_.currentCrop().aspect == aspect;
}

void RatioBarModel::applyFocusedField() {
    const auto focused = focus_.field();
    if (!focused) return;
    commit(*focused);
    // Applied here once; the focus leaving must not apply it again over the button's own edit.
    previousFocusedInput_.reset();
    focus_.clear();
}

void RatioBarModel::pressPreset(const CropAspect& aspect) {
    applyFocusedField();
    const Photo* photo = host_.currentPhoto();
    if (!photo) return;
    customPaths_.erase(photo->relativePath);
    host_.setCropAspect(aspect);
}

void RatioBarModel::pressCustom() {
    applyFocusedField();
    const Photo* photo = host_.currentPhoto();
    if (!photo) return;
    const CropAspect aspect = host_.currentCrop().aspect;
    const bool wasPreset = !customPaths_.contains(photo->relativePath) && isPresetRatio(aspect);
    customPaths_.insert(photo->relativePath);
    if (aspect.isOriginal() || wasPreset) {
        customWidthText_ = std::to_string(kDefaultCustomWidth);
        customHeightText_ = std::to_string(kDefaultCustomHeight);
    } else {
        customWidthText_ = std::to_string(aspect.width);
        customHeightText_ = std::to_string(aspect.height);
    }
    host_.setCropAspect(CropAspect::ratio(customPart(customWidthText_, kDefaultCustomWidth),
                                          customPart(customHeightText_, kDefaultCustomHeight)));
}

void RatioBarModel::commit(const AdjustmentInputField& field) {
    switch (field.kind()) {
    case Kind::parameter:
        return;
    case Kind::customWidth:
    case Kind::customHeight: {
        const int width = customPart(customWidthText_, kDefaultCustomWidth);
        const int height = customPart(customHeightText_, kDefaultCustomHeight);
        customWidthText_ = std::to_string(width);
        customHeightText_ = std::to_string(height);
        if (const Photo* photo = host_.currentPhoto()) customPaths_.insert(photo->relativePath);
        host_.setCropAspect(CropAspect::ratio(width, height));
        break;
    }
    case Kind::rotation:
        host_.setRotation(AdjustmentInput::rotation(rotationText_, host_.currentRotation()));
        break;
    case Kind::size:
        host_.setCropSize(AdjustmentInput::integer(sizeText_, host_.currentCrop().sizeP,
                                                   ManualCrop::kMinimumSize, ManualCrop::kMaximumSize));
        break;
    case Kind::x:
        host_.setCropPixelX(AdjustmentInput::integer(xText_, cropGeometry().x, 0, movableWidth()));
        break;
    case Kind::y:
        host_.setCropPixelY(AdjustmentInput::integer(yText_, cropGeometry().y, 0, movableHeight()));
        break;
    }
    synchronizeTexts();
}

void RatioBarModel::submit(const AdjustmentInputField& field) {
    commit(field);
    previousFocusedInput_.reset();
    focus_.clear();
}

void RatioBarModel::escape(const AdjustmentInputField& field) {
    setText(field, originalFocusedText_);
    previousFocusedInput_.reset();
    focus_.clear();
}

void RatioBarModel::step(const AdjustmentInputField& field, ArrowKey key) {
    if (key != ArrowKey::up && key != ArrowKey::down) return;
    const int delta = key == ArrowKey::up ? 1 : -1;
    const PixelSize size = editSize();
    switch (field.kind()) {
    case Kind::parameter:
        return;
    case Kind::rotation: {
        const double angle = AdjustmentInput::rotation(rotationText_, host_.currentRotation()) + 0.5 * delta;
        rotationText_ = AdjustmentInput::rotationText(std::clamp(angle, -180.0, 179.5));
        return;
    }
    case Kind::customWidth:
    case Kind::customHeight: {
        const bool isWidth = field.kind() == Kind::customWidth;
        std::string& text = isWidth ? customWidthText_ : customHeightText_;
        const int n = customPart(text, isWidth ? kDefaultCustomWidth : kDefaultCustomHeight) + delta;
        text = std::to_string(std::clamp(n, CropAspect::kMinimumPart, CropAspect::kMaximumPart));
        return;
    }
    case Kind::size: {
        const int n = AdjustmentInput::integer(sizeText_, host_.currentCrop().sizeP, ManualCrop::kMinimumSize,
                                               ManualCrop::kMaximumSize) +
                      delta;
        sizeText_ = std::to_string(std::clamp(n, ManualCrop::kMinimumSize, ManualCrop::kMaximumSize));
        return;
    }
    case Kind::x:
    case Kind::y: {
        // The crop set at the typed edge, then moved one step of 1 % of the image side.
        const bool horizontal = field.kind() == Kind::x;
        std::string& text = horizontal ? xText_ : yText_;
        const ManualCropGeometry geometry = cropGeometry();
        const int edge = AdjustmentInput::integer(text, horizontal ? geometry.x : geometry.y, 0,
                                                  horizontal ? movableWidth() : movableHeight());
        const ManualCrop crop = host_.currentCrop();
        const ManualCrop placed = horizontal ? crop.settingPixelX(edge, size.width, size.height)
                                             : crop.settingPixelY(edge, size.width, size.height);
        const CropDirection direction = horizontal ? (delta > 0 ? CropDirection::right : CropDirection::left)
                                                   : (delta > 0 ? CropDirection::down : CropDirection::up);
        const ManualCropGeometry moved =
            placed.moved(direction, size.width, size.height).geometry(size.width, size.height);
        text = std::to_string(horizontal ? moved.x : moved.y);
        return;
    }
    }
}

void RatioBarModel::synchronizeTexts() {
    // A field keeps its text while it has the keyboard, and after it lost it until the text is
    // applied: the focus change is announced to others (and the state may publish) first.
    const auto focused = focus_.field();
    const auto free = [&](const AdjustmentInputField& field) {
        return focused != field && previousFocusedInput_ != field;
    };
    const ManualCrop crop = host_.currentCrop();
    const ManualCropGeometry geometry = cropGeometry();
    if (free(AdjustmentInputField::rotation()))
        rotationText_ = AdjustmentInput::rotationText(host_.currentRotation());
    if (free(AdjustmentInputField::size())) sizeText_ = std::to_string(crop.sizeP);
    if (free(AdjustmentInputField::x())) xText_ = std::to_string(geometry.x);
    if (free(AdjustmentInputField::y())) yText_ = std::to_string(geometry.y);
    if (isCustomSelected() && free(AdjustmentInputField::customWidth()) &&
        free(AdjustmentInputField::customHeight()) && crop.aspect.isRatio()) {
        customWidthText_ = std::to_string(crop.aspect.width);
        customHeightText_ = std::to_string(crop.aspect.height);
    }
}

void RatioBarModel::recognizeStoredCustomAspect() {
    const Photo* photo = host_.currentPhoto();
    if (!photo) return;
    const CropAspect aspect = host_.currentCrop().aspect;
    if (!aspect.isRatio() || isPresetRatio(aspect)) return;
    customPaths_.insert(photo->relativePath);
    customWidthText_ = std::to_string(aspect.width);
    customHeightText_ = std::to_string(aspect.height);
}

void RatioBarModel::focusChanged(const std::optional<AdjustmentInputField>& field) {
    if (focus_.isAbandoning()) previousFocusedInput_.reset();
    const std::optional<AdjustmentInputField> left = previousFocusedInput_;
    previousFocusedInput_ = field;
    if (isBarField(left) && left != field) commit(*left);
    host_.setAdjustmentInputFocused(field.has_value());
    if (field)
        originalFocusedText_ = text(*field);
    else
        synchronizeTexts();
}

void RatioBarModel::appear() {
    recognizeStoredCustomAspect();
    synchronizeTexts();
}

void RatioBarModel::photoChanged() {
    previousFocusedInput_.reset();
    host_.endAdjustmentInput();
    focus_.abandon();
    recognizeStoredCustomAspect();
    synchronizeTexts();
}

void RatioBarModel::disappear() {
    host_.endAdjustmentInput();
}

} // namespace sorvin
