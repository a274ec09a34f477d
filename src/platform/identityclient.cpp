#include "platform/identityclient.h"

IdentityClient::~IdentityClient() = default;

QString emailOtpTypeName(EmailOtpType type)
{
    switch (type) {
    case EmailOtpType::Signup:
        return QStringLiteral("signup");
    case EmailOtpType::Invite:
        return QStringLiteral("invite");
    case EmailOtpType::Magiclink:
        return QStringLiteral("magiclink");
    case EmailOtpType::Recovery:
        return QStringLiteral("recovery");
    case EmailOtpType::EmailChange:
        return QStringLiteral("email_change");
    case EmailOtpType::Email:
        return QStringLiteral("email");
    }
    return QStringLiteral("email");
}
