#pragma once

#include "stt/transcriber.h"

#include <string>

namespace wordloom {

// Decodes any container and codec GStreamer can play (AAC in M4A above all) to 16 kHz mono samples.
// Throws AudioDecodeError with a readable reason when the bytes are not decodable audio or exceed `maxSeconds`.
DecodedAudio decodeAudio(const std::string &bytes, double maxSeconds);

} // namespace wordloom
