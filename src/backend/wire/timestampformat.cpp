#include "backend/wire/timestampformat.h"

#include <QRegularExpression>

namespace {

// The locale's long date without the weekday and with abbreviated month names: "MMM d, yyyy" in English,
// "d. MMM yyyy" in German.
QString mediumDateFormat(const QLocale &locale)
{
    QString format = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression weekday(QStringLiteral("d{4}[,.]?\\s*"));
    format.remove(weekday);
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return format.trimmed();
}

} // namespace

std::optional<QDateTime> parseInternetDateTime(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(\\.\\d+)?(Z|[+-]\\d{2}:\\d{2})$"));
    if (!pattern.match(text).hasMatch()) {
        return std::nullopt;
    }
    const QDateTime parsed = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!parsed.isValid()) {
        return std::nullopt;
    }
    return parsed;
}

QString formatTimestamp(const QString &timestamp, const QLocale &locale, const QTimeZone &zone)
{
    const auto instant = parseInternetDateTime(timestamp);
    if (!instant) {
        return timestamp;
    }
    const QDateTime local = instant->toTimeZone(zone);
    return locale.toString(local.date(), mediumDateFormat(locale)) + QLatin1String(", ") +
           locale.toString(local.time(), QLocale::ShortFormat);
}
