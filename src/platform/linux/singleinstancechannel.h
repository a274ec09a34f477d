#pragma once

#include <QList>
#include <QLocalServer>
#include <QObject>
#include <QStringList>

class QLocalSocket;

// Keeps the program to one instance per user and brings the URLs of later starts (links of the program's scheme that
// the desktop opens with a new process) to the running one. The running instance listens on a local socket; a later
// start connects, writes its URLs, and exits.
class SingleInstanceChannel : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstanceChannel(QString serverName = defaultServerName(), QObject *parent = nullptr);
    ~SingleInstanceChannel() override;

    // A socket in the user's runtime directory ($XDG_RUNTIME_DIR, else Qt's private per-user fallback).
    static QString defaultServerName();
    // The arguments that are URLs of the program's scheme, in any letter case, in their order, as written: the
    // receiver matches scheme and host exactly, which QUrl's lower-casing would hide.
    static QStringList urlsFromArguments(const QStringList &arguments);

    const QString &serverName() const { return m_serverName; }

    // Becomes the running instance. A socket left behind by an instance that ended without cleaning up is replaced.
    // False when another instance is listening already, or when the socket cannot be created.
    bool listen();
    bool isListening() const;

    // For a later start, before its event loop runs: hands `urls` (possibly none) to the running instance. False when
    // no instance is running. Blocks for at most about a second.
    bool handOff(const QStringList &urls) const;

Q_SIGNALS:
    // A later start handed over its URLs; an empty list when it had none (the user only started the program again).
    void urlsReceived(QStringList urls);

private:
    void acceptConnections();
    void readMessage(QLocalSocket *socket);
    bool isServed() const;

    QString m_serverName;
    QLocalServer m_server;
};
