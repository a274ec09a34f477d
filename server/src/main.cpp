// wordloom-server: the local prompt backend and identity-service stand-in.
#include "app/config.h"
#include "app/wordloomserver.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <ctime>
#include <iostream>
#include <pthread.h>
#include <thread>

int main(int argc, char **argv)
{
    wordloom::ParsedArguments parsed;
    try {
        parsed = wordloom::parseArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument &error) {
        std::cerr << "wordloom-server: " << error.what() << "\n" << wordloom::usageText();
        return 2;
    }
    if (parsed.showHelp) {
        std::cout << wordloom::usageText();
        return 0;
    }

    // SIGINT and SIGTERM are taken by a watcher thread, so they stop the listener instead of killing the process
    // mid-write. Every thread created from here on inherits the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    try {
        wordloom::WordloomServer server(parsed.config);
        const int port = server.bind();
        std::atomic<bool> finished = false;
        std::thread watcher([&] {
            const timespec poll{0, 200'000'000};
            while (!finished) {
                if (sigtimedwait(&stopSignals, nullptr, &poll) > 0) {
                    std::cout << "wordloom-server: stopping" << std::endl;
                    // A signal can arrive before the listener has started, when stop() has nothing to stop yet:
                    // keep asking until run() has returned.
                    while (!finished) {
                        server.stop();
                        std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    }
                    return;
                }
            }
        });
        std::cout << "wordloom-server listening on " << server.origin() << " (port " << port << ")" << std::endl;
        const bool served = server.run();
        finished = true;
        watcher.join();
        if (!served) {
            std::cerr << "wordloom-server: the listener failed" << std::endl;
            return 1;
        }
        std::cout << "wordloom-server: stopped" << std::endl;
    } catch (const std::invalid_argument &error) {
        std::cerr << "wordloom-server: " << error.what() << std::endl;
        return 2;
    } catch (const std::exception &error) {
        std::cerr << "wordloom-server: " << error.what() << std::endl;
        return 1;
    }
    return 0;
}
