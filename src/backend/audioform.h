#pragma once

#include <QByteArray>
#include <QString>

// The multipart form that carries one audio recording to the transcription endpoint.
struct AudioForm
{
    QByteArray boundary;
    QByteArray body;

    // A fresh upper-case UUID as boundary, one part named "file" with the file name and "audio/m4a" content.
    static AudioForm build(const QString &fileName, const QByteArray &audio);
    static AudioForm build(const QByteArray &boundary, const QString &fileName, const QByteArray &audio);

    QByteArray contentType() const;
};
