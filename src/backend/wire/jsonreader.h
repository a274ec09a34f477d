#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// Turns a snake_case key into camelCase: "original_text" -> "originalText"; keys without an underscore stay as
// they are, leading and trailing underscores are kept.
QString camelCaseKey(const QString &key);

// Parses an answer body that must be a JSON object and converts its keys (recursively, objects only) to camelCase.
// Throws DecodingError when the body is not a JSON object.
QJsonObject parseConvertedObject(const QByteArray &body);

// Reads the fields of one decoded object. A required field that is missing, null or of the wrong type throws
// DecodingError naming the field's path; an optional field that is missing or null reads as absent; unknown keys
// are ignored.
class JsonReader
{
public:
    explicit JsonReader(QJsonObject object, QString path = {});

    QString string(const QString &key) const;
    std::optional<QString> optionalString(const QString &key) const;
    // An integral JSON number within 64 bits.
    qint64 integer(const QString &key) const;
    double number(const QString &key) const;
    bool boolean(const QString &key) const;
    std::optional<bool> optionalBoolean(const QString &key) const;

    // An array of objects, each decoded by Record::decode(JsonReader).
    template <typename Record>
    QList<Record> array(const QString &key) const
    {
        QList<Record> records;
        const QJsonArray elements = required(key, QJsonValue::Array, QStringLiteral("an array")).toArray();
        records.reserve(elements.size());
        for (qsizetype i = 0; i < elements.size(); ++i) {
            records.append(Record::decode(element(key, i, elements.at(i))));
        }
        return records;
    }

private:
    QJsonValue required(const QString &key, QJsonValue::Type type, const QString &expected) const;
    std::optional<QJsonValue> optional(const QString &key, QJsonValue::Type type, const QString &expected) const;
    JsonReader element(const QString &key, qsizetype index, const QJsonValue &value) const;
    QString pathOf(const QString &key) const;

    QJsonObject m_object;
    QString m_path;
};
