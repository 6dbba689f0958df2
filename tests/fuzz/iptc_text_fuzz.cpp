// The texts of an IPTC record, as a HEIF export reads them for its XMP: the first line is the
// record's character set declaration, each further line one text. Whatever the bytes, a text is
// either left out or comes back as well-formed UTF-8 in normalisation form C without control
// characters other than tab and line breaks (the XMP packet could not hold it otherwise).

#include "fuzz_support.hpp"
#include "fuzz_target.hpp"
#include "platform/iptc_character_set.hpp"
#include "platform/unicode_text.hpp"

#include <algorithm>
#include <vector>

SORVIN_FUZZ_TARGET(iptc_text) {
    using namespace sorvin;
    const std::string_view input = fuzz::text(data);
    const std::size_t firstBreak = input.find('\n');
    if (firstBreak == std::string_view::npos) return;
    std::vector<std::string> texts;
    for (std::size_t start = firstBreak + 1; start <= input.size();) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        texts.emplace_back(input.substr(start, end - start));
        start = end + 1;
    }
    const IptcCharacterSet set = IptcCharacterSet::of(input.substr(0, firstBreak), texts);
    for (const std::string& text : texts) {
        const auto read = set.utf8(text);
        if (!read) continue;
        fuzz::reached();
        fuzz::require(!read->empty(), "an empty text is read");
        fuzz::require(UnicodeText::nfc(*read) == *read, "a text read is not well-formed UTF-8 in form C");
        fuzz::require(std::none_of(read->begin(), read->end(),
                                   [](char c) {
                                       const auto byte = static_cast<unsigned char>(c);
                                       return (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') ||
                                              byte == 0x7F;
                                   }),
                      "a text read holds a control character");
    }
}
