#include "runtime/fileerror.h"

FileError::FileError(QString fileName, QString reason)
    : m_fileName(std::move(fileName))
    , m_reason(std::move(reason))
{}

QString FileError::description() const
{
    return QStringLiteral("The file \"%1\" could not be read: %2").arg(m_fileName, m_reason);
}
