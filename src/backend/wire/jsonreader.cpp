#include "backend/wire/jsonreader.h"

#include "backend/wire/decodingerror.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>
#include <limits>

namespace {

QJsonValue convertKeys(const QJsonValue &value)
{
    if (value.isObject()) {
        QJsonObject converted;
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            converted.insert(camelCaseKey(it.key()), convertKeys(it.value()));
        }
        return converted;
    }
    if (value.isArray()) {
        QJsonArray converted;
        for (const QJsonValue &element : value.toArray()) {
            converted.append(convertKeys(element));
        }
        return converted;
    }
    return value;
}

// Qt keeps a JSON number that was written as an integer as a 64-bit integer; others are doubles. An integral double
// within range counts as an integer too (5.0), a fraction or an out-of-range value does not.
std::optional<qint64> asInteger(const QJsonValue &value)
{
    const QVariant variant = value.toVariant();
    if (variant.typeId() == QMetaType::LongLong || variant.typeId() == QMetaType::Int) {
        return variant.toLongLong();
    }
    const double number = value.toDouble();
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (std::trunc(number) == number && number >= -limit && number < limit) {
        return static_cast<qint64>(number);
    }
    return std::nullopt;
}

} // namespace

QString camelCaseKey(const QString &key)
{
    if (!key.contains(QLatin1Char('_'))) {
        return key;
    }
    qsizetype first = 0;
    while (first < key.size() && key.at(first) == QLatin1Char('_')) {
        ++first;
    }
    if (first == key.size()) {
        return key;
    }
    qsizetype last = key.size() - 1;
    while (key.at(last) == QLatin1Char('_')) {
        --last;
    }
    const QStringList pieces = key.mid(first, last - first + 1).split(QLatin1Char('_'), Qt::SkipEmptyParts);
    QString middle = pieces.first().toLower();
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        middle += pieces.at(i).left(1).toUpper() + pieces.at(i).mid(1).toLower();
    }
    return key.left(first) + middle + key.mid(last + 1);
}

QJsonObject parseConvertedObject(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError) {
        throw DecodingError({}, QStringLiteral("it is not valid JSON (%1)").arg(error.errorString()));
    }
    if (!document.isObject()) {
        throw DecodingError({}, QStringLiteral("it is not a JSON object"));
    }
    return convertKeys(document.object()).toObject();
}

JsonReader::JsonReader(QJsonObject object, QString path)
    : m_object(std::move(object))
    , m_path(std::move(path))
{}

QString JsonReader::string(const QString &key) const
{
    return required(key, QJsonValue::String, QStringLiteral("a string")).toString();
}

std::optional<QString> JsonReader::optionalString(const QString &key) const
{
    const auto value = optional(key, QJsonValue::String, QStringLiteral("a string"));
    return value ? std::optional(value->toString()) : std::nullopt;
}

qint64 JsonReader::integer(const QString &key) const
{
    const auto integer = asInteger(required(key, QJsonValue::Double, QStringLiteral("an integer")));
    if (!integer) {
        throw DecodingError(pathOf(key), QStringLiteral("is not an integer"));
    }
    return *integer;
}

double JsonReader::number(const QString &key) const
{
    return required(key, QJsonValue::Double, QStringLiteral("a number")).toDouble();
}

bool JsonReader::boolean(const QString &key) const
{
    return required(key, QJsonValue::Bool, QStringLiteral("a boolean")).toBool();
}

std::optional<bool> JsonReader::optionalBoolean(const QString &key) const
{
    const auto value = optional(key, QJsonValue::Bool, QStringLiteral("a boolean"));
    return value ? std::optional(value->toBool()) : std::nullopt;
}

QJsonValue JsonReader::required(const QString &key, QJsonValue::Type type, const QString &expected) const
{
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined()) {
        throw DecodingError(pathOf(key), QStringLiteral("is missing"));
    }
    if (value.isNull()) {
        throw DecodingError(pathOf(key), QStringLiteral("is null"));
    }
    if (value.type() != type) {
        throw DecodingError(pathOf(key), QStringLiteral("is not %1").arg(expected));
    }
    return value;
}

std::optional<QJsonValue> JsonReader::optional(const QString &key, QJsonValue::Type type, const QString &expected) const
{
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined() || value.isNull()) {
        return std::nullopt;
    }
    if (value.type() != type) {
        throw DecodingError(pathOf(key), QStringLiteral("is not %1").arg(expected));
    }
    return value;
}

JsonReader JsonReader::element(const QString &key, qsizetype index, const QJsonValue &value) const
{
    const QString path = QStringLiteral("%1[%2]").arg(pathOf(key)).arg(index);
    if (!value.isObject()) {
        throw DecodingError(path, QStringLiteral("is not an object"));
    }
    return JsonReader(value.toObject(), path);
}

QString JsonReader::pathOf(const QString &key) const
{
    return m_path.isEmpty() ? key : m_path + QLatin1Char('.') + key;
}
