#pragma once

#include "app/record_saving.hpp"

#include <string>

namespace sorvin {

// The alert that asks before quitting. It is shown once the record was written, or once waiting
// for it ran out, and says plainly where the record stands. When the write failed, quitting loses
// the unsaved changes; when it is still going on, quitting waits for it with the window closed.
// Either way the user should read it, so "キャンセル" is the default.
struct QuitConfirmation {
    std::string message;
    std::string informativeText;
    std::string quitButton;
    std::string cancelButton;
    bool cancelIsDefault = false; // also shown as a warning rather than for information

    // keptBeside: the name of the file the record went to instead, for RecordSaving::keptBeside.
    static QuitConfirmation make(RecordSaving saving, const std::string& keptBeside = {}) {
        switch (saving) {
        case RecordSaving::keptBeside:
            return {"Sorvinを終了しますか？",
                    "ハートや現像設定は、記録に合わせられなかったため「" + keptBeside +
                        "」に保存しました。次にこのフォルダを開くときに記録に合わせます。",
                    "終了", "キャンセル", true};
        case RecordSaving::written:
            return {"Sorvinを終了しますか？", "ハートや現像設定は保存済みです。", "終了", "キャンセル", false};
        case RecordSaving::failed:
            return {"Sorvinを終了しますか？",
                    "ハートや現像設定を保存できませんでした。終了すると、保存されていない変更は失われます。",
                    "終了", "キャンセル", true};
        case RecordSaving::stillWriting:
            break;
        }
        return {"Sorvinを終了しますか？",
                "ハートや現像設定をまだ保存しています。終了すると、ウインドウを閉じて保存が終わるのを待ってから終了します。",
                "終了", "キャンセル", true};
    }

    bool operator==(const QuitConfirmation&) const = default;
};

} // namespace sorvin
