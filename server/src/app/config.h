#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wordloom {

// Everything the command line decides. Defaults are those of a local development server.
struct ServerConfig
{
    std::string host = "127.0.0.1";
    int port = 8765;
    std::string databasePath;
    bool confirmEmail = true;
    int otpLength = 8;
    std::int64_t initialCredits = 100;
    std::int64_t accessTokenLifetime = 3600;
    std::string llmUrl;
    std::string llmModel = "gpt-4o-mini";
    std::string llmApiKeyEnv;
    int llmTimeoutSeconds = 60;
    std::string sttUrl;
    std::string sttModel = "whisper-1";
    std::string sttApiKeyEnv;
    std::optional<std::pair<std::string, std::string>> seedUser;
    bool logRequests = true;
    // Kept for the identity service's tokens; a fresh random secret is stored in the database when empty.
    std::string jwtSecret;
};

struct ParsedArguments
{
    ServerConfig config;
    bool showHelp = false;
};

// Throws std::invalid_argument with a message naming the offending flag.
ParsedArguments parseArguments(const std::vector<std::string> &arguments);
std::string usageText();
// $XDG_DATA_HOME/wordloom-server/wordloom.db, falling back to ~/.local/share.
std::string defaultDatabasePath();

} // namespace wordloom
