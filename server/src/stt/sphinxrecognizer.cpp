#include "stt/sphinxrecognizer.h"

#include <pocketsphinx.h>

namespace wordloom {

SphinxRecognizer::SphinxRecognizer(std::string modelDirectory)
    : m_modelDirectory(std::move(modelDirectory))
{}

SphinxRecognizer::~SphinxRecognizer()
{
    if (m_decoder) {
        ps_free(m_decoder);
    }
    if (m_config) {
        cmd_ln_free_r(static_cast<cmd_ln_t *>(m_config));
    }
}

std::string SphinxRecognizer::transcribe(const DecodedAudio &audio, const std::string &, const std::string &)
{
    std::lock_guard guard(m_mutex);
    if (!m_decoder) {
        const std::string hmm = m_modelDirectory + "/en-us";
        const std::string lm = m_modelDirectory + "/en-us.lm.bin";
        const std::string dict = m_modelDirectory + "/cmudict-en-us.dict";
        cmd_ln_t *config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.c_str(), "-lm", lm.c_str(), "-dict",
                                       dict.c_str(), "-logfn", "/dev/null", nullptr);
        if (!config) {
            throw TranscriptionError("Speech recognition is not available: the English model is missing");
        }
        m_decoder = ps_init(config);
        if (!m_decoder) {
            cmd_ln_free_r(config);
            throw TranscriptionError("Speech recognition is not available: the decoder did not start");
        }
        m_config = config;
    }
    if (ps_start_utt(m_decoder) < 0) {
        throw TranscriptionError("Speech recognition failed to start");
    }
    ps_process_raw(m_decoder, audio.samples.data(), audio.samples.size(), FALSE, TRUE);
    ps_end_utt(m_decoder);
    int32 score = 0;
    const char *hypothesis = ps_get_hyp(m_decoder, &score);
    return hypothesis ? hypothesis : "";
}

} // namespace wordloom
