#pragma once

#include <QLoggingCategory>

// Diagnostics of the X11 services ("lumora.platform.x11"). Never carries selection or clipboard contents.
Q_DECLARE_LOGGING_CATEGORY(lcX11)
