#include "panel/parameter_value_entry.hpp"
#include "panel/ratio_bar_model.hpp"

#include <gtest/gtest.h>
#include <vector>

namespace sorvin {
namespace {

using Field = AdjustmentInputField;
using Arrow = RatioBarModel::ArrowKey;

// The application state's crop and rotation edits over one 6000 x 4000 photo.
class FakeRatioBarHost final : public RatioBarHost {
public:
    FakeRatioBarHost() {
        photo.relativePath = "a.jpg";
        photo.pixelWidth = 6000;
        photo.pixelHeight = 4000;
    }
    const Photo* currentPhoto() const override { return hasPhoto ? &photo : nullptr; }
    double currentRotation() const override { return rotation; }
    ManualCrop currentCrop() const override { return crop; }
    std::optional<PixelSize> currentEditSize() const override {
        if (!hasPhoto) return std::nullopt;
        return PhotoRotation::outputSize(photo.pixelWidth, photo.pixelHeight, rotation);
    }
    void setCropAspect(const CropAspect& aspect) override {
        edits.push_back("aspect " + aspect.storageText());
        const auto size = *currentEditSize();
        crop = crop.changingAspect(aspect, size.width, size.height);
    }
    void setRotation(double degrees) override {
        edits.push_back("rotation");
        rotation = degrees;
    }
    void setCropSize(int percent) override {
        edits.push_back("size " + std::to_string(percent));
        const auto size = *currentEditSize();
        crop = crop.resized(percent, size.width, size.height);
    }
    void setCropPixelX(int pixel) override {
        edits.push_back("x " + std::to_string(pixel));
        const auto size = *currentEditSize();
        crop = crop.settingPixelX(pixel, size.width, size.height);
    }
    void setCropPixelY(int pixel) override {
        edits.push_back("y " + std::to_string(pixel));
        const auto size = *currentEditSize();
        crop = crop.settingPixelY(pixel, size.width, size.height);
    }
    void setAdjustmentInputFocused(bool focused) override { inputFocused = focused; }
    void endAdjustmentInput() override { inputFocused = false; }

    Photo photo;
    bool hasPhoto = true;
    double rotation = 0;
    ManualCrop crop;
    std::vector<std::string> edits;
    bool inputFocused = false;
};

class RatioBarModelTest : public ::testing::Test {
protected:
    // Types into a field the way the user does: focus, text, then Return.
    void type(const Field& field, const std::string& text) {
        focus.set(field);
        bar.setText(field, text);
        bar.submit(field);
    }

