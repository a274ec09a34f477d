#pragma once

#include <string>
#include <string_view>

namespace wordloom {

// Argon2id password hashes (libsodium's self-describing string form).
class PasswordHasher
{
public:
    PasswordHasher();

    std::string hash(std::string_view password) const;
    bool verify(std::string_view storedHash, std::string_view password) const;
};

} // namespace wordloom
