#include "core/jwt.h"

#include "core/crypto.h"

namespace wordloom {

JwtSigner::JwtSigner(std::string secret)
    : m_secret(std::move(secret))
{}

std::string JwtSigner::sign(const nlohmann::json &claims) const
{
    const nlohmann::json header = {{"alg", "HS256"}, {"typ", "JWT"}};
    const std::string signingInput = crypto::base64Url(header.dump()) + "." + crypto::base64Url(claims.dump());
    return signingInput + "." + crypto::base64Url(crypto::hmacSha256(m_secret, signingInput));
}

JwtSigner::Verified JwtSigner::verify(std::string_view token, std::int64_t now) const
{
    const auto firstDot = token.find('.');
    const auto secondDot = firstDot == std::string_view::npos ? firstDot : token.find('.', firstDot + 1);
    if (secondDot == std::string_view::npos || token.find('.', secondDot + 1) != std::string_view::npos) {
        return {std::nullopt, Failure::Malformed};
    }
    const auto headerText = crypto::base64UrlDecode(token.substr(0, firstDot));
    const auto payloadText = crypto::base64UrlDecode(token.substr(firstDot + 1, secondDot - firstDot - 1));
    const auto signature = crypto::base64UrlDecode(token.substr(secondDot + 1));
    if (!headerText || !payloadText || !signature) {
        return {std::nullopt, Failure::Malformed};
    }
    const auto header = nlohmann::json::parse(*headerText, nullptr, false);
    auto claims = nlohmann::json::parse(*payloadText, nullptr, false);
    if (!header.is_object() || !claims.is_object() || header.value("alg", "") != "HS256") {
        return {std::nullopt, Failure::Malformed};
    }
    // Compared as text, so a signature with altered padding bits (the same bytes in another spelling) fails too.
    const std::string expected = crypto::base64Url(crypto::hmacSha256(m_secret, token.substr(0, secondDot)));
    if (!crypto::constantTimeEqual(expected, token.substr(secondDot + 1))) {
        return {std::nullopt, Failure::BadSignature};
    }
    if (!claims.contains("exp") || !claims["exp"].is_number_integer() || claims["exp"].get<std::int64_t>() <= now) {
        return {std::nullopt, Failure::Expired};
    }
    if (!claims.contains("sub") || !claims["sub"].is_string()) {
        return {std::nullopt, Failure::Malformed};
    }
    if (claims.value("aud", "") != "authenticated") {
        return {std::nullopt, Failure::WrongAudience};
    }
    return {std::move(claims), Failure::Malformed};
}

} // namespace wordloom
