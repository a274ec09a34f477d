#pragma once

#include "platform/webauthsession.h"

#include <functional>
#include <memory>

// Web sign-in in the user's browser. The provider's redirect to the program's own scheme reaches the program as a
// URL given to a new start, which hands it to the running instance; the composition root passes such URLs to
// deliverCallback. A browser tab cannot be watched, so the session ends only by that callback, by cancel() (the
// program's own cancel control), by a newer start(), or by the destruction of this object.
class BrowserWebAuthSession : public WebAuthSession
{
public:
    // Opens a URL outside the program; false when it could not.
    using UrlOpener = std::function<bool(const QUrl &)>;

    explicit BrowserWebAuthSession(UrlOpener opener);
    ~BrowserWebAuthSession() override;

    // The desktop's default handler (QDesktopServices::openUrl); needs a QGuiApplication.
    static UrlOpener systemBrowser();

    bool start(QUrl url, QString callbackScheme) override;
    // The outcome of the latest session; an outcome without URL and without error when none was ever started.
    QCoro::Task<WebAuthOutcome> completion() override;
    void cancel() override;

    // Offers a URL delivered to the program. When a session is running and the URL has its callback scheme (in any
    // letter case), the session completes with it and the answer is true; otherwise the URL is not ours (false).
    bool deliverCallback(const QUrl &url);
    bool isRunning() const;

private:
    class Attempt;

    void finishRunning(WebAuthOutcome outcome);

    UrlOpener m_opener;
    std::shared_ptr<Attempt> m_attempt;
};
