#include "persistence/parameter_preset_shortcut.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

TEST(ParameterPresetShortcut, CtrlWithTheDigitsOneToEight) {
    const std::uint16_t digits[] = {18, 19, 20, 21, 23, 22, 26, 28};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(ParameterPresetShortcut::index(digits[i], 2), i);
    EXPECT_EQ(ParameterPresetShortcut::index(25, 2), std::nullopt); // the 9 key
    EXPECT_EQ(ParameterPresetShortcut::index(18, 4), std::nullopt); // Alt
    EXPECT_EQ(ParameterPresetShortcut::index(18, 3), std::nullopt); // Ctrl+Shift
    EXPECT_EQ(ParameterPresetShortcut::index(18, 0), std::nullopt);
}

} // namespace
} // namespace sorvin
