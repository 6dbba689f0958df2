#include "platform/pasteboard.hpp"

namespace sorvin {

bool PasteboardItem::setData(PasteboardType type, std::vector<std::uint8_t> data) {
    if (data.empty() || data_.contains(type)) return false;
    data_.emplace(type, std::move(data));
    return true;
}

} // namespace sorvin
