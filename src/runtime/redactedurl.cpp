#include "runtime/redactedurl.h"

#include <QStringList>

namespace {

const QString hidden = QStringLiteral("<redacted>");

QString redactedParameters(const QString &parameters)
{
    QStringList pieces = parameters.split(QLatin1Char('&'));
    for (QString &piece : pieces) {
        const qsizetype equals = piece.indexOf(QLatin1Char('='));
        if (equals >= 0) {
            piece = piece.left(equals + 1) + hidden;
        } else if (!piece.isEmpty()) {
            piece = hidden;
        }
    }
    return pieces.join(QLatin1Char('&'));
}

} // namespace

QString redactedUrl(const QString &url)
{
    QString rest = url;
    QString fragment;
    const qsizetype hash = rest.indexOf(QLatin1Char('#'));
    if (hash >= 0) {
        fragment = QLatin1Char('#') + redactedParameters(rest.mid(hash + 1));
        rest.truncate(hash);
    }
    QString query;
    const qsizetype question = rest.indexOf(QLatin1Char('?'));
    if (question >= 0) {
        query = QLatin1Char('?') + redactedParameters(rest.mid(question + 1));
        rest.truncate(question);
    }
    return rest + query + fragment;
}
