#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>
#include <httplib.h>
#include <memory>

// wordloom-server as a child process on a free loopback port with an in-memory database, plus a plain HTTP client
// that plays the browser (it does not follow redirects) and reads the development mailbox.
class WordloomServerProcess
{
public:
    explicit WordloomServerProcess(QStringList extraArguments = {})
    {
        m_process.setProgram(QStringLiteral(WORDLOOM_SERVER_PATH));
        m_process.setArguments(QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--db"),
                                           QStringLiteral(":memory:"), QStringLiteral("--quiet")} +
                               extraArguments);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        const QRegularExpression ready(QStringLiteral("listening on (\\S+) "));
        while (m_origin.isEmpty() && m_process.waitForReadyRead(10000)) {
            while (m_process.canReadLine()) {
                const auto match = ready.match(QString::fromUtf8(m_process.readLine()));
                if (match.hasMatch()) {
                    m_origin = match.captured(1);
                }
            }
        }
        if (m_origin.isEmpty()) {
            ADD_FAILURE() << "wordloom-server did not start";
            return;
        }
        m_browser = std::make_unique<httplib::Client>(m_origin.toStdString());
        m_browser->set_read_timeout(30, 0);
    }

    ~WordloomServerProcess()
    {
        m_browser.reset();
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    QString origin() const { return m_origin; }
    httplib::Client &browser() { return *m_browser; }

    // The newest message of the development mailbox to `email` ({} when there is none).
    QJsonObject lastMail(const QString &email)
    {
        const auto result =
            m_browser->Get("/dev/mailbox", httplib::Params{{"email", email.toStdString()}}, httplib::Headers{});
        if (!result || result->status != 200) {
            ADD_FAILURE() << "the mailbox did not answer";
            return {};
        }
        const QJsonArray messages = QJsonDocument::fromJson(QByteArray::fromStdString(result->body))
                                        .object()
                                        .value(QStringLiteral("messages"))
                                        .toArray();
        return messages.isEmpty() ? QJsonObject() : messages.last().toObject();
    }

    // The Location of the redirect that `url` (on this server) answers with; empty when it does not redirect.
    QString redirectOf(const QUrl &url)
    {
        const auto result =
            m_browser->Get(url.toString(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::FullyEncoded).toStdString());
        if (!result || result->status < 300 || result->status > 399) {
            ADD_FAILURE() << "no redirect from " << url.path().toStdString();
            return {};
        }
        return QString::fromStdString(result->get_header_value("Location"));
    }

private:
    QProcess m_process;
    QString m_origin;
    std::unique_ptr<httplib::Client> m_browser;
};
