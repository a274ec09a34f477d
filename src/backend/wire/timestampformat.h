#pragma once

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <optional>

// Parses an internet date-time: yyyy-MM-ddTHH:mm:ss, optional fractional seconds, then Z or an offset with a colon.
std::optional<QDateTime> parseInternetDateTime(const QString &text);

// A timestamp made readable: medium date and short time in `locale`, in `zone`; the text unchanged when it is not
// an internet date-time.
QString formatTimestamp(const QString &timestamp, const QLocale &locale, const QTimeZone &zone);
