#include "core/passwordhasher.h"

#include <sodium.h>
#include <stdexcept>

namespace wordloom {

PasswordHasher::PasswordHasher()
{
    if (sodium_init() < 0) {
        throw std::runtime_error("libsodium failed to initialise");
    }
}

std::string PasswordHasher::hash(std::string_view password) const
{
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                              crypto_pwhash_MEMLIMIT_INTERACTIVE, crypto_pwhash_ALG_ARGON2ID13) != 0) {
        throw std::runtime_error("password hashing ran out of memory");
    }
    return out;
}

bool PasswordHasher::verify(std::string_view storedHash, std::string_view password) const
{
    const std::string terminated(storedHash);
    return crypto_pwhash_str_verify(terminated.c_str(), password.data(), password.size()) == 0;
}

} // namespace wordloom
