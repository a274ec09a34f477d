#pragma once

#include "stt/transcriber.h"

#include <string>

namespace wordloom {

// Forwards the upload to an OpenAI-compatible transcription endpoint (multipart "file" and "model").
class RemoteTranscriber : public Transcriber
{
public:
    RemoteTranscriber(const std::string &url, std::string model, std::string apiKey, int timeoutSeconds);

    std::string transcribe(const DecodedAudio &audio, const std::string &original,
                           const std::string &fileName) override;

private:
    std::string m_origin;
    std::string m_path;
    std::string m_model;
    std::string m_apiKey;
    int m_timeoutSeconds;
};

} // namespace wordloom
