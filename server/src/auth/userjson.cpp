#include "auth/userjson.h"

#include "auth/userstore.h"
#include "core/crypto.h"

namespace wordloom {

namespace {

void putIfSet(nlohmann::json &object, const char *key, const std::optional<std::string> &value)
{
    if (value) {
        object[key] = *value;
    }
}

} // namespace

nlohmann::json userToJson(const UserRecord &user)
{
    nlohmann::json identityData = {
        {"sub", user.id}, {"email", user.email}, {"email_verified", user.isConfirmed()}, {"phone_verified", false}};
    nlohmann::json json = {
        {"id", user.id},
        {"aud", "authenticated"},
        {"role", "authenticated"},
        {"email", user.email},
        {"phone", ""},
        {"app_metadata", {{"provider", user.provider}, {"providers", nlohmann::json::array({user.provider})}}},
        {"user_metadata", user.userMetadata},
        {"identities",
         nlohmann::json::array({{{"identity_id", crypto::hex(crypto::sha256(user.id + user.provider)).substr(0, 32)},
                                 {"id", user.id},
                                 {"user_id", user.id},
                                 {"identity_data", identityData},
                                 {"provider", user.provider},
                                 {"email", user.email},
                                 {"created_at", user.createdAt},
                                 {"updated_at", user.updatedAt}}})},
        {"created_at", user.createdAt},
        {"updated_at", user.updatedAt},
        {"is_anonymous", false},
    };
    putIfSet(json, "email_confirmed_at", user.emailConfirmedAt);
    putIfSet(json, "confirmed_at", user.emailConfirmedAt);
    putIfSet(json, "confirmation_sent_at", user.confirmationSentAt);
    putIfSet(json, "recovery_sent_at", user.recoverySentAt);
    putIfSet(json, "last_sign_in_at", user.lastSignInAt);
    return json;
}

nlohmann::json obfuscatedUserJson(const UserRecord &user, const std::string &now)
{
    return {
        {"id", crypto::uuid()},
        {"aud", "authenticated"},
        {"role", "authenticated"},
        {"email", user.email},
        {"phone", ""},
        {"app_metadata", {{"provider", "email"}, {"providers", nlohmann::json::array({"email"})}}},
        {"user_metadata", nlohmann::json::object()},
        {"identities", nlohmann::json::array()},
        {"confirmation_sent_at", now},
        {"created_at", now},
        {"updated_at", now},
        {"is_anonymous", false},
    };
}

} // namespace wordloom
