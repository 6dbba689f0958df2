#pragma once

#include <string>
#include <string_view>

namespace sorvin::UnicodeNormalization {

// The text in Unicode NFC, so that two spellings of one name ("が" as one character or as "か"
// and a combining mark) are one key. Text that is not valid UTF-8 comes back unchanged.
std::string nfc(std::string_view utf8);

} // namespace sorvin::UnicodeNormalization
