#include "shell/loading_progress.hpp"

#include <algorithm>

namespace sorvin {

std::string LoadingProgress::counterText(int processed, int total) {
    return std::to_string(processed) + " / " + std::to_string(total);
}

std::string LoadingProgress::waitText(const RecordWait& wait) {
    if (!wait.otherCopy) return "保存が終わるのを待っています";
    const SelectionRecordHolder& holder = *wait.otherCopy;
    std::string who = " ";
    if (holder.process > 0)
        who = "（" + (holder.host.empty() ? std::string() : holder.host + " の") + "プロセス " +
              std::to_string(holder.process) + "）";
    return "別に起動している Sorvin" + who + "がこのフォルダを開いています。閉じるのを待っています";
}

double LoadingProgress::barTotal(int total) {
    return std::max(static_cast<double>(total), 1.0);
}

} // namespace sorvin
