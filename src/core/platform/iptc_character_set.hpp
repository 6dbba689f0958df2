#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sorvin {

// The character set the texts of one IPTC record are written in, and their reading as UTF-8.
// The record may declare its set (dataset 1:90, ISO 2022 escape sequences: ESC % G is UTF-8,
// ESC - A Latin-1, and so on). A record that declares none is read in a set only when the reading
// is sure: as UTF-8 when all its text is well-formed UTF-8 that reads as text someone wrote; else
// in Shift_JIS or EUC-JP when exactly one of the two reads it as Japanese text with two-byte
// characters, written the way Japanese is and not as well Chinese, Thai or Western text; else in
// Windows-1252 when the bytes read there as Western words and either each byte beyond ASCII stands
// alone among Latin letters, spaces and punctuation or ICU's detector is sure of Latin-1. A record
// whose set stays unknown gives its plain ASCII texts only: a value left out is better than a
// garbled one. bench/iptc_reading_bench measures this on several thousand texts of each set.
class IptcCharacterSet {
public:
    // From the record's declaration as stored (empty when it has none) and all its texts.
    static IptcCharacterSet of(std::string_view declaration, std::span<const std::string> texts);

    // A text of the record in UTF-8, normalisation form C, without the NUL padding some writers
    // leave; nothing when it is empty, is not well-formed in the record's set, or holds control
    // characters (other than tab and line breaks).
    std::optional<std::string> utf8(std::string_view text) const;

    // ICU's name of the set the texts are read in ("US-ASCII" when it is unknown).
    const std::string& name() const { return converter_; }

private:
    IptcCharacterSet(std::string converter, std::string shifts = {})
        : converter_(std::move(converter)), shifts_(std::move(shifts)) {}

    std::string converter_;
    // The escape sequences that put an ISO 2022 converter into the declared state before each text.
    std::string shifts_;
};

} // namespace sorvin
