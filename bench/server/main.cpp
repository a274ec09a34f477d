// Measures prompt generation with the offline engine over loopback HTTP: requests per second and latency
// percentiles. By default it starts a server in this process (in-memory database); --url measures a running one.
//
// usage: wordloom_server_bench [--connections N] [--seconds S] [--url ORIGIN --email E --password P]
#include "app/config.h"
#include "app/wordloomserver.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <httplib.h>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Options
{
    int connections = 4;
    int seconds = 5;
    std::string url;
    std::string email = "bench@example.com";
    std::string password = "bench-password";
};

Options parse(int argc, char **argv)
{
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const std::string value = argv[i + 1];
        if (flag == "--connections") {
            options.connections = std::max(1, std::stoi(value));
        } else if (flag == "--seconds") {
            options.seconds = std::max(1, std::stoi(value));
        } else if (flag == "--url") {
            options.url = value;
        } else if (flag == "--email") {
            options.email = value;
        } else if (flag == "--password") {
            options.password = value;
        } else {
            throw std::invalid_argument("unknown option " + flag);
        }
    }
    return options;
}

std::string signIn(const std::string &origin, const Options &options, bool createAccount)
{
    httplib::Client client(origin);
    const nlohmann::json credentials = {{"email", options.email}, {"password", options.password}};
    const auto result = client.Post(createAccount ? "/auth/v1/signup" : "/auth/v1/token?grant_type=password",
                                    credentials.dump(), "application/json");
    if (!result || result->status != 200) {
        throw std::runtime_error("sign-in failed: " + (result ? result->body : httplib::to_string(result.error())));
    }
    return nlohmann::json::parse(result->body)["access_token"];
}

// Drafts of different kinds, so the measurement covers the engine's main paths.
const std::vector<nlohmann::json> &requests()
{
    static const std::vector<nlohmann::json> bodies = {
        {{"text", "write a blog post about remote work for small teams"}, {"auto_detect", true}, {"stream", false}},
        {{"text", "why does my python script leak memory when reading large csv files?"},
         {"auto_detect", true},
         {"stream", false}},
        {{"text", "a lighthouse on a cliff at sunset"},
         {"auto_detect", true},
         {"stream", false},
         {"target_model", "midjourney"}},
        {{"text", "Hi Sam,\n\nCould we move Thursday's review to Friday morning?\n\nThanks,\nAlex"},
         {"auto_detect", true},
         {"stream", false},
         {"target_model", "claude"}},
    };
    return bodies;
}

double percentile(const std::vector<double> &sorted, double p)
{
    if (sorted.empty()) {
        return 0;
    }
    const auto index = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(index, sorted.size() - 1)];
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    try {
        options = parse(argc, argv);
    } catch (const std::exception &error) {
        std::cerr << error.what()
                  << "\nusage: wordloom_server_bench [--connections N] [--seconds S] "
                     "[--url ORIGIN --email E --password P]\n";
        return 2;
    }

    std::unique_ptr<wordloom::WordloomServer> server;
    std::string origin = options.url;
    if (origin.empty()) {
        wordloom::ServerConfig config;
        config.port = 0;
        config.databasePath = ":memory:";
        config.confirmEmail = false;
        config.logRequests = false;
        config.initialCredits = 1'000'000'000;
        server = std::make_unique<wordloom::WordloomServer>(config);
        server->start();
        origin = server->origin();
    }
    const std::string token = signIn(origin, options, server != nullptr);
    const httplib::Headers headers = {{"Authorization", "Bearer " + token}};

    std::atomic<bool> stop = false;
    std::atomic<long> failures = 0;
    std::vector<std::vector<double>> latencies(static_cast<std::size_t>(options.connections));
    std::vector<std::thread> workers;
    const auto started = std::chrono::steady_clock::now();
    for (int c = 0; c < options.connections; ++c) {
        workers.emplace_back([&, c] {
            httplib::Client client(origin);
            client.set_keep_alive(true);
            client.set_tcp_nodelay(true);
            auto &mine = latencies[static_cast<std::size_t>(c)];
            for (std::size_t i = static_cast<std::size_t>(c); !stop; ++i) {
                const std::string body = requests()[i % requests().size()].dump();
                const auto sent = std::chrono::steady_clock::now();
                const auto result = client.Post("/api/v1/prompts/generate", headers, body, "application/json");
                const auto took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent);
                if (!result || result->status != 200) {
                    ++failures;
                    continue;
                }
                mine.push_back(took.count());
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::seconds(options.seconds));
    stop = true;
    for (auto &worker : workers) {
        worker.join();
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::vector<double> all;
    for (const auto &mine : latencies) {
        all.insert(all.end(), mine.begin(), mine.end());
    }
    std::sort(all.begin(), all.end());
    std::printf("wordloom-server offline prompt generation, %s, %d connections, %.1f s\n",
                server ? "in-process server" : origin.c_str(), options.connections, elapsed);
    std::printf("requests: %zu ok, %ld failed\n", all.size(), failures.load());
    std::printf("throughput: %.0f requests/s\n", static_cast<double>(all.size()) / elapsed);
    std::printf("latency ms: p50 %.3f  p90 %.3f  p99 %.3f  max %.3f\n", percentile(all, 0.50), percentile(all, 0.90),
                percentile(all, 0.99), all.empty() ? 0.0 : all.back());
    if (server) {
        server->stop();
    }
    return failures == 0 ? 0 : 1;
}
