#include "backend/wire/decodingerror.h"

DecodingError::DecodingError(QString fieldPath, QString problem)
    : m_fieldPath(std::move(fieldPath))
    , m_problem(std::move(problem))
{}

QString DecodingError::description() const
{
    if (m_fieldPath.isEmpty()) {
        return QStringLiteral("The server's answer could not be read: %1.").arg(m_problem);
    }
    return QStringLiteral("The server's answer could not be read: \"%1\" %2.").arg(m_fieldPath, m_problem);
}
