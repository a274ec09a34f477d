#pragma once

#include <QObject>
#include <QPointer>

// moc cannot parse the C++20 concepts that the coroutine headers pull in; it needs none of these declarations.
#ifndef Q_MOC_RUN
#include "platform/pasteboard.h"
#endif

class QClipboard;

// The CLIPBOARD selection through QClipboard. Pasteboard types are MIME types; an item is the whole QMimeData.
// The clipboard must outlive this object, and this object any waitForChange() in progress.
class QtPasteboard : public QObject, public Pasteboard
{
    Q_OBJECT

public:
    // The type that tells clipboard managers not to keep an entry, and its value.
    static inline const QString passwordManagerHintType = QStringLiteral("x-kde-passwordManagerHint");
    static inline const QByteArray passwordManagerHintSecret = QByteArrayLiteral("secret");

    // `clipboard` is QGuiApplication::clipboard() in the program.
    explicit QtPasteboard(QClipboard *clipboard, QObject *parent = nullptr);
    ~QtPasteboard() override;

    qint64 changeCount() override;
    QCoro::Task<bool> waitForChange(qint64 count, double timeoutSeconds) override;

    std::optional<QString> string() override;
    PasteboardContents contents() override;
    void clearContents() override;
    void setString(const QString &text, bool transient) override;
    void setContents(const PasteboardContents &contents) override;

Q_SIGNALS:
    // changeCount() moved on.
    void changeCountChanged();

private:
    QPointer<QClipboard> m_clipboard;
    qint64 m_changeCount = 0;
};
