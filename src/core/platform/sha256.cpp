#include "platform/sha256.hpp"

#include <openssl/evp.h>
#include <stdexcept>

namespace sorvin::Sha256 {

Digest digest(std::string_view bytes) {
    Digest out{};
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), out.data(), &length, EVP_sha256(), nullptr) != 1 ||
        length != out.size()) {
        throw std::runtime_error("SHA-256 failed");
    }
    return out;
}

std::string hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    const Digest d = digest(bytes);
    std::string text;
    text.reserve(d.size() * 2);
    for (std::uint8_t byte : d) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0f]);
    }
    return text;
}

} // namespace sorvin::Sha256
