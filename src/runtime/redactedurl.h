#pragma once

#include <QString>

// A URL fit for the log: scheme, host and path as they are, every query and fragment value replaced by "<redacted>"
// (keys kept). Callback URLs carry tokens and codes there.
QString redactedUrl(const QString &url);
