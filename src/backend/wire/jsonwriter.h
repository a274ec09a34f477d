#pragma once

#include <QJsonObject>

#include <optional>

// Adds `key` to a request body only when the optional value is present: absent fields are left out, never null.
template <typename Value>
void insertIfPresent(QJsonObject &json, const QString &key, const std::optional<Value> &value)
{
    if (value) {
        json.insert(key, *value);
    }
}
