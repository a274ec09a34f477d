#pragma once

#include "runtime/error.h"

// The backend client's own failures, each with the sentence callers show.
class APIError : public Error
{
public:
    enum class Kind
    {
        ServerError,
        Unauthorized,
        InsufficientCredits,
        NotFound,
        InvalidResponse,
    };

    static APIError serverError(QString message);
    static APIError unauthorized();
    static APIError insufficientCredits();
    static APIError notFound();
    static APIError invalidResponse();

    Kind kind() const { return m_kind; }
    QString description() const override;

private:
    APIError(Kind kind, QString message);

    Kind m_kind;
    QString m_message;
};
