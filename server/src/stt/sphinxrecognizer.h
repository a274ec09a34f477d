#pragma once

#include "stt/transcriber.h"

#include <mutex>
#include <string>

typedef struct ps_decoder_s ps_decoder_t;

namespace wordloom {

// Offline English recognition with pocketsphinx and its general US English model. Accuracy on everyday speech is
// modest. The decoder is loaded on first use and shared; one recognition runs at a time.
class SphinxRecognizer : public Transcriber
{
public:
    explicit SphinxRecognizer(std::string modelDirectory);
    ~SphinxRecognizer() override;

    std::string transcribe(const DecodedAudio &audio, const std::string &original,
                           const std::string &fileName) override;

private:
    std::string m_modelDirectory;
    std::mutex m_mutex;
    ps_decoder_t *m_decoder = nullptr;
    void *m_config = nullptr;
};

} // namespace wordloom
