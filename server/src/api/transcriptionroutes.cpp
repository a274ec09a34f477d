#include "api/apihttp.h"
#include "api/apiroutes.h"
#include "api/profilestore.h"
#include "app/servercontext.h"
#include "stt/audiodecoder.h"
#include "stt/transcriber.h"

#include <cmath>

namespace wordloom {

namespace {

constexpr double kMaxRecordingSeconds = 600;
constexpr double kSecondsPerCredit = 60;

void transcribe(ServerContext &context, const httplib::Request &request, httplib::Response &response,
                const std::string &userId)
{
    if (!request.is_multipart_form_data() || !request.has_file("file")) {
        throw ApiError(400, "Expected a multipart/form-data upload with a 'file' field");
    }
    const auto file = request.get_file_value("file");
    if (file.content.empty()) {
        throw ApiError(400, "The uploaded file is empty");
    }
    ProfileStore profiles(context);
    if (profiles.remainingCredits(userId) < 1) {
        throw ApiError(402, "Insufficient credits");
    }
    DecodedAudio audio;
    try {
        audio = decodeAudio(file.content, kMaxRecordingSeconds);
    } catch (const AudioDecodeError &error) {
        throw ApiError(400, std::string("Invalid audio file: ") + error.what());
    }
    std::string transcript;
    try {
        transcript = context.transcriber->transcribe(audio, file.content, file.filename);
    } catch (const TranscriptionError &error) {
        throw ApiError(502, error.what());
    }
    // One credit per started minute of audio.
    const auto cost =
        std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil(audio.durationSeconds / kSecondsPerCredit)));
    Transaction transaction(context.db);
    if (!profiles.charge(userId, cost)) {
        throw ApiError(402, "Insufficient credits");
    }
    const std::int64_t remaining = profiles.remainingCredits(userId);
    transaction.commit();
    apihttp::sendJson(response, 200,
                      {{"text", transcript},
                       {"duration_seconds", audio.durationSeconds},
                       {"language", "en"},
                       {"credits_remaining", remaining}});
}

} // namespace

void registerTranscriptionRoutes(httplib::Server &server, ServerContext &context)
{
    server.Post(
        "/api/v1/audio/transcribe",
        apihttp::authenticated(context, [&context](const auto &request, auto &response, const std::string &userId) {
            transcribe(context, request, response, userId);
        }));
}

} // namespace wordloom
