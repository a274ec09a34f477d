#include "app/config.h"

#include <cstdlib>
#include <stdexcept>

namespace wordloom {

namespace {

std::int64_t parseInteger(const std::string &flag, const std::string &value, std::int64_t min, std::int64_t max)
{
    std::size_t used = 0;
    std::int64_t number = 0;
    try {
        number = std::stoll(value, &used);
    } catch (const std::exception &) {
        used = 0;
    }
    if (used == 0 || used != value.size() || number < min || number > max) {
        throw std::invalid_argument(flag + " expects a whole number from " + std::to_string(min) + " to " +
                                    std::to_string(max) + ", got \"" + value + "\"");
    }
    return number;
}

} // namespace

std::string defaultDatabasePath()
{
    std::string base;
    if (const char *xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        base = xdg;
    } else if (const char *home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.local/share";
    } else {
        base = ".";
    }
    return base + "/wordloom-server/wordloom.db";
}

std::string usageText()
{
    return "usage: wordloom-server [options]\n"
           "  --host ADDRESS            address to listen on (default 127.0.0.1)\n"
           "  --port N                  port (default 8765; 0 picks a free port)\n"
           "  --db PATH                 SQLite database (default $XDG_DATA_HOME/wordloom-server/wordloom.db;\n"
           "                            :memory: keeps everything in memory)\n"
           "  --confirm-email on|off    new accounts confirm their e-mail first (default on)\n"
           "  --otp-length N            digits of e-mailed codes, 6 to 10 (default 8)\n"
           "  --initial-credits N       credits of a new account (default 100)\n"
           "  --jwt-expiry SECONDS      access-token lifetime (default 3600)\n"
           "  --llm-url URL             OpenAI-compatible chat-completions URL (default: offline engine)\n"
           "  --llm-model NAME          model name sent to the LLM (default gpt-4o-mini)\n"
           "  --llm-api-key-env VAR     environment variable holding the LLM API key\n"
           "  --llm-timeout SECONDS     how long to wait for the LLM or transcription service (default 60)\n"
           "  --stt-url URL             OpenAI-compatible transcription URL (default: offline pocketsphinx)\n"
           "  --stt-model NAME          model name sent for transcription (default whisper-1)\n"
           "  --stt-api-key-env VAR     environment variable holding the transcription API key\n"
           "  --seed-user EMAIL:PASSWORD  create (or reset) a confirmed account for local use\n"
           "  --quiet                   do not log requests\n"
           "  --help                    show this text\n";
}

ParsedArguments parseArguments(const std::vector<std::string> &arguments)
{
    ParsedArguments parsed;
    ServerConfig &config = parsed.config;
    config.databasePath = defaultDatabasePath();
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string flag = arguments[i];
        std::string value;
        bool hasInlineValue = false;
        if (const auto equals = flag.find('='); flag.starts_with("--") && equals != std::string::npos) {
            value = flag.substr(equals + 1);
            flag = flag.substr(0, equals);
            hasInlineValue = true;
        }
        if (flag == "--help" || flag == "-h") {
            parsed.showHelp = true;
            continue;
        }
        if (flag == "--quiet") {
            config.logRequests = false;
            continue;
        }
        if (!hasInlineValue) {
            if (i + 1 >= arguments.size()) {
                throw std::invalid_argument(flag.starts_with("--") ? flag + " needs a value"
                                                                   : "unknown argument \"" + flag + "\"");
            }
            value = arguments[++i];
        }
        if (flag == "--host") {
            config.host = value;
        } else if (flag == "--port") {
            config.port = static_cast<int>(parseInteger(flag, value, 0, 65535));
        } else if (flag == "--db") {
            config.databasePath = value;
        } else if (flag == "--confirm-email") {
            if (value != "on" && value != "off") {
                throw std::invalid_argument("--confirm-email expects on or off, got \"" + value + "\"");
            }
            config.confirmEmail = value == "on";
        } else if (flag == "--otp-length") {
            config.otpLength = static_cast<int>(parseInteger(flag, value, 6, 10));
        } else if (flag == "--initial-credits") {
            config.initialCredits = parseInteger(flag, value, 0, 1'000'000'000);
        } else if (flag == "--jwt-expiry") {
            config.accessTokenLifetime = parseInteger(flag, value, 10, 7 * 24 * 3600);
        } else if (flag == "--llm-url") {
            config.llmUrl = value;
        } else if (flag == "--llm-model") {
            config.llmModel = value;
        } else if (flag == "--llm-timeout") {
            config.llmTimeoutSeconds = static_cast<int>(parseInteger(flag, value, 1, 600));
        } else if (flag == "--llm-api-key-env") {
            config.llmApiKeyEnv = value;
        } else if (flag == "--stt-url") {
            config.sttUrl = value;
        } else if (flag == "--stt-model") {
            config.sttModel = value;
        } else if (flag == "--stt-api-key-env") {
            config.sttApiKeyEnv = value;
        } else if (flag == "--seed-user") {
            const auto colon = value.find(':');
            if (colon == std::string::npos || colon == 0 || colon + 1 == value.size()) {
                throw std::invalid_argument("--seed-user expects EMAIL:PASSWORD");
            }
            config.seedUser = std::pair(value.substr(0, colon), value.substr(colon + 1));
        } else {
            throw std::invalid_argument("unknown option \"" + flag + "\"");
        }
    }
    return parsed;
}

} // namespace wordloom
