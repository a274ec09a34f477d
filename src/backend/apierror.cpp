#include "backend/apierror.h"

APIError::APIError(Kind kind, QString message)
    : m_kind(kind)
    , m_message(std::move(message))
{}

APIError APIError::serverError(QString message)
{
    return APIError(Kind::ServerError, std::move(message));
}

APIError APIError::unauthorized()
{
    return APIError(Kind::Unauthorized, {});
}

APIError APIError::insufficientCredits()
{
    return APIError(Kind::InsufficientCredits, {});
}

APIError APIError::notFound()
{
    return APIError(Kind::NotFound, {});
}

APIError APIError::invalidResponse()
{
    return APIError(Kind::InvalidResponse, {});
}

QString APIError::description() const
{
    switch (m_kind) {
    case Kind::ServerError:
        return m_message;
    case Kind::Unauthorized:
        return QStringLiteral("Please sign in to continue");
    case Kind::InsufficientCredits:
        return QStringLiteral("Insufficient credits. Please upgrade your plan.");
    case Kind::NotFound:
        return QStringLiteral("Resource not found");
    case Kind::InvalidResponse:
        return QStringLiteral("Invalid server response");
    }
    return m_message;
}
