#include "stt/remotetranscriber.h"

#include "engine/llmengine.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace wordloom {

RemoteTranscriber::RemoteTranscriber(const std::string &url, std::string model, std::string apiKey, int timeoutSeconds)
    : m_model(std::move(model))
    , m_apiKey(std::move(apiKey))
    , m_timeoutSeconds(timeoutSeconds)
{
    std::tie(m_origin, m_path) = splitHttpUrl(url, "/v1/audio/transcriptions");
}

std::string RemoteTranscriber::transcribe(const DecodedAudio &, const std::string &original,
                                          const std::string &fileName)
{
    httplib::Client client(m_origin);
    client.set_connection_timeout(10, 0);
    client.set_read_timeout(m_timeoutSeconds, 0);
    client.set_write_timeout(m_timeoutSeconds, 0);
    httplib::Headers headers;
    if (!m_apiKey.empty()) {
        headers.emplace("Authorization", "Bearer " + m_apiKey);
    }
    const httplib::MultipartFormDataItems items = {
        {"file", original, fileName.empty() ? "recording.m4a" : fileName, "audio/m4a"},
        {"model", m_model, "", ""},
    };
    const auto result = client.Post(m_path, headers, items);
    if (!result) {
        throw TranscriptionError("The transcription service could not be reached: " +
                                 httplib::to_string(result.error()));
    }
    if (result->status < 200 || result->status >= 300) {
        throw TranscriptionError("The transcription service answered HTTP " + std::to_string(result->status));
    }
    const auto answer = nlohmann::json::parse(result->body, nullptr, false);
    if (!answer.is_object() || !answer.contains("text") || !answer["text"].is_string()) {
        throw TranscriptionError("The transcription service returned no text");
    }
    return answer["text"].get<std::string>();
}

} // namespace wordloom
