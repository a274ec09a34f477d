#pragma once

#include <QCoroTask>
#include <QString>
#include <QUrl>

#include <optional>

// How a web sign-in ended.
struct WebAuthOutcome
{
    // Error code of the platform's web-authentication session; none when it ended without an error.
    static constexpr int cancelledByUser = 1;

    std::optional<QUrl> callbackUrl;
    std::optional<int> errorCode;
    QString errorDescription;
};

// A sign-in page shown to the user (the system browser on Linux) that ends when the provider redirects to a URL of
// the program's own scheme.
class WebAuthSession
{
public:
    WebAuthSession() = default;
    virtual ~WebAuthSession();
    WebAuthSession(const WebAuthSession &) = delete;
    WebAuthSession &operator=(const WebAuthSession &) = delete;

    // Opens `url`; false when the page could not be opened at all.
    virtual bool start(QUrl url, QString callbackScheme) = 0;
    // Completes when the callback URL arrives or the session is cancelled (errorCode cancelledByUser). A newer
    // start() cancels the session that was running.
    virtual QCoro::Task<WebAuthOutcome> completion() = 0;
    virtual void cancel() = 0;
};
