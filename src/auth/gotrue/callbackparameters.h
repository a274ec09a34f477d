#pragma once

#include <QHash>
#include <QString>
#include <QUrl>

#include <optional>

// The parameters of a callback URL: its query and its fragment, both form-encoded ('+' is a space). A name in the
// query wins over the same name in the fragment. Empty names are skipped.
class CallbackParameters
{
public:
    explicit CallbackParameters(const QUrl &url);

    std::optional<QString> value(const QString &name) const;
    bool contains(const QString &name) const { return m_values.contains(name); }

private:
    void addPairs(const QString &encoded, bool overwrite);

    QHash<QString, QString> m_values;
};
