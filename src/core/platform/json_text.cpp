#include "platform/json_text.hpp"

#include <algorithm>

namespace sorvin::JsonText {

void appendQuoted(std::string& out, std::string_view text, Slash slash) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '/':
            if (slash == Slash::Escaped) out.push_back('\\');
            out.push_back('/');
            break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out.push_back(kHex[byte >> 4]);
                out.push_back(kHex[byte & 0x0f]);
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back('"');
}

std::string quoted(std::string_view text, Slash slash) {
    std::string out;
    out.reserve(text.size() + 2);
    appendQuoted(out, text, slash);
    return out;
}

int nestingDepth(std::string_view text) {
    int depth = 0, deepest = 0;
    bool inString = false, escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            deepest = std::max(deepest, ++depth);
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return deepest;
}

} // namespace sorvin::JsonText
