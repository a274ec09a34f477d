#pragma once

#include <QLoggingCategory>

// Diagnostics of the Secret Service keychain ("lumora.keychain"). Never carries item data.
Q_DECLARE_LOGGING_CATEGORY(lcKeychain)
