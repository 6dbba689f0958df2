#pragma once

#include "model/crop_aspect.hpp"
#include "model/manual_crop.hpp"
#include "model/photo.hpp"
#include "model/photo_rotation.hpp"
#include "view/adjustment_input_focus.hpp"

#include <array>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace sorvin {

// What the crop and rotation bar reads of the current photo and asks of the application state.
class RatioBarHost {
public:
    virtual ~RatioBarHost() = default;
    virtual const Photo* currentPhoto() const = 0;
    virtual double currentRotation() const = 0;
    virtual ManualCrop currentCrop() const = 0;
    // The photo's upright size after its free rotation; none without a photo.
    virtual std::optional<PixelSize> currentEditSize() const = 0;
    virtual void setCropAspect(const CropAspect& aspect) = 0;
    virtual void setRotation(double degrees) = 0;
    virtual void setCropSize(int percent) = 0;
    virtual void setCropPixelX(int pixel) = 0;
    virtual void setCropPixelY(int pixel) = 0;
    virtual void setAdjustmentInputFocused(bool focused) = 0;
    // The bar leaves the keyboard: no field is focused any more, and the command cheat sheet's
    // tracking is reset when it may not show.
    virtual void endAdjustmentInput() = 0;
};

// The crop and rotation bar: eight preset aspects, a custom W:H, and typed rotation, size and
// position. It keeps only its field texts and, while on screen, which photos are shown with the
// custom aspect; every edit goes to the host.
class RatioBarModel {
public:
    struct PresetAspect {
        std::string_view label;
        CropAspect aspect;
    };
    static const std::array<PresetAspect, 8>& presetAspects();
    static constexpr std::string_view customLabel = "カスタム";
    enum class ArrowKey { up, down, left, right };

    RatioBarModel(RatioBarHost& host, AdjustmentInputFocus& focus);
    RatioBarModel(const RatioBarModel&) = delete;
    RatioBarModel& operator=(const RatioBarModel&) = delete;

    // The bar's fields' texts (empty for a panel field).
    std::string text(const AdjustmentInputField& field) const;
    void setText(const AdjustmentInputField& field, std::string text);

    PixelSize editSize() const;
    ManualCropGeometry cropGeometry() const;
    // "6000 × 4000"
    std::string outputSizeText() const;
    // X and Y can be typed only while the crop leaves room to move that way.
    bool isXEnabled() const { return cropGeometry().width < editSize().width; }
    bool isYEnabled() const { return cropGeometry().height < editSize().height; }

    static bool isPresetRatio(const CropAspect& aspect);
    bool isCustomSelected() const;
    bool isPresetSelected(const CropAspect& aspect) const;

    void pressPreset(const CropAspect& aspect);
    void pressCustom();
    // Return and Esc in a focused field.
    void submit(const AdjustmentInputField& field);
    void escape(const AdjustmentInputField& field);
    // Up and Down step the text of the focused field; the value follows when the field is applied.
    void step(const AdjustmentInputField& field, ArrowKey key);

    // The bar came on screen, the current photo changed, the bar went away.
    void appear();
    void photoChanged();
    void disappear();
    // The current rotation or crop changed.
    void synchronizeTexts();

private:
    static bool isBarField(const std::optional<AdjustmentInputField>& field);
    template <typename Self>
    static auto* textSlot(Self& self, const AdjustmentInputField& field);
    void focusChanged(const std::optional<AdjustmentInputField>& field);
    void commit(const AdjustmentInputField& field);
    void applyFocusedField();
    void recognizeStoredCustomAspect();
    int movableWidth() const;
    int movableHeight() const;

    RatioBarHost& host_;
    AdjustmentInputFocus& focus_;
    std::string rotationText_ = "0.0";
    std::string sizeText_ = "100";
    std::string xText_ = "0";
    std::string yText_ = "0";
    std::string customWidthText_ = "5";
    std::string customHeightText_ = "4";
    std::set<std::string> customPaths_;
    std::optional<AdjustmentInputField> previousFocusedInput_;
    std::string originalFocusedText_;
    Signal<std::optional<AdjustmentInputField>>::Connection connection_;
};

} // namespace sorvin