    FakeRatioBarHost host;
    AdjustmentInputFocus focus;
    RatioBarModel bar{host, focus};
};

TEST_F(RatioBarModelTest, StoredAspectsThatAreNoPresetShowAsCustom) {
    struct Row {
        CropAspect aspect;
        bool custom;
        std::string width;
        std::string height;
    };
    const Row rows[] = {
        {CropAspect::ratio(7, 5), true, "7", "5"},
        {CropAspect::ratio(6, 4), true, "6", "4"},
        {CropAspect::ratio(3, 2), false, "5", "4"},
        {CropAspect::original(), false, "5", "4"},
    };
    for (const Row& row : rows) {
        FakeRatioBarHost host;
        AdjustmentInputFocus focus;
        RatioBarModel bar(host, focus);
        host.crop.aspect = row.aspect;
        bar.appear();
        EXPECT_EQ(bar.isCustomSelected(), row.custom) << row.aspect.storageText();
        EXPECT_EQ(bar.isPresetSelected(row.aspect), !row.custom) << row.aspect.storageText();
        EXPECT_EQ(bar.text(Field::customWidth()), row.width);
        EXPECT_EQ(bar.text(Field::customHeight()), row.height);
    }
}

TEST_F(RatioBarModelTest, CustomButtonStartsAtFiveByFourFromAPreset) {
    bar.appear();
    bar.pressPreset(CropAspect::ratio(3, 2));
    bar.pressCustom();
    EXPECT_EQ(host.crop.aspect, CropAspect::ratio(5, 4));
    EXPECT_TRUE(bar.isCustomSelected());
    type(Field::customWidth(), "7");
    type(Field::customHeight(), "5");
    EXPECT_EQ(host.crop.aspect, CropAspect::ratio(7, 5));
    // Pressing it again keeps the custom ratio in force.
    bar.pressCustom();
    EXPECT_EQ(host.crop.aspect, CropAspect::ratio(7, 5));
    // A preset that equals the custom ratio's value is still a preset once pressed.
    bar.pressPreset(CropAspect::ratio(3, 2));
    EXPECT_FALSE(bar.isCustomSelected());
    EXPECT_TRUE(bar.isPresetSelected(CropAspect::ratio(3, 2)));
}

TEST_F(RatioBarModelTest, TypedNumbersAreLimitedAndShownAsUsed) {
    struct Row {
        Field field;
        std::string typed;
        std::string shown;
    };
    bar.appear();
    const Row rows[] = {
        {Field::customWidth(), "0", "1"},   {Field::customWidth(), "150", "99"},
        {Field::customWidth(), "abc", "5"}, {Field::customHeight(), "x", "4"},
        {Field::size(), "5", "10"},         {Field::size(), "250", "100"},
        {Field::size(), "x", "100"},        {Field::rotation(), "2.26", "+2.5"},
        {Field::rotation(), "x", "+2.5"},   {Field::rotation(), "-0.2", "0.0"},
    };
    for (const Row& row : rows) {
        type(row.field, row.typed);
        EXPECT_EQ(bar.text(row.field), row.shown) << row.typed;
    }
}

TEST_F(RatioBarModelTest, PositionIsLimitedToTheMovableRange) {
    bar.appear();
    EXPECT_FALSE(bar.isXEnabled());
    EXPECT_FALSE(bar.isYEnabled());
    type(Field::size(), "50");
    EXPECT_EQ(bar.outputSizeText(), "3000 × 2000");
    EXPECT_TRUE(bar.isXEnabled());
    type(Field::x(), "99999");
    EXPECT_EQ(host.edits.back(), "x 3000");
    EXPECT_EQ(bar.text(Field::x()), "3000");
    type(Field::y(), "-5");
    EXPECT_EQ(bar.text(Field::y()), "0");
}

TEST_F(RatioBarModelTest, ArrowsStepOnlyTheText) {
    bar.appear();
    host.rotation = 179.5;
    bar.synchronizeTexts();
    focus.set(Field::rotation());
    bar.step(Field::rotation(), Arrow::up);
    EXPECT_EQ(bar.text(Field::rotation()), "+179.5");
    bar.setText(Field::rotation(), "-180");
    bar.step(Field::rotation(), Arrow::down);
    EXPECT_EQ(bar.text(Field::rotation()), "-180.0");
    bar.step(Field::rotation(), Arrow::left);
    EXPECT_EQ(bar.text(Field::rotation()), "-180.0");
    EXPECT_TRUE(host.edits.empty());
    focus.set(Field::size());
    bar.step(Field::size(), Arrow::up);
    EXPECT_EQ(bar.text(Field::size()), "100");
    bar.step(Field::size(), Arrow::down);
    EXPECT_EQ(bar.text(Field::size()), "99");
}

TEST_F(RatioBarModelTest, ArrowsMoveThePositionTextByOnePercent) {
    bar.appear();
    type(Field::size(), "50");
    type(Field::x(), "0");
    focus.set(Field::x());
    bar.step(Field::x(), Arrow::up);
    EXPECT_EQ(bar.text(Field::x()), "60");
    bar.step(Field::x(), Arrow::up);
    EXPECT_EQ(bar.text(Field::x()), "120");
    bar.step(Field::x(), Arrow::down);
    EXPECT_EQ(bar.text(Field::x()), "60");
    type(Field::y(), "0");
    focus.set(Field::y());
    bar.step(Field::y(), Arrow::up);
    EXPECT_EQ(bar.text(Field::y()), "40");
    bar.step(Field::y(), Arrow::down);
    bar.step(Field::y(), Arrow::down);
    EXPECT_EQ(bar.text(Field::y()), "0");
    EXPECT_EQ(host.crop.yM, 0);
}

TEST_F(RatioBarModelTest, EscapeAppliesTheTextTheFieldHadOnFocus) {
    bar.appear();
    focus.set(Field::size());
    EXPECT_TRUE(host.inputFocused);
    bar.setText(Field::size(), "40");
    bar.escape(Field::size());
    EXPECT_FALSE(host.inputFocused);
    EXPECT_EQ(host.crop.sizeP, 100);
    EXPECT_EQ(bar.text(Field::size()), "100");
}

TEST_F(RatioBarModelTest, LeavingAFieldAppliesIt) {
    bar.appear();
    focus.set(Field::size());
    bar.setText(Field::size(), "60");
    focus.set(Field::parameter(PhotoParameter::contrast));
    EXPECT_EQ(host.crop.sizeP, 60);
    // A rotation typed before a preset is pressed applies first, once.
    focus.set(Field::rotation());
    bar.setText(Field::rotation(), "1.5");
    host.edits.clear();
    bar.pressPreset(CropAspect::ratio(1, 1));
    EXPECT_EQ(host.edits, (std::vector<std::string>{"rotation", "aspect 1:1"}));
    EXPECT_FALSE(focus.isFocused());
}

TEST_F(RatioBarModelTest, PresetWinsOverAFocusedCustomField) {
    bar.appear();
    bar.pressCustom();
    focus.set(Field::customWidth());
    bar.setText(Field::customWidth(), "7");
    bar.pressPreset(CropAspect::ratio(16, 9));
    EXPECT_EQ(host.crop.aspect, CropAspect::ratio(16, 9));
    EXPECT_FALSE(bar.isCustomSelected());
}

TEST_F(RatioBarModelTest, ChangingThePhotoDropsTheTypedText) {
    bar.appear();
    focus.set(Field::size());
    bar.setText(Field::size(), "30");
    host.photo.relativePath = "b.jpg";
    bar.photoChanged();
    EXPECT_TRUE(host.edits.empty());
    EXPECT_EQ(bar.text(Field::size()), "100");
    EXPECT_FALSE(focus.isFocused());
}

TEST_F(RatioBarModelTest, APhotoChangeDropsTypedTextWhicheverSideHearsOfItFirst) {
    std::vector<std::pair<PhotoParameter, int>> sent;
    ParameterValueEntry panel(focus, {[](PhotoParameter) { return 0; },
                                      [&](PhotoParameter p, int v) { sent.emplace_back(p, v); }});
    // What the panel does when it hears of the change: drop its own field, or only forget it.
    const auto panelHears = [&] {
        if (focus.field() && focus.field()->parameterValue())
            panel.discard();
        else
            panel.forgetEditing();
    };
    bar.appear();
    for (const bool typedInPanel : {true, false}) {
        for (const bool barHearsFirst : {true, false}) {
            SCOPED_TRACE(::testing::Message() << typedInPanel << barHearsFirst);
            if (typedInPanel) {
                panel.beginEditing(PhotoParameter::contrast, 0);
                panel.setEditingText("50");
            } else {
                focus.set(Field::rotation());
                bar.setText(Field::rotation(), "3.5");
            }
            host.photo.relativePath += "x";
            if (barHearsFirst) bar.photoChanged();
            panelHears();
            if (!barHearsFirst) bar.photoChanged();
            EXPECT_FALSE(focus.isFocused());
            EXPECT_TRUE(sent.empty()) << "the panel's typed value reached the new photo";
            EXPECT_TRUE(host.edits.empty()) << "the bar's typed value reached the new photo";
        }
    }
}

TEST_F(RatioBarModelTest, WithoutAPhotoTheBarOnlyClearsTheFocus) {
    host.hasPhoto = false;
    bar.appear();
    EXPECT_EQ(bar.outputSizeText(), "1 × 1");
    EXPECT_FALSE(bar.isXEnabled());
    EXPECT_FALSE(bar.isCustomSelected());
    bar.pressCustom();
    bar.pressPreset(CropAspect::ratio(3, 2));
    EXPECT_TRUE(host.edits.empty());
}

} // namespace
} // namespace sorvin
