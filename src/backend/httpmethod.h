#pragma once

#include <QByteArray>

enum class HTTPMethod
{
    Get,
    Post,
    Put,
    Patch,
    Delete,
};

// The method's name on the wire: "GET", "POST", "PUT", "PATCH", "DELETE".
QByteArray rawValue(HTTPMethod method);
