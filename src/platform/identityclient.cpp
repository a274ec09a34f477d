#include "platform/identityclient.h"

IdentityClient::~IdentityClient() = default;
