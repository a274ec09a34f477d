#include "stt/audiodecoder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <memory>
#include <mutex>
#include <unistd.h>

namespace wordloom {

namespace {

constexpr int kSampleRate = 16000;
constexpr auto kPullInterval = 20 * GST_MSECOND;
constexpr auto kDecodeDeadline = std::chrono::seconds(60);
// Decoding a file never waits for input, so a long pause without a single buffer means the pipeline is stuck. This
// happens with some broken files, where decodebin drops the demuxer's error while giving up on autoplugging.
constexpr auto kStallTimeout = std::chrono::seconds(5);

// The upload written to a private temporary file for filesrc, removed again on every path.
class TemporaryFile
{
public:
    explicit TemporaryFile(const std::string &bytes)
    {
        const char *dir = std::getenv("TMPDIR");
        std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/wordloom-upload-XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0) {
            throw std::runtime_error("cannot create a temporary file for the upload");
        }
        m_path = pattern;
        std::size_t written = 0;
        while (written < bytes.size()) {
            const auto n = ::write(fd, bytes.data() + written, bytes.size() - written);
            if (n <= 0) {
                ::close(fd);
                std::remove(m_path.c_str());
                throw std::runtime_error("cannot write the upload to a temporary file");
            }
            written += static_cast<std::size_t>(n);
        }
        ::close(fd);
    }
    ~TemporaryFile() { std::remove(m_path.c_str()); }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    const std::string &path() const { return m_path; }

private:
    std::string m_path;
};

struct PipelineDeleter
{
    void operator()(GstElement *pipeline) const
    {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }
};

std::string busError(GstBus *bus)
{
    GstMessage *message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    if (!message) {
        return {};
    }
    GError *error = nullptr;
    gchar *debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    std::string text = error && error->message ? error->message : "unknown decoding error";
    g_clear_error(&error);
    g_free(debug);
    gst_message_unref(message);
    return text;
}

} // namespace

DecodedAudio decodeAudio(const std::string &bytes, double maxSeconds)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { gst_init(nullptr, nullptr); });

    TemporaryFile file(bytes);
    GError *parseError = nullptr;
    std::unique_ptr<GstElement, PipelineDeleter> pipeline(gst_parse_launch(
        "filesrc name=source ! decodebin ! audioconvert ! audioresample ! "
        "audio/x-raw,format=S16LE,rate=16000,channels=1,layout=interleaved ! appsink name=sink sync=false",
        &parseError));
    if (!pipeline || parseError) {
        const std::string reason = parseError ? parseError->message : "pipeline could not be built";
        g_clear_error(&parseError);
        throw std::runtime_error("audio decoder unavailable: " + reason);
    }
    GstElement *source = gst_bin_get_by_name(GST_BIN(pipeline.get()), "source");
    g_object_set(source, "location", file.path().c_str(), nullptr);
    gst_object_unref(source);
    GstElement *sinkElement = gst_bin_get_by_name(GST_BIN(pipeline.get()), "sink");
    auto *sink = GST_APP_SINK(sinkElement);
    GstBus *bus = gst_element_get_bus(pipeline.get());

    DecodedAudio audio;
    std::string failure;
    const auto started = std::chrono::steady_clock::now();
    auto lastProgress = started;
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    while (true) {
        if (GstSample *sample = gst_app_sink_try_pull_sample(sink, kPullInterval)) {
            GstBuffer *buffer = gst_sample_get_buffer(sample);
            GstMapInfo map;
            if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                const auto *data = reinterpret_cast<const std::int16_t *>(map.data);
                audio.samples.insert(audio.samples.end(), data, data + map.size / sizeof(std::int16_t));
                gst_buffer_unmap(buffer, &map);
            }
            gst_sample_unref(sample);
            lastProgress = std::chrono::steady_clock::now();
            if (static_cast<double>(audio.samples.size()) / kSampleRate > maxSeconds) {
                failure = "the recording is longer than " + std::to_string(static_cast<int>(maxSeconds)) + " seconds";
                break;
            }
            continue;
        }
        if (gst_app_sink_is_eos(sink)) {
            break;
        }
        if (failure = busError(bus); !failure.empty()) {
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - lastProgress > kStallTimeout) {
            failure = "no audio could be decoded from the file";
            break;
        }
        if (now - started > kDecodeDeadline) {
            failure = "decoding took too long";
            break;
        }
    }
    if (failure.empty()) {
        failure = busError(bus);
    }
    gst_object_unref(bus);
    gst_object_unref(sinkElement);
    if (!failure.empty()) {
        throw AudioDecodeError(failure);
    }
    if (audio.samples.empty()) {
        throw AudioDecodeError("the file contains no audio");
    }
    audio.durationSeconds = static_cast<double>(audio.samples.size()) / kSampleRate;
    return audio;
}

} // namespace wordloom
