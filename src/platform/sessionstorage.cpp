#include "platform/sessionstorage.h"

SessionStorage::~SessionStorage() = default;
