#include "platform/linux/browserwebauthsession.h"

#include <QCoroFuture>
#include <QDesktopServices>
#include <QLoggingCategory>
#include <QPromise>

namespace {

Q_LOGGING_CATEGORY(lcWebAuth, "lumora.webauth")

WebAuthOutcome cancelledOutcome()
{
    return WebAuthOutcome{.errorCode = WebAuthOutcome::cancelledByUser,
                          .errorDescription = QStringLiteral("The sign-in was cancelled.")};
}

} // namespace

// One start(): its callback scheme and its outcome, kept after it finished for later completion() calls.
class BrowserWebAuthSession::Attempt
{
public:
    explicit Attempt(QString callbackScheme)
        : m_callbackScheme(std::move(callbackScheme))
    {
        m_promise.start();
    }

    bool isRunning() const { return !m_finished; }
    const QString &callbackScheme() const { return m_callbackScheme; }
    QFuture<WebAuthOutcome> outcome() { return m_promise.future(); }

    void finish(WebAuthOutcome outcome)
    {
        if (m_finished) {
            return;
        }
        m_finished = true;
        m_promise.addResult(std::move(outcome));
        m_promise.finish();
    }

private:
    QString m_callbackScheme;
    QPromise<WebAuthOutcome> m_promise;
    bool m_finished = false;
};

BrowserWebAuthSession::BrowserWebAuthSession(UrlOpener opener)
    : m_opener(std::move(opener))
{}

BrowserWebAuthSession::~BrowserWebAuthSession()
{
    // Whoever still waits for the outcome must not wait forever.
    finishRunning(cancelledOutcome());
}

BrowserWebAuthSession::UrlOpener BrowserWebAuthSession::systemBrowser()
{
    return [](const QUrl &url) { return QDesktopServices::openUrl(url); };
}

bool BrowserWebAuthSession::start(QUrl url, QString callbackScheme)
{
    if (isRunning()) {
        qCInfo(lcWebAuth) << "A new sign-in replaces the one that was running";
        finishRunning(cancelledOutcome());
    }
    m_attempt = std::make_shared<Attempt>(std::move(callbackScheme));
    // The page's address carries the sign-in request's parameters: only its host is logged.
    if (!m_opener(url)) {
        qCWarning(lcWebAuth) << "Could not open the sign-in page of" << url.host() << "in the browser";
        m_attempt->finish(WebAuthOutcome{.errorDescription = QStringLiteral("The browser could not be opened.")});
        return false;
    }
    qCInfo(lcWebAuth) << "Opened the sign-in page of" << url.host() << "in the browser";
    return true;
}

QCoro::Task<WebAuthOutcome> BrowserWebAuthSession::completion()
{
    if (!m_attempt) {
        co_return WebAuthOutcome{};
    }
    // The attempt stays alive with this task even when the session object goes away meanwhile.
    const std::shared_ptr<Attempt> attempt = m_attempt;
    QFuture<WebAuthOutcome> outcome = attempt->outcome();
    WebAuthOutcome result = co_await outcome;
    co_return result;
}

void BrowserWebAuthSession::cancel()
{
    if (isRunning()) {
        qCInfo(lcWebAuth) << "The sign-in was cancelled";
        finishRunning(cancelledOutcome());
    }
}

bool BrowserWebAuthSession::deliverCallback(const QUrl &url)
{
    if (!isRunning() || m_attempt->callbackScheme().isEmpty() ||
        url.scheme().compare(m_attempt->callbackScheme(), Qt::CaseInsensitive) != 0) {
        return false;
    }
    qCInfo(lcWebAuth) << "The sign-in callback arrived";
    finishRunning(WebAuthOutcome{.callbackUrl = url});
    return true;
}

bool BrowserWebAuthSession::isRunning() const
{
    return m_attempt && m_attempt->isRunning();
}

void BrowserWebAuthSession::finishRunning(WebAuthOutcome outcome)
{
    if (isRunning()) {
        m_attempt->finish(std::move(outcome));
    }
}
