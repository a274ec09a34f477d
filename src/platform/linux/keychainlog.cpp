#include "platform/linux/keychainlog.h"

Q_LOGGING_CATEGORY(lcKeychain, "lumora.keychain")
