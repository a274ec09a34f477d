#include "testsession.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {
constexpr const char *insideMarker = "LUMORA_IMPROVE_BENCH_INSIDE_SESSION";
}

void reexecInsideTestSession(int argc, char **argv)
{
    if (std::getenv(insideMarker) != nullptr) {
        return;
    }
    setenv(insideMarker, "1", 1);
    std::vector<char *> arguments;
    arguments.push_back(const_cast<char *>(TEST_SESSION_PATH));
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(argv[i]);
    }
    arguments.push_back(nullptr);
    execv(TEST_SESSION_PATH, arguments.data());
    std::fprintf(stderr, "improve-bench: cannot start %s: %s\n", TEST_SESSION_PATH, std::strerror(errno));
}
