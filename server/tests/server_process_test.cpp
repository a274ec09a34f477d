// The wordloom-server executable: flags, the ready line, a seeded account, persistence across restarts and a clean
// stop on SIGTERM and SIGINT.
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <regex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// One run of the server binary with its standard output and error on pipes.
class ServerProcess
{
public:
    explicit ServerProcess(const std::vector<std::string> &arguments, const std::string &xdgDataHome = "")
    {
        int out[2];
        int err[2];
        if (pipe(out) != 0 || pipe(err) != 0) {
            throw std::runtime_error("pipe failed");
        }
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            close(out[0]);
            close(err[0]);
            if (!xdgDataHome.empty()) {
                setenv("XDG_DATA_HOME", xdgDataHome.c_str(), 1);
            }
            std::vector<char *> argv{const_cast<char *>(WORDLOOM_SERVER_BINARY)};
            for (const auto &argument : arguments) {
                argv.push_back(const_cast<char *>(argument.c_str()));
            }
            argv.push_back(nullptr);
            execv(WORDLOOM_SERVER_BINARY, argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        m_out = out[0];
        m_err = err[0];
    }

    ~ServerProcess()
    {
        if (m_pid > 0 && !m_exited) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_out);
        close(m_err);
    }

    // The next line on standard output, or "" after `seconds` without one.
    std::string readLine(int seconds = 20)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (true) {
            if (const auto newline = m_buffer.find('\n'); newline != std::string::npos) {
                std::string line = m_buffer.substr(0, newline);
                m_buffer.erase(0, newline + 1);
                return line;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd descriptor{m_out, POLLIN, 0};
            if (left.count() <= 0 || poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) {
                return {};
            }
            char chunk[512];
            const auto n = read(m_out, chunk, sizeof chunk);
            if (n <= 0) {
                return {};
            }
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }

    // The exit status after the process ends (within `seconds`), or -1.
    int waitForExit(int seconds = 20)
    {
        for (int i = 0; i < seconds * 20; ++i) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_exited = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }

    std::string errorOutput()
    {
        std::string text;
        char chunk[512];
        pollfd descriptor{m_err, POLLIN, 0};
        while (poll(&descriptor, 1, 0) > 0) {
            const auto n = read(m_err, chunk, sizeof chunk);
            if (n <= 0) {
                break;
            }
            text.append(chunk, static_cast<std::size_t>(n));
        }
        return text;
    }

    void signal(int number) { kill(m_pid, number); }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    bool m_exited = false;
    std::string m_buffer;
};

int portFromReadyLine(const std::string &line)
{
    static const std::regex ready(R"(^wordloom-server listening on http://127\.0\.0\.1:(\d+) \(port (\d+)\)$)");
    std::smatch match;
    if (!std::regex_match(line, match, ready) || match[1] != match[2]) {
        ADD_FAILURE() << "not a ready line: \"" << line << "\"";
        return 0;
    }
    return std::stoi(match[1]);
}

class ServerProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        directory =
            std::filesystem::temp_directory_path() / ("wordloom-process-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory);
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::filesystem::path directory;
};

} // namespace

TEST_F(ServerProcessTest, SeededAccountSurvivesARestartAndSignalsStopCleanly)
{
    const std::string db = (directory / "wordloom.db").string();
    std::string accessToken;
    std::string refreshToken;
    {
        ServerProcess server({"--port", "0", "--db", db, "--seed-user", "demo@example.com:demo-password", "--quiet"});
        const int port = portFromReadyLine(server.readLine());
        ASSERT_GT(port, 0);
        httplib::Client client("127.0.0.1", port);
        const auto signIn =
            client.Post("/auth/v1/token?grant_type=password",
                        R"({"email":"demo@example.com","password":"demo-password"})", "application/json");
        ASSERT_TRUE(signIn);
        ASSERT_EQ(signIn->status, 200) << signIn->body;
        const auto session = nlohmann::json::parse(signIn->body);
        accessToken = session["access_token"];
        refreshToken = session["refresh_token"];
        client.stop();
        server.signal(SIGTERM);
        EXPECT_EQ(server.waitForExit(), 0) << server.errorOutput();
    }
    {
        ServerProcess server({"--port=0", "--db=" + db, "--quiet"});
        const int port = portFromReadyLine(server.readLine());
        ASSERT_GT(port, 0);
        httplib::Client client("127.0.0.1", port);
        const auto profile = client.Get("/api/v1/profile", {{"Authorization", "Bearer " + accessToken}});
        ASSERT_TRUE(profile);
        EXPECT_EQ(profile->status, 200) << "the signing secret and the session must persist";
        EXPECT_EQ(nlohmann::json::parse(profile->body)["email"], "demo@example.com");
        const auto refreshed = client.Post("/auth/v1/token?grant_type=refresh_token",
                                           nlohmann::json{{"refresh_token", refreshToken}}.dump(), "application/json");
        ASSERT_TRUE(refreshed);
        EXPECT_EQ(refreshed->status, 200);
        client.stop();
        server.signal(SIGINT);
        EXPECT_EQ(server.waitForExit(), 0) << server.errorOutput();
    }
}

TEST_F(ServerProcessTest, DefaultDatabaseLivesUnderXdgDataHome)
{
    ServerProcess server({"--port", "0", "--quiet"}, directory.string());
    ASSERT_GT(portFromReadyLine(server.readLine()), 0);
    const auto database = directory / "wordloom-server" / "wordloom.db";
    ASSERT_TRUE(std::filesystem::exists(database));
    // Accounts and secrets are readable by their owner only.
    EXPECT_EQ(std::filesystem::status(database).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(std::filesystem::status(directory / "wordloom-server").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    server.signal(SIGTERM);
    EXPECT_EQ(server.waitForExit(), 0);
}

TEST_F(ServerProcessTest, BadFlagsExitWithAUsageError)
{
    const std::vector<std::vector<std::string>> cases = {
        {"--port", "http"},
        {"--port", "70000"},
        {"--confirm-email", "maybe"},
        {"--otp-length", "4"},
        {"--seed-user", "no-colon"},
        {"--frobnicate"},
        {"--db"},
        {"--seed-user", "not-an-email:secret-pw"},
    };
    for (const auto &arguments : cases) {
        std::vector<std::string> withDb = arguments;
        withDb.insert(withDb.begin(), {"--db", ":memory:"});
        ServerProcess server(withDb);
        EXPECT_EQ(server.waitForExit(), 2) << arguments[0];
        EXPECT_NE(server.errorOutput().find("wordloom-server:"), std::string::npos) << arguments[0];
    }
}

TEST_F(ServerProcessTest, PortInUseIsReportedAsAFailure)
{
    httplib::Server blocker;
    const int port = blocker.bind_to_any_port("127.0.0.1");
    ServerProcess server({"--port", std::to_string(port), "--db", ":memory:"});
    EXPECT_EQ(server.waitForExit(), 1);
    EXPECT_NE(server.errorOutput().find("cannot listen"), std::string::npos);
}
