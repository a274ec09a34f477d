#include "platform/transporterror.h"

TransportError::TransportError(Kind kind, QString detail)
    : m_kind(kind)
    , m_detail(std::move(detail))
{}

QString TransportError::description() const
{
    switch (m_kind) {
    case Kind::CannotConnect:
        return QStringLiteral("Could not connect to the server.");
    case Kind::TimedOut:
        return QStringLiteral("The request timed out.");
    case Kind::Secure:
        return QStringLiteral("A secure connection to the server could not be made.");
    case Kind::Cancelled:
        return QStringLiteral("The request was cancelled.");
    case Kind::Other:
        break;
    }
    return m_detail.isEmpty() ? QStringLiteral("The network request failed.")
                              : QStringLiteral("The network request failed: %1").arg(m_detail);
}
