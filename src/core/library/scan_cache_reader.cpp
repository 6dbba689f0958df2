#include "library/scan_cache_reader.hpp"

#include "platform/unicode_text.hpp"

#include <cstring>
#include <optional>

namespace sorvin::ScanCacheReader {

namespace {

constexpr int maxDepth = 512;

// Equal as text: the same characters, whichever of their canonically equivalent spellings.
bool sameText(const std::string& a, const std::string& b) {
    if (a == b) return true;
    const auto composed = UnicodeText::nfc(a);
    return composed && composed == UnicodeText::nfc(b);
}

// One scalar JSON value, as far as the cache cares.
struct Scalar {
    enum class Kind { integer, text, other } kind = Kind::other;
    std::int64_t integer = 0;
    std::string text;
};

class Parser {
public:
    Parser(std::string_view text, const std::string& folder)
        : p_(text.data()), end_(text.data() + text.size()), folder_(folder) {}

    LoadedScanCache run() {
        LoadedScanCache loaded;
        skipSpace();
        if (!object(0, [&](std::string& key) { return topMember(key); })) return loaded;
        skipSpace();
        if (p_ != end_ || !versionOk_ || !folderOk_ || !entries_) return loaded;
        loaded.entries = std::move(*entries_);
        loaded.allEntriesKept = dropped_ == 0;
        return loaded;
    }

private:
    // --- structure of the cache

    bool topMember(const std::string& key) {
        if (key == "entries") {
            skipSpace();
            if (p_ != end_ && *p_ == '{') {
                entries_.emplace();
                dropped_ = 0;
                return object(1, [&](std::string& path) { return entry(std::move(path)); });
            }
            entries_.reset();
            return skipValue(1);
        }
        Scalar value;
        if (!scalarOrSkip(value, 1)) return false;
        if (key == "version")
            versionOk_ = value.kind == Scalar::Kind::integer && value.integer == ScanCacheFile::kVersion;
        if (key == "folder") folderOk_ = value.kind == Scalar::Kind::text && sameText(value.text, folder_);
        return true;
    }

    bool entry(std::string path) {
        skipSpace();
        if (p_ == end_ || *p_ != '{') {
            entries_->erase(path);
            ++dropped_;
            return skipValue(2);
        }
        ScanCacheEntry entry;
        unsigned present = 0;
        bool valid = true;
        const bool parsed = object(2, [&](std::string& field) {
            Scalar value;
            if (!scalarOrSkip(value, 3)) return false;
            const bool integer = value.kind == Scalar::Kind::integer;
            auto integerField = [&](std::int64_t& into, unsigned bit) {
                valid = valid && integer;
                into = value.integer;
                present |= bit;
            };
            if (field == "size")
                integerField(entry.size, 1);
            else if (field == "mtime")
                integerField(entry.mtime, 2);
            else if (field == "orient")
                integerField(entry.orient, 4);
            else if (field == "w")
                integerField(entry.w, 8);
            else if (field == "h")
                integerField(entry.h, 16);
            else if (field == "fmt") {
                valid = valid && value.kind == Scalar::Kind::text;
                entry.fmt = std::move(value.text);
                present |= 32;
            } else if (field == "date") {
                // A missing date means none; one that is present must be an integer.
                valid = valid && integer;
                entry.date = value.integer;
            }
            return true;
        });
        if (!parsed) return false;
        if (valid && present == 63 && entry.isValid()) {
            entries_->insert_or_assign(std::move(path), std::move(entry));
        } else {
            entries_->erase(path);
            ++dropped_;
        }
        return true;
    }

    // --- JSON

