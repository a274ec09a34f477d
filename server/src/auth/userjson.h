#pragma once

#include <nlohmann/json.hpp>

namespace wordloom {

struct UserRecord;

// The identity service's user object.
nlohmann::json userToJson(const UserRecord &user);
// The anti-enumeration stand-in answered when a confirmed address signs up again: a random id, no identities.
nlohmann::json obfuscatedUserJson(const UserRecord &user, const std::string &now);

} // namespace wordloom
