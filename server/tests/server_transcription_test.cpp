// Transcription of uploaded recordings: speech synthesised with espeak-ng and encoded to AAC/M4A at test time
// through the GStreamer library, decoded by the server, recognised offline or by a forwarded service, and charged
// per started minute.
#include "support/testserver.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <mutex>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace wordloom;
using namespace wordloom::test;

namespace {

std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void run(const std::string &command)
{
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// Runs a GStreamer pipeline description to its end; the reason when it fails.
std::string runPipeline(const std::string &description)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { gst_init(nullptr, nullptr); });
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.c_str(), &error);
    if (!pipeline || error) {
        const std::string reason = error ? error->message : "cannot build pipeline";
        g_clear_error(&error);
        return reason;
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *message = gst_bus_timed_pop_filtered(bus, 60 * GST_SECOND,
                                                     static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    std::string reason = message ? "" : "timed out";
    if (message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError *failure = nullptr;
        gst_message_parse_error(message, &failure, nullptr);
        reason = failure ? failure->message : "pipeline error";
        g_clear_error(&failure);
    }
    if (message) {
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return reason;
}

// Seconds of audio in a PCM WAV file, from its fmt and data chunks.
double wavSeconds(const std::string &wav)
{
    std::uint32_t byteRate = 0;
    std::uint32_t dataSize = 0;
    for (std::size_t at = 12; at + 8 <= wav.size();) {
        const std::string id = wav.substr(at, 4);
        std::uint32_t size = 0;
        std::memcpy(&size, wav.data() + at + 4, 4);
        if (id == "fmt ") {
            std::memcpy(&byteRate, wav.data() + at + 16, 4);
        } else if (id == "data") {
            dataSize = std::min<std::uint32_t>(size, static_cast<std::uint32_t>(wav.size() - at - 8));
        }
        at += 8 + size + (size & 1);
    }
    return byteRate ? static_cast<double>(dataSize) / byteRate : 0;
}

class ServerTranscription : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        directory = std::filesystem::temp_directory_path() / ("wordloom-stt-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory);
        const auto wav = directory / "speech.wav";
        run("espeak-ng -w " + wav.string() + " 'hello world this is a test of the recording'");
        // Encoded the way the program records: AAC in an MP4 container.
        ASSERT_EQ(
            runPipeline("filesrc location=\"" + wav.string() +
                        "\" ! wavparse ! audioconvert ! audioresample ! avenc_aac ! mp4mux ! filesink location=\"" +
                        (directory / "speech.m4a").string() + "\""),
            "");
        // A little over a minute of quiet tone: long enough to cost two credits.
        ASSERT_EQ(runPipeline("audiotestsrc wave=sine volume=0.01 samplesperbuffer=4410 num-buffers=650 ! "
                              "audio/x-raw,rate=44100,channels=1 ! audioconvert ! avenc_aac ! mp4mux ! filesink "
                              "location=\"" +
                              (directory / "long.m4a").string() + "\""),
                  "");
        speechSeconds = wavSeconds(readFile(wav));
        speech = readFile(directory / "speech.m4a");
        longRecording = readFile(directory / "long.m4a");
    }

    static void TearDownTestSuite() { std::filesystem::remove_all(directory); }

    void SetUp() override
    {
        ASSERT_GT(speechSeconds, 1.0);
        ASSERT_FALSE(speech.empty());
        account = server.signUp("ann@example.com");
    }

    HttpResult upload(const std::string &bytes, const std::string &field = "file")
    {
        return server.upload("/api/v1/audio/transcribe",
                             {{field, bytes, "voice_recording_6F1C2E2A-0C2B-4E53-9C8F-1B2A3C4D5E6F.m4a", "audio/m4a"}},
                             account.bearer());
    }
    std::int64_t remaining() { return server.get("/api/v1/usage/credits", account.bearer()).body["remaining_credits"]; }

    static inline std::filesystem::path directory;
    static inline double speechSeconds = 0;
    static inline std::string speech;
    static inline std::string longRecording;

    TestServer server;
    Account account;
};

} // namespace

