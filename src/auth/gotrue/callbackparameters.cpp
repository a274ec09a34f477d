#include "auth/gotrue/callbackparameters.h"

namespace {

QString formDecoded(QStringView text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace('+', ' ');
    return QUrl::fromPercentEncoding(bytes);
}

} // namespace

CallbackParameters::CallbackParameters(const QUrl &url)
{
    addPairs(url.query(QUrl::FullyEncoded), true);
    addPairs(url.fragment(QUrl::FullyEncoded), false);
}

std::optional<QString> CallbackParameters::value(const QString &name) const
{
    const auto found = m_values.constFind(name);
    if (found == m_values.constEnd()) {
        return std::nullopt;
    }
    return *found;
}

void CallbackParameters::addPairs(const QString &encoded, bool overwrite)
{
    for (const QStringView pair : QStringView(encoded).split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        const QString name = formDecoded(equals < 0 ? pair : pair.left(equals));
        if (name.isEmpty() || (!overwrite && m_values.contains(name))) {
            continue;
        }
        m_values.insert(name, equals < 0 ? QString() : formDecoded(pair.mid(equals + 1)));
    }
}