    void skipSpace() {
        while (p_ != end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r'))
            ++p_;
    }

    bool consume(char c) {
        skipSpace();
        if (p_ == end_ || *p_ != c) return false;
        ++p_;
        return true;
    }

    // An object whose members go to `member(key)`, which must consume the value.
    template <typename Member>
    bool object(int depth, Member&& member) {
        if (depth > maxDepth || !consume('{')) return false;
        skipSpace();
        if (p_ != end_ && *p_ == '}') {
            ++p_;
            return true;
        }
        for (;;) {
            std::string key;
            skipSpace();
            if (!string(key) || !consume(':') || !member(key)) return false;
            skipSpace();
            if (p_ == end_) return false;
            if (*p_ == '}') {
                ++p_;
                return true;
            }
            if (*p_++ != ',') return false;
        }
    }

    bool array(int depth) {
        if (depth > maxDepth || !consume('[')) return false;
        skipSpace();
        if (p_ != end_ && *p_ == ']') {
            ++p_;
            return true;
        }
        for (;;) {
            if (!skipValue(depth + 1)) return false;
            skipSpace();
            if (p_ == end_) return false;
            if (*p_ == ']') {
                ++p_;
                return true;
            }
            if (*p_++ != ',') return false;
        }
    }

    bool skipValue(int depth) {
        Scalar ignored;
        return scalarOrSkip(ignored, depth);
    }

    // A scalar value, or a container skipped over (the value then counts as "other").
    bool scalarOrSkip(Scalar& value, int depth) {
        skipSpace();
        if (p_ == end_) return false;
        value.kind = Scalar::Kind::other;
        switch (*p_) {
        case '{':
            return object(depth + 1, [&](std::string&) { return skipValue(depth + 1); });
        case '[':
            return array(depth + 1);
        case '"':
            value.kind = Scalar::Kind::text;
            return string(value.text);
        case 't':
            return literal("true");
        case 'f':
            return literal("false");
        case 'n':
            return literal("null");
        default:
            return number(value);
        }
    }

    bool literal(const char* word) {
        const std::size_t length = std::strlen(word);
        if (static_cast<std::size_t>(end_ - p_) < length || std::memcmp(p_, word, length) != 0) return false;
        p_ += length;
        return true;
    }

    static bool digit(char c) { return c >= '0' && c <= '9'; }

    bool number(Scalar& value) {
        const char* start = p_;
        const bool negative = p_ != end_ && *p_ == '-';
        if (negative) ++p_;
        if (p_ == end_ || !digit(*p_)) return false;
        if (*p_ == '0')
            ++p_;
        else
            while (p_ != end_ && digit(*p_))
                ++p_;
        const char* integerEnd = p_;
        bool fractional = false;
        if (p_ != end_ && *p_ == '.') {
            ++p_;
            if (p_ == end_ || !digit(*p_)) return false;
            while (p_ != end_ && digit(*p_))
                ++p_;
            fractional = true;
        }
        if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
            ++p_;
            if (p_ != end_ && (*p_ == '+' || *p_ == '-')) ++p_;
            if (p_ == end_ || !digit(*p_)) return false;
            while (p_ != end_ && digit(*p_))
                ++p_;
            fractional = true;
        }
        if (fractional) return true; // a number, but not an integer
        // Accumulate as a negative number so that the minimum fits; anything beyond is no integer.
        std::int64_t magnitude = 0;
        for (const char* d = start + (negative ? 1 : 0); d != integerEnd; ++d) {
            const int n = *d - '0';
            if (magnitude < (INT64_MIN + n) / 10) return true;
            magnitude = magnitude * 10 - n;
        }
        if (!negative && magnitude == INT64_MIN) return true;
        value.kind = Scalar::Kind::integer;
        value.integer = negative ? magnitude : -magnitude;
        return true;
    }

    static void appendUtf8(std::string& out, std::uint32_t code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool hex4(std::uint32_t& code) {
        if (end_ - p_ < 4) return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = *p_++;
            code <<= 4;
            if (digit(c))
                code |= static_cast<std::uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= static_cast<std::uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= static_cast<std::uint32_t>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    // The length of the well-formed UTF-8 sequence at p_ (0 when it is not one).
    std::size_t utf8Length() const {
        const auto byte = [&](std::ptrdiff_t i) { return static_cast<unsigned char>(p_[i]); };
        const std::ptrdiff_t left = end_ - p_;
        const unsigned char b0 = byte(0);
        auto continuation = [&](std::ptrdiff_t i) { return i < left && (byte(i) & 0xC0) == 0x80; };
        if (b0 >= 0xC2 && b0 <= 0xDF) return continuation(1) ? 2 : 0;
        if (b0 >= 0xE0 && b0 <= 0xEF) {
            if (!continuation(1) || !continuation(2)) return 0;
            if (b0 == 0xE0 && byte(1) < 0xA0) return 0;  // overlong
            if (b0 == 0xED && byte(1) >= 0xA0) return 0; // surrogate
            return 3;
        }
        if (b0 >= 0xF0 && b0 <= 0xF4) {
            if (!continuation(1) || !continuation(2) || !continuation(3)) return 0;
            if (b0 == 0xF0 && byte(1) < 0x90) return 0;  // overlong
            if (b0 == 0xF4 && byte(1) >= 0x90) return 0; // beyond U+10FFFF
            return 4;
        }
        return 0;
    }

    bool string(std::string& out) {
        if (p_ == end_ || *p_ != '"') return false;
        ++p_;
        out.clear();
        for (;;) {
            // Copy the plain run up to the next quote, backslash, control or non-ASCII byte.
            const char* run = p_;
            while (p_ != end_ && *p_ != '"' && *p_ != '\\' && static_cast<unsigned char>(*p_) >= 0x20 &&
                   static_cast<unsigned char>(*p_) < 0x80)
                ++p_;
            out.append(run, p_);
            if (p_ == end_) return false;
            const auto c = static_cast<unsigned char>(*p_);
            if (c == '"') {
                ++p_;
                return true;
            }
            if (c < 0x20) return false;
            if (c >= 0x80) {
                const std::size_t length = utf8Length();
                if (length == 0) return false;
                out.append(p_, length);
                p_ += length;
                continue;
            }
            // An escape.
            ++p_;
            if (p_ == end_) return false;
            switch (*p_++) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                std::uint32_t code = 0;
                if (!hex4(code)) return false;
                if (code >= 0xDC00 && code <= 0xDFFF) return false; // a lone low surrogate
                if (code >= 0xD800 && code <= 0xDBFF) {
                    std::uint32_t low = 0;
                    if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u') return false;
                    p_ += 2;
                    if (!hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(out, code);
                break;
            }
            default:
                return false;
            }
        }
    }

    const char* p_;
    const char* end_;
    const std::string& folder_;
    bool versionOk_ = false;
    bool folderOk_ = false;
    std::optional<ScanCacheEntries> entries_;
    std::size_t dropped_ = 0;
};

} // namespace

LoadedScanCache read(std::string_view text, const std::string& folder) {
    return Parser(text, folder).run();
}

} // namespace sorvin::ScanCacheReader
