#pragma once

#include <QMap>
#include <QString>

// The parameters of an auth link as delivered (the raw text, so malformed escapes stay as they were written), from its
// query and then its fragment (fragment entries win). Query items count only when they carry a value; fragment pieces
// need a non-empty key and value around their first "=", and only their values are percent-decoded (kept as they are
// when they do not decode).
QMap<QString, QString> deepLinkParameters(const QString &url);
