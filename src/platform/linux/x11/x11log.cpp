#include "platform/linux/x11/x11log.h"

Q_LOGGING_CATEGORY(lcX11, "lumora.platform.x11")
