#pragma once

#include "runtime/error.h"

// A 2xx answer whose body does not have the expected shape. Names the offending field by its path.
class DecodingError : public Error
{
public:
    DecodingError(QString fieldPath, QString problem);

    const QString &fieldPath() const { return m_fieldPath; }
    QString description() const override;

private:
    QString m_fieldPath;
    QString m_problem;
};
