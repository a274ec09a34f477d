#pragma once

#include <string>
#include <vector>

// The server's own time for the request the program sends on the shortcut, measured with a plain keep-alive
// HTTP client on loopback (the server does not log durations). Empty when sign-in or a request fails.
std::vector<double> measureServerHandling(const std::string &origin, const std::string &email,
                                          const std::string &password, const std::string &draft, int runs);
