#include "panel/parameter_slot_column.hpp"
#include "panel/parameter_value_entry.hpp"

#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <utility>
#include <vector>

namespace sorvin {
namespace {

using P = PhotoParameter;

class ParameterValueEntryTest : public ::testing::Test {
protected:
    ParameterValueEntryTest()
        : entry(focus,
                {[this](P p) { return values.contains(p) ? values[p] : ParameterCatalog::defaultValue(p); },
                 [this](P p, int v) {
                     sent.emplace_back(p, v);
                     values[p] = v;
                 }}) {}

    AdjustmentInputFocus focus;
    std::map<P, int> values;
    std::vector<std::pair<P, int>> sent;
    ParameterValueEntry entry;
};

TEST_F(ParameterValueEntryTest, ReturnCommitsTheParsedValueOnce) {
    values[P::contrast] = 12;
    entry.beginEditing(P::contrast, 12);
    EXPECT_TRUE(entry.isEditing(P::contrast));
    EXPECT_EQ(entry.editingText(), "+12");
    entry.setEditingText("+250");
    entry.submit(P::contrast);
    EXPECT_EQ(sent, (std::vector<std::pair<P, int>>{{P::contrast, 100}}));
    EXPECT_EQ(entry.editingText(), "+100");
    EXPECT_FALSE(focus.isFocused());
}

TEST_F(ParameterValueEntryTest, LettersCommitTheValueInForce) {
    values[P::contrast] = -7;
    entry.beginEditing(P::contrast, -7);
    entry.setEditingText("abc");
    entry.submit(P::contrast);
    EXPECT_EQ(sent, (std::vector<std::pair<P, int>>{{P::contrast, -7}}));
    EXPECT_EQ(entry.editingText(), "-7");
}

TEST_F(ParameterValueEntryTest, EscapeRestoresTheTextAndSendsNothing) {
    entry.beginEditing(P::exposure, 7);
    entry.setEditingText("+3 EV");
    entry.cancel(P::exposure);
    EXPECT_EQ(entry.editingText(), "+0.35 EV");
    EXPECT_FALSE(focus.isFocused());
    // A later focus change does not commit the abandoned field.
    focus.set(AdjustmentInputField::rotation());
    focus.clear();
    EXPECT_TRUE(sent.empty());
}

TEST_F(ParameterValueEntryTest, FocusLeavingForAnotherFieldCommits) {
    entry.beginEditing(P::saturation, 0);
    entry.setEditingText("33");
    focus.set(AdjustmentInputField::size());
    EXPECT_EQ(sent, (std::vector<std::pair<P, int>>{{P::saturation, 33}}));
    focus.clear();
    EXPECT_EQ(sent.size(), 1u);

    entry.beginEditing(P::saturation, 33);
    entry.setEditingText("-4");
    focus.clear();
    EXPECT_EQ(sent.back(), (std::pair<P, int>{P::saturation, -4}));
}

TEST_F(ParameterValueEntryTest, ClickingAnotherValueDropsTheFirstText) {
    entry.beginEditing(P::contrast, 0);
    entry.setEditingText("50");
    entry.beginEditing(P::highlights, 0);
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(entry.isEditing(P::highlights));
    EXPECT_EQ(entry.editingText(), "±0");
}

TEST_F(ParameterValueEntryTest, ContextChangeDropsTheTypedText) {
    entry.beginEditing(P::contrast, 0);
    entry.setEditingText("50");
    entry.discard();
    EXPECT_FALSE(focus.isFocused());
    EXPECT_TRUE(sent.empty());
}

TEST(ParameterSlotColumnTest, KeyStepsAndLabels) {
    EXPECT_EQ(ParameterSlotColumn::keyStep(P::contrast, true), 1);
    EXPECT_EQ(ParameterSlotColumn::keyStep(P::contrast, false), -1);
    EXPECT_EQ(ParameterSlotColumn::keyStep(P::circular_mask_center_x, true), 10);
    EXPECT_EQ(ParameterSlotColumn::keyStep(P::circular_mask_center_y, false), -10);

    EXPECT_EQ(ParameterSlotColumn::labelText(P::raw_temperature, 0, 5432.5f), "5433K");
    EXPECT_EQ(ParameterSlotColumn::labelText(P::raw_temperature, 5, std::nullopt), "+5");
    EXPECT_EQ(ParameterSlotColumn::labelText(P::raw_temperature, 5, std::numeric_limits<float>::infinity()),
              "+5");
    EXPECT_EQ(ParameterSlotColumn::labelText(P::temperature, 5, 5000.0f), "+5");
    EXPECT_EQ(ParameterSlotColumn::labelText(P::circular_mask_center_x, 510, std::nullopt), "51.0");
}

} // namespace
} // namespace sorvin
