#include "platform/keychain.h"

Keychain::~Keychain() = default;
