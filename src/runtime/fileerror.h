#pragma once

#include "runtime/error.h"

// A local file that could not be read or written.
class FileError : public Error
{
public:
    FileError(QString fileName, QString reason);

    QString description() const override;

private:
    QString m_fileName;
    QString m_reason;
};
