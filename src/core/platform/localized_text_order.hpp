#pragma once

#include <compare>
#include <string>
#include <string_view>

namespace sorvin {

// The order in which people expect file names to be listed: letters compare by the collation of
// the program's locale rather than by code point, case matters only when nothing else differs,
// and runs of digits compare by numeric value ("IMG_2" before "IMG_10"). The collation alone
// calls some different texts equal ("IMG_0002" and "IMG_2"); those are then ordered by their
// UTF-8 bytes, so only identical texts ever compare equal and every sort is deterministic.
// Safe to use from any thread.
class LocalizedTextOrder {
public:
    // A precomputed comparison key: comparing two keys gives the same result as compare() on
    // their texts, without calling the collator again. Worth it when one text takes part in
    // many comparisons (sorting).
    struct Key {
        std::string collation;
        std::string text;
        std::strong_ordering operator<=>(const Key&) const = default;
        bool operator==(const Key&) const = default;
    };

    static std::strong_ordering compare(std::string_view a, std::string_view b);
    static Key key(std::string_view text);
};

} // namespace sorvin
