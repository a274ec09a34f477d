#include "platform/webauthsession.h"

WebAuthSession::~WebAuthSession() = default;
