#pragma once

#include <QString>

// A PKCE verifier and its S256 challenge: the verifier stays on this machine until the code exchange, the
// challenge goes out with the request that starts the flow.
struct PkcePair
{
    QString verifier;
    QString challenge;

    // A fresh verifier: 64 random bytes as 128 lower-case hex characters (within RFC 7636's 43 to 128
    // unreserved characters), from the system's secure random source.
    static PkcePair generate();
    // base64url(SHA-256(verifier)) without padding: 43 characters.
    static QString challengeFor(const QString &verifier);
};
