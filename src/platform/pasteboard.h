#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// One pasteboard item: every representation it offers, each a type name (a MIME type on Linux) and its bytes.
struct PasteboardItem
{
    QList<QPair<QString, QByteArray>> representations;

    bool operator==(const PasteboardItem &) const = default;
};

using PasteboardContents = QList<PasteboardItem>;

// The general pasteboard (the CLIPBOARD selection on Linux).
class Pasteboard
{
public:
    static inline const QString plainTextType = QStringLiteral("text/plain");

    Pasteboard() = default;
    virtual ~Pasteboard();
    Pasteboard(const Pasteboard &) = delete;
    Pasteboard &operator=(const Pasteboard &) = delete;

    // Increases whenever the contents change, by this program or by anyone else.
    virtual qint64 changeCount() = 0;
    // Completes when changeCount() has moved past `count`, or after `timeoutSeconds`; true when it moved.
    virtual QCoro::Task<bool> waitForChange(qint64 count, double timeoutSeconds) = 0;

    virtual std::optional<QString> string() = 0;
    // Every item with every representation, for a faithful restore.
    virtual PasteboardContents contents() = 0;
    virtual void clearContents() = 0;
    // Puts `text` as plain text. A transient entry is marked so clipboard managers do not keep it.
    virtual void setString(const QString &text, bool transient) = 0;
    virtual void setContents(const PasteboardContents &contents) = 0;
};
