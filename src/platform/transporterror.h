#pragma once

#include "runtime/error.h"

// A request that got no HTTP answer. Passed through to callers unchanged; the description is fit to show.
class TransportError : public Error
{
public:
    enum class Kind
    {
        CannotConnect,
        TimedOut,
        Secure,
        Cancelled,
        Other,
    };

    TransportError(Kind kind, QString detail);

    Kind kind() const { return m_kind; }
    QString description() const override;

private:
    Kind m_kind;
    QString m_detail;
};
