#include "shell/release_notes.hpp"

namespace sorvin {

const std::vector<ReleaseNote>& ReleaseNotesData::all() {
    static const std::vector<ReleaseNote> notes{
        {"1.0.0",
         "2026-09-06",
         {"最初の公開版。写真の高速選別（ハート・絞り込み・並び替え）、キーボード中心のレタッチ（回転・切り抜"
          "き・トーンカーブ・色・"
          "ディテール・マスク・A/B 複製）、RAW 現像（Nikon NEF）、ハート付き写真の一括書き出し（JPEG / "
          "HEIF・長辺指定・差分書き出し）",
          "Developer ID 署名と公証を付け、ダウンロードしてそのまま開けるようにしました",
          "自動アップデート（Sparkle）を追加。起動時と 1 日 1 回の自動確認、設定画面と Sorvin "
          "メニューの「アップデートを確認…」から手動確認できます"}},
    };
    return notes;
}

} // namespace sorvin
