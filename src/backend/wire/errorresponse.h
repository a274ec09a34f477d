#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The backend's error body, {"detail": "..."}, read without key conversion.
struct ErrorResponse
{
    QString detail;

    // The error body, or none when `body` is not an object with a string "detail".
    static std::optional<ErrorResponse> decode(const QByteArray &body);
};
