#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Small wrappers over OpenSSL for the primitives the server needs: randomness, digests, HMAC and encodings.
namespace wordloom::crypto {

std::string randomBytes(std::size_t count);
// A random token of `byteCount` random bytes, base64url without padding.
std::string randomToken(std::size_t byteCount);
// `count` random decimal digits, uniformly distributed.
std::string randomDigits(int count);
// A random version 4 UUID in lower-case canonical form.
std::string uuid();

std::string sha256(std::string_view data);
std::string sha224(std::string_view data);
std::string hmacSha256(std::string_view key, std::string_view data);
bool constantTimeEqual(std::string_view a, std::string_view b);

std::string hex(std::string_view bytes);
std::string base64Url(std::string_view bytes);
std::optional<std::string> base64UrlDecode(std::string_view text);

} // namespace wordloom::crypto
