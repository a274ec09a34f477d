#include "auth/gotrue/pkcepair.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QRandomGenerator>

#include <array>

namespace {

constexpr int verifierBytes = 64;

} // namespace

PkcePair PkcePair::generate()
{
    std::array<quint32, verifierBytes / sizeof(quint32)> words{};
    QRandomGenerator::system()->fillRange(words.data(), static_cast<qsizetype>(words.size()));
    const QByteArray raw(reinterpret_cast<const char *>(words.data()), verifierBytes);
    const QString verifier = QString::fromLatin1(raw.toHex());
    return {verifier, challengeFor(verifier)};
}

QString PkcePair::challengeFor(const QString &verifier)
{
    const QByteArray digest = QCryptographicHash::hash(verifier.toLatin1(), QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}
