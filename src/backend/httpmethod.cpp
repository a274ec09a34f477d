#include "backend/httpmethod.h"

QByteArray rawValue(HTTPMethod method)
{
    switch (method) {
    case HTTPMethod::Get:
        return QByteArrayLiteral("GET");
    case HTTPMethod::Post:
        return QByteArrayLiteral("POST");
    case HTTPMethod::Put:
        return QByteArrayLiteral("PUT");
    case HTTPMethod::Patch:
        return QByteArrayLiteral("PATCH");
    case HTTPMethod::Delete:
        return QByteArrayLiteral("DELETE");
    }
    return QByteArrayLiteral("GET");
}
