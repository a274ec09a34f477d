#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace wordloom {

// HS256 JSON Web Tokens: the access tokens of the identity service, checked again by the backend.
class JwtSigner
{
public:
    enum class Failure
    {
        Malformed,
        BadSignature,
        Expired,
        WrongAudience
    };

    struct Verified
    {
        std::optional<nlohmann::json> claims;
        Failure failure = Failure::Malformed;
    };

    explicit JwtSigner(std::string secret);

    std::string sign(const nlohmann::json &claims) const;
    // Checks the header, the signature, `exp` against `now` and the "authenticated" audience.
    Verified verify(std::string_view token, std::int64_t now) const;

private:
    std::string m_secret;
};

} // namespace wordloom
