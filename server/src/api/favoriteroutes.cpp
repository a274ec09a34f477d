#include "api/apihttp.h"
#include "api/apiroutes.h"
#include "api/historystore.h"
#include "app/servercontext.h"

namespace wordloom {

namespace {
constexpr std::int64_t kDefaultPageSize = 50;
constexpr std::int64_t kMaxPageSize = 200;
constexpr std::int64_t kMaxOffset = 100'000'000;
} // namespace

void registerFavoriteRoutes(httplib::Server &server, ServerContext &context)
{
    server.Get("/api/v1/favorites", apihttp::authenticated(context, [&context](const auto &request, auto &response,
                                                                               const std::string &userId) {
                   const auto limit = apihttp::queryInteger(request, "limit", kDefaultPageSize, 1, kMaxPageSize);
                   const auto offset = apihttp::queryInteger(request, "offset", 0, 0, kMaxOffset);
                   HistoryStore history(context);
                   apihttp::sendJson(response, 200,
                                     {{"favorites", history.favorites(userId, limit, offset)},
                                      {"total", history.favoriteCount(userId)},
                                      {"limit", limit},
                                      {"offset", offset}});
               }));
    server.Post("/api/v1/favorites", apihttp::authenticated(context, [&context](const auto &request, auto &response,
                                                                                const std::string &userId) {
                    const auto body = apihttp::parseBody(request);
                    const std::string historyId = apihttp::requiredString(body, "history_id");
                    const auto favorite = HistoryStore(context).addFavorite(userId, historyId);
                    if (!favorite) {
                        throw ApiError(404, "History item not found");
                    }
                    apihttp::sendJson(response, 201, *favorite);
                }));
    // Accepts the favourite's own id or the id of the history record it marks.
    server.Delete(
        R"(/api/v1/favorites/([^/]+))",
        apihttp::authenticated(context, [&context](const auto &request, auto &response, const std::string &userId) {
            if (!HistoryStore(context).removeFavorite(userId, request.matches[1])) {
                throw ApiError(404, "Favorite not found");
            }
            response.status = 204;
        }));
}

} // namespace wordloom