TEST_F(ServerTranscription, TranscribesSynthesisedSpeech)
{
    const auto result = upload(speech);
    ASSERT_EQ(result.status, 200) << result.raw;
    EXPECT_NEAR(result.body["duration_seconds"].get<double>(), speechSeconds, 0.35);
    EXPECT_EQ(result.body["language"], "en");
    EXPECT_EQ(result.body["credits_remaining"], 99);
    EXPECT_EQ(remaining(), 99);
    // The general model's words for synthetic speech vary; what must hold is an English-alphabet transcript.
    const std::string transcript = result.body["text"];
    EXPECT_FALSE(transcript.empty());
    for (const char c : transcript) {
        EXPECT_TRUE((c >= 'a' && c <= 'z') || c == ' ' || c == '\'') << "unexpected character in: " << transcript;
    }
}

TEST_F(ServerTranscription, ChargesOneCreditPerStartedMinute)
{
    const auto result = upload(longRecording);
    ASSERT_EQ(result.status, 200) << result.raw;
    EXPECT_GT(result.body["duration_seconds"].get<double>(), 60.0);
    EXPECT_EQ(result.body["credits_remaining"], 98);
}

TEST_F(ServerTranscription, UndecodableUploadsAreRejectedWithoutCharge)
{
    const std::string truncated = speech.substr(0, speech.size() / 3);
    for (const std::string &bytes :
         {std::string("this is not audio at all, just text"), std::string(4096, '\x7f'), truncated}) {
        const auto result = upload(bytes);
        EXPECT_EQ(result.status, 400) << result.raw;
        EXPECT_NE(result.detail().find("Invalid audio file"), std::string::npos) << result.raw;
    }
    EXPECT_EQ(upload("").status, 400);
    EXPECT_EQ(upload(speech, "audio").status, 400);
    EXPECT_EQ(server.post("/api/v1/audio/transcribe", {{"file", "abc"}}, account.bearer()).status, 400);
    EXPECT_EQ(remaining(), 100);
}

TEST(ServerTranscriptionCredits, EmptyBalanceGetsPaymentRequired)
{
    ServerConfig config = testConfig();
    config.initialCredits = 0;
    TestServer server(config);
    const Account account = server.signUp("ann@example.com");
    const auto result =
        server.upload("/api/v1/audio/transcribe", {{"file", "irrelevant", "a.m4a", "audio/m4a"}}, account.bearer());
    EXPECT_EQ(result.status, 402);
}

TEST(ServerTranscriptionForwarding, UsesTheConfiguredServiceAndMapsItsFailures)
{
    httplib::Server upstream;
    std::atomic<int> status = 200;
    std::string receivedModel;
    std::size_t receivedBytes = 0;
    upstream.Post("/v1/audio/transcriptions", [&](const httplib::Request &request, httplib::Response &response) {
        receivedModel = request.get_file_value("model").content;
        receivedBytes = request.get_file_value("file").content.size();
        response.status = status;
        response.set_content(R"({"text":"forwarded transcript"})", "application/json");
    });
    const int port = upstream.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { upstream.listen_after_bind(); });
    while (!upstream.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    const auto wav = std::filesystem::temp_directory_path() / ("wordloom-fwd-" + std::to_string(::getpid()) + ".wav");
    ASSERT_EQ(std::system(("espeak-ng -w " + wav.string() + " 'forwarded'").c_str()), 0);
    const std::string audio = readFile(wav);
    std::filesystem::remove(wav);

    {
        ServerConfig config = testConfig();
        config.sttUrl = "http://127.0.0.1:" + std::to_string(port);
        config.sttModel = "whisper-test";
        TestServer server(config);
        const Account account = server.signUp("ann@example.com");
        const auto ok =
            server.upload("/api/v1/audio/transcribe", {{"file", audio, "a.wav", "audio/wav"}}, account.bearer());
        ASSERT_EQ(ok.status, 200) << ok.raw;
        EXPECT_EQ(ok.body["text"], "forwarded transcript");
        EXPECT_EQ(receivedModel, "whisper-test");
        EXPECT_EQ(receivedBytes, audio.size());

        status = 503;
        const auto failed =
            server.upload("/api/v1/audio/transcribe", {{"file", audio, "a.wav", "audio/wav"}}, account.bearer());
        EXPECT_EQ(failed.status, 502);
        EXPECT_EQ(server.get("/api/v1/usage/credits", account.bearer()).body["remaining_credits"], 99);
    }
    upstream.stop();
    thread.join();
}
