#pragma once

#include "platform/pasteboard.hpp"

namespace sorvin {

// The system clipboard through QClipboard. The clipboard holds one entry, so the types of all
// items go into it (the first item that offers a type gives it).
class QtPasteboard final : public Pasteboard {
public:
    void clearContents() override;
    bool writeItems(const std::vector<PasteboardItem>& items) override;
};

} // namespace sorvin
