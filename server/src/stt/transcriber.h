#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace wordloom {

// Decoded speech: 16 kHz mono signed 16-bit samples.
struct DecodedAudio
{
    std::vector<std::int16_t> samples;
    double durationSeconds = 0;
};

// The upload is not audio the server can decode; answered as 400.
class AudioDecodeError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Recognition failed (an upstream service, or the local recogniser could not start); answered as 502.
class TranscriptionError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class Transcriber
{
public:
    virtual ~Transcriber() = default;
    // `original` is the upload as received, for engines that take the encoded file.
    virtual std::string transcribe(const DecodedAudio &audio, const std::string &original,
                                   const std::string &fileName) = 0;
};

} // namespace wordloom
