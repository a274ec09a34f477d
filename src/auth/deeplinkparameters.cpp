#include "auth/deeplinkparameters.h"

#include <QStringDecoder>
#include <QUrl>

namespace {

bool isHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

// Percent-decodes `text`; none when an escape is malformed or the bytes are not UTF-8.
std::optional<QString> percentDecoded(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('%') &&
            (i + 2 >= text.size() || !isHexDigit(text.at(i + 1)) || !isHexDigit(text.at(i + 2)))) {
            return std::nullopt;
        }
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder.decode(QByteArray::fromPercentEncoding(text.toUtf8()));
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return decoded;
}

} // namespace

QMap<QString, QString> deepLinkParameters(const QString &url)
{
    const qsizetype hash = url.indexOf(QLatin1Char('#'));
    const QString beforeFragment = hash < 0 ? url : url.left(hash);
    const qsizetype question = beforeFragment.indexOf(QLatin1Char('?'));
    const QString query = question < 0 ? QString() : beforeFragment.mid(question + 1);
    const QString fragment = hash < 0 ? QString() : url.mid(hash + 1);

    QMap<QString, QString> parameters;
    for (const QString &item : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        if (equals < 0) {
            continue;
        }
        parameters.insert(QUrl::fromPercentEncoding(item.left(equals).toUtf8()),
                          QUrl::fromPercentEncoding(item.mid(equals + 1).toUtf8()));
    }
    for (const QString &piece : fragment.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype equals = piece.indexOf(QLatin1Char('='));
        if (equals <= 0 || equals == piece.size() - 1) {
            continue;
        }
        const QString value = piece.mid(equals + 1);
        parameters.insert(piece.left(equals), percentDecoded(value).value_or(value));
    }
    return parameters;
}
