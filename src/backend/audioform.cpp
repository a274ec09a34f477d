#include "backend/audioform.h"

#include <QUuid>

AudioForm AudioForm::build(const QString &fileName, const QByteArray &audio)
{
    return build(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toLatin1(), fileName, audio);
}

AudioForm AudioForm::build(const QByteArray &boundary, const QString &fileName, const QByteArray &audio)
{
    QByteArray body;
    body.reserve(audio.size() + 256);
    body += "--" + boundary + "\r\n";
    body += "Content-Disposition: form-data; name=\"file\"; filename=\"" + fileName.toUtf8() + "\"\r\n";
    body += "Content-Type: audio/m4a\r\n\r\n";
    body += audio;
    body += "\r\n--" + boundary + "--\r\n";
    return {boundary, body};
}

QByteArray AudioForm::contentType() const
{
    return "multipart/form-data; boundary=" + boundary;
}
