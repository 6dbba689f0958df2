#pragma once

#include <string>

namespace sorvin {

// The alert that asks before quitting. It is shown after the record was written, and says plainly
// when that write failed: then quitting loses the unsaved changes, so "キャンセル" is the default.
struct QuitConfirmation {
    std::string message;
    std::string informativeText;
    std::string quitButton;
    std::string cancelButton;
    bool cancelIsDefault = false; // also shown as a warning rather than for information

    static QuitConfirmation make(bool everythingSaved) {
        if (everythingSaved) return {"Sorvinを終了しますか？", "ハートや現像設定は保存済みです。", "終了", "キャンセル", false};
        return {"Sorvinを終了しますか？",
                "ハートや現像設定を保存できませんでした。終了すると、保存されていない変更は失われます。",
                "終了", "キャンセル", true};
    }

    bool operator==(const QuitConfirmation&) const = default;
};

} // namespace sorvin
