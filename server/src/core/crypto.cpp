#include "core/crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <stdexcept>

namespace wordloom::crypto {

namespace {

std::string digest(const EVP_MD *md, std::string_view data)
{
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), out, &length, md, nullptr) != 1) {
        throw std::runtime_error("digest failed");
    }
    return std::string(reinterpret_cast<const char *>(out), length);
}

int base64UrlValue(char c)
{
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '-') {
        return 62;
    }
    if (c == '_') {
        return 63;
    }
    return -1;
}

} // namespace

std::string randomBytes(std::size_t count)
{
    std::string bytes(count, '\0');
    if (count > 0 && RAND_bytes(reinterpret_cast<unsigned char *>(bytes.data()), static_cast<int>(count)) != 1) {
        throw std::runtime_error("random source failed");
    }
    return bytes;
}

std::string randomToken(std::size_t byteCount)
{
    return base64Url(randomBytes(byteCount));
}

std::string randomDigits(int count)
{
    std::string digits;
    while (static_cast<int>(digits.size()) < count) {
        // Rejection sampling keeps every digit equally likely.
        const auto byte = static_cast<unsigned char>(randomBytes(1)[0]);
        if (byte < 250) {
            digits.push_back(static_cast<char>('0' + byte % 10));
        }
    }
    return digits;
}

std::string uuid()
{
    std::string bytes = randomBytes(16);
    bytes[6] = static_cast<char>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<char>((bytes[8] & 0x3F) | 0x80);
    const std::string h = hex(bytes);
    return h.substr(0, 8) + "-" + h.substr(8, 4) + "-" + h.substr(12, 4) + "-" + h.substr(16, 4) + "-" + h.substr(20);
}

std::string sha256(std::string_view data)
{
    return digest(EVP_sha256(), data);
}

std::string sha224(std::string_view data)
{
    return digest(EVP_sha224(), data);
}

std::string hmacSha256(std::string_view key, std::string_view data)
{
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
              reinterpret_cast<const unsigned char *>(data.data()), data.size(), out, &length)) {
        throw std::runtime_error("HMAC failed");
    }
    return std::string(reinterpret_cast<const char *>(out), length);
}

bool constantTimeEqual(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::string hex(std::string_view bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out.push_back(digits[byte >> 4]);
        out.push_back(digits[byte & 0x0F]);
    }
    return out;
}

std::string base64Url(std::string_view bytes)
{
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned value = (static_cast<unsigned char>(bytes[i]) << 16) |
                               (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                               static_cast<unsigned char>(bytes[i + 2]);
        out.push_back(alphabet[(value >> 18) & 63]);
        out.push_back(alphabet[(value >> 12) & 63]);
        out.push_back(alphabet[(value >> 6) & 63]);
        out.push_back(alphabet[value & 63]);
    }
    const std::size_t rest = bytes.size() - i;
    if (rest == 1) {
        const unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
        out.push_back(alphabet[(value >> 18) & 63]);
        out.push_back(alphabet[(value >> 12) & 63]);
    } else if (rest == 2) {
        const unsigned value =
            (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        out.push_back(alphabet[(value >> 18) & 63]);
        out.push_back(alphabet[(value >> 12) & 63]);
        out.push_back(alphabet[(value >> 6) & 63]);
    }
    return out;
}

std::optional<std::string> base64UrlDecode(std::string_view text)
{
    if (text.size() % 4 == 1) {
        return std::nullopt;
    }
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    for (const char c : text) {
        const int value = base64UrlValue(c);
        if (value < 0) {
            return std::nullopt;
        }
        buffer = (buffer << 6) | static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((buffer >> bits) & 0xFF));
        }
    }
    return out;
}

} // namespace wordloom::crypto
