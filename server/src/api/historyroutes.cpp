#include "api/apihttp.h"
#include "api/apiroutes.h"
#include "api/historystore.h"
#include "app/servercontext.h"

namespace wordloom {

namespace {

constexpr std::int64_t kDefaultPageSize = 50;
constexpr std::int64_t kMaxPageSize = 200;
constexpr std::int64_t kMaxOffset = 100'000'000;
constexpr std::size_t kMaxBulkIds = 1000;

// The search term is the last query parameter and is sent with '&', '=' and '+' unescaped, so it is taken from the
// raw target up to its end and percent-decoded without turning '+' into a space.
std::string searchTerm(const httplib::Request &request)
{
    const std::string &target = request.target;
    const auto query = target.find('?');
    if (query == std::string::npos) {
        return {};
    }
    for (auto at = target.find("search=", query); at != std::string::npos; at = target.find("search=", at + 1)) {
        if (target[at - 1] == '?' || target[at - 1] == '&') {
            return httplib::detail::decode_url(target.substr(at + 7), false);
        }
    }
    return {};
}

nlohmann::json deleted(int count, const std::string &message)
{
    return {{"deleted_count", count}, {"message", message}};
}

void deleteBulk(ServerContext &context, const httplib::Request &request, httplib::Response &response,
                const std::string &userId)
{
    const auto body = apihttp::parseBody(request);
    const auto it = body.find("ids");
    if (it == body.end() || !it->is_array()) {
        throw ApiError(400, "Field 'ids' must be an array of history ids");
    }
    if (it->size() > kMaxBulkIds) {
        throw ApiError(400, "At most 1000 ids can be deleted at once");
    }
    std::vector<std::string> ids;
    for (const auto &id : *it) {
        if (!id.is_string()) {
            throw ApiError(400, "Field 'ids' must be an array of history ids");
        }
        ids.push_back(id.get<std::string>());
    }
    const int count = HistoryStore(context).removeMany(userId, ids);
    apihttp::sendJson(response, 200, deleted(count, "Deleted " + std::to_string(count) + " history items"));
}

} // namespace

void registerHistoryRoutes(httplib::Server &server, ServerContext &context)
{
    server.Get("/api/v1/usage/history", apihttp::authenticated(context, [&context](const auto &request, auto &response,
                                                                                   const std::string &userId) {
                   const auto limit = apihttp::queryInteger(request, "limit", kDefaultPageSize, 1, kMaxPageSize);
                   const auto offset = apihttp::queryInteger(request, "offset", 0, 0, kMaxOffset);
                   const auto items = HistoryStore(context).page(userId, limit, offset, searchTerm(request));
                   apihttp::sendJson(response, 200, {{"history", items}, {"limit", limit}, {"offset", offset}});
               }));
    server.Delete("/api/v1/usage/history",
                  apihttp::authenticated(context, [&context](const auto &, auto &response, const std::string &userId) {
                      const int count = HistoryStore(context).clear(userId);
                      apihttp::sendJson(response, 200, deleted(count, "History cleared"));
                  }));
    server.Post(
        "/api/v1/usage/history/delete-bulk",
        apihttp::authenticated(context, [&context](const auto &request, auto &response, const std::string &userId) {
            deleteBulk(context, request, response, userId);
        }));
    server.Delete(
        R"(/api/v1/usage/history/([^/]+))",
        apihttp::authenticated(context, [&context](const auto &request, auto &response, const std::string &userId) {
            if (HistoryStore(context).removeOne(userId, request.matches[1]) == 0) {
                throw ApiError(404, "History item not found");
            }
            apihttp::sendJson(response, 200, deleted(1, "History item deleted"));
        }));
}

} // namespace wordloom
