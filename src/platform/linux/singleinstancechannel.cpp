#include "platform/linux/singleinstancechannel.h"

#include <QLocalSocket>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QUrl>

namespace {

Q_LOGGING_CATEGORY(lcInstance, "lumora.instance")

// The protocol: one encoded URL per line, and an empty line that ends the message.
constexpr char separator = '\n';
// A message never needs this much; a peer that sends more is cut off.
constexpr qsizetype maximumMessageBytes = 1024 * 1024;
constexpr int connectMilliseconds = 1000;
constexpr int writeMilliseconds = 1000;

} // namespace

SingleInstanceChannel::SingleInstanceChannel(QString serverName, QObject *parent)
    : QObject(parent)
    , m_serverName(std::move(serverName))
{
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstanceChannel::acceptConnections);
}

SingleInstanceChannel::~SingleInstanceChannel() = default;

QString SingleInstanceChannel::defaultServerName()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/lumora-prompt.socket");
}

QStringList SingleInstanceChannel::urlsFromArguments(const QStringList &arguments)
{
    QStringList urls;
    for (const QString &argument : arguments) {
        const QUrl url(argument, QUrl::StrictMode);
        if (url.isValid() && url.scheme().compare(QStringLiteral("wordloom"), Qt::CaseInsensitive) == 0 &&
            !argument.contains(QLatin1Char(separator))) {
            urls.append(argument);
        }
    }
    return urls;
}

bool SingleInstanceChannel::listen()
{
    if (m_server.isListening()) {
        return true;
    }
    if (isServed()) {
        qCInfo(lcInstance) << "Another instance is running";
        return false;
    }
    // Nobody answers on the socket: whatever is left at its path belongs to an instance that is gone.
    QLocalServer::removeServer(m_serverName);
    if (!m_server.listen(m_serverName)) {
        qCWarning(lcInstance) << "Cannot listen for later starts:" << m_server.errorString();
        return false;
    }
    return true;
}

bool SingleInstanceChannel::isListening() const
{
    return m_server.isListening();
}

bool SingleInstanceChannel::handOff(const QStringList &urls) const
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(connectMilliseconds)) {
        return false;
    }
    QByteArray message;
    for (const QString &url : urls) {
        message += url.toUtf8() + separator;
    }
    message += separator;
    socket.write(message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(writeMilliseconds)) {
            qCWarning(lcInstance) << "The running instance did not take the URLs:" << socket.errorString();
            return false;
        }
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.waitForDisconnected(writeMilliseconds);
    }
    qCInfo(lcInstance) << "Handed" << urls.size() << "URL(s) to the running instance";
    return true;
}

bool SingleInstanceChannel::isServed() const
{
    QLocalSocket probe;
    probe.connectToServer(m_serverName);
    const bool served = probe.waitForConnected(connectMilliseconds);
    probe.abort();
    return served;
}

void SingleInstanceChannel::acceptConnections()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readMessage(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // Data may have arrived together with the connection.
        readMessage(socket);
    }
}

void SingleInstanceChannel::readMessage(QLocalSocket *socket)
{
    if (socket->bytesAvailable() > maximumMessageBytes) {
        qCWarning(lcInstance) << "Dropped an oversized message from a later start";
        socket->abort();
        return;
    }
    const QByteArray pending = socket->peek(socket->bytesAvailable());
    const qsizetype end = pending.indexOf(QByteArray(2, separator));
    const bool emptyMessage = pending.startsWith(separator);
    if (end < 0 && !emptyMessage) {
        return; // wait for the rest
    }
    const QByteArray message = socket->read(emptyMessage ? 1 : end + 2);
    // One message per connection: whatever follows it is not read.
    socket->disconnect(this);
    socket->disconnectFromServer();

    QStringList urls;
    for (const QByteArray &line : message.split(separator)) {
        const QString url = QString::fromUtf8(line);
        if (!url.isEmpty() && QUrl(url, QUrl::StrictMode).isValid()) {
            urls.append(url);
        }
    }
    // The URLs carry sign-in tokens: only their number is logged.
    qCInfo(lcInstance) << "A later start handed over" << urls.size() << "URL(s)";
    Q_EMIT urlsReceived(urls);
}
