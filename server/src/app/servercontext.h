#pragma once

#include "app/config.h"
#include "core/clock.h"
#include "core/jwt.h"
#include "core/passwordhasher.h"
#include "storage/database.h"

#include <memory>
#include <string>

namespace wordloom {

class PromptEngine;
class Transcriber;

// The pieces every route shares. Built once by WordloomServer; routes hold a reference for the server's lifetime.
struct ServerContext
{
    explicit ServerContext(ServerConfig serverConfig);
    ~ServerContext();

    ServerConfig config;
    Clock clock;
    Database db;
    PasswordHasher hasher;
    JwtSigner jwt;
    // Origin that links in e-mails and redirects point back to, e.g. http://127.0.0.1:8765.
    std::string publicUrl;
    std::unique_ptr<PromptEngine> engine;
    std::unique_ptr<Transcriber> transcriber;
};

} // namespace wordloom
