#include "backend/wire/errorresponse.h"

#include <QJsonDocument>
#include <QJsonObject>

std::optional<ErrorResponse> ErrorResponse::decode(const QByteArray &body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QJsonValue detail = document.object().value(QStringLiteral("detail"));
    if (!document.isObject() || !detail.isString()) {
        return std::nullopt;
    }
    return ErrorResponse{detail.toString()};
}
