#include "servertiming.h"

#include <chrono>
#include <cstdio>
#include <httplib.h>
#include <nlohmann/json.hpp>

std::vector<double> measureServerHandling(const std::string &origin, const std::string &email,
                                          const std::string &password, const std::string &draft, int runs)
{
    httplib::Client client(origin);
    client.set_keep_alive(true);
    // Headers and body go out in separate writes: without this, Nagle's algorithm and the delayed ACK would add
    // 40 ms to every request and the server would look slower than it is.
    client.set_tcp_nodelay(true);
    const nlohmann::json credentials = {{"email", email}, {"password", password}};
    const auto signedIn = client.Post("/auth/v1/token?grant_type=password", credentials.dump(), "application/json");
    if (!signedIn || signedIn->status != 200) {
        std::fprintf(stderr, "improve-bench: sign-in for the server timing failed\n");
        return {};
    }
    const std::string token = nlohmann::json::parse(signedIn->body)["access_token"];
    const httplib::Headers headers = {{"Authorization", "Bearer " + token}};
    // The body the program sends for a draft with the automatic skill and the general target model.
    const nlohmann::json body = {{"text", draft}, {"auto_detect", true}, {"stream", false}};

    std::vector<double> durations;
    constexpr int warmUp = 3;
    for (int i = 0; i < warmUp + runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const auto result = client.Post("/api/v1/prompts/generate", headers, body.dump(), "application/json");
        const auto end = std::chrono::steady_clock::now();
        if (!result || result->status != 200) {
            std::fprintf(stderr, "improve-bench: the server's generate request failed: %s\n",
                         result ? result->body.c_str() : httplib::to_string(result.error()).c_str());
            return {};
        }
        if (i >= warmUp) {
            durations.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
    }
    return durations;
}
