#include "platform/linux/desktop/qtpasteboard.h"

#include <QClipboard>
#include <QCoroSignal>
#include <QDeadlineTimer>
#include <QImage>
#include <QLoggingCategory>
#include <QMimeData>

#include <algorithm>
#include <chrono>

namespace {

Q_LOGGING_CATEGORY(lcPasteboard, "lumora.platform.pasteboard")

// The form in which Qt offers an image it decoded itself. It is only an alias of the image/* formats the owner
// really offers; its bytes do not describe the image, so putting it back would spoil the image when read back.
const QString qtImageType = QStringLiteral("application/x-qt-image");

// Targets of the X selection protocol itself, which Qt lists among the formats of another client's data.
bool isSelectionProtocolTarget(const QString &format)
{
    static const QStringList targets{QStringLiteral("TARGETS"),          QStringLiteral("MULTIPLE"),
                                     QStringLiteral("TIMESTAMP"),        QStringLiteral("SAVE_TARGETS"),
                                     QStringLiteral("DELETE"),           QStringLiteral("INCR"),
                                     QStringLiteral("INSERT_SELECTION"), QStringLiteral("INSERT_PROPERTY")};
    return targets.contains(format);
}

bool hasOtherImageFormat(const QStringList &formats)
{
    return std::any_of(formats.cbegin(), formats.cend(),
                       [](const QString &format) { return format.startsWith(QLatin1String("image/")); });
}

} // namespace

QtPasteboard::QtPasteboard(QClipboard *clipboard, QObject *parent)
    : QObject(parent)
    , m_clipboard(clipboard)
{
    connect(m_clipboard, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode != QClipboard::Clipboard) {
            return;
        }
        ++m_changeCount;
        Q_EMIT changeCountChanged();
    });
}

QtPasteboard::~QtPasteboard() = default;

qint64 QtPasteboard::changeCount()
{
    return m_changeCount;
}

QCoro::Task<bool> QtPasteboard::waitForChange(qint64 count, double timeoutSeconds)
{
    const QDeadlineTimer deadline(std::chrono::milliseconds(qint64(std::max(timeoutSeconds, 0.0) * 1000.0)));
    while (m_changeCount <= count) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0) {
            co_return false;
        }
        QCoro::Task<std::optional<std::tuple<>>> changed =
            qCoro(this, &QtPasteboard::changeCountChanged, std::chrono::milliseconds(left));
        co_await std::move(changed);
    }
    co_return true;
}

std::optional<QString> QtPasteboard::string()
{
    const QMimeData *data = m_clipboard ? m_clipboard->mimeData(QClipboard::Clipboard) : nullptr;
    if (data == nullptr || !data->hasText()) {
        return std::nullopt;
    }
    return data->text();
}

PasteboardContents QtPasteboard::contents()
{
    const QMimeData *data = m_clipboard ? m_clipboard->mimeData(QClipboard::Clipboard) : nullptr;
    if (data == nullptr) {
        return {};
    }
    const QStringList formats = data->formats();
    const bool skipQtImage = hasOtherImageFormat(formats);
    PasteboardItem item;
    for (const QString &format : formats) {
        if (isSelectionProtocolTarget(format) || (format == qtImageType && skipQtImage)) {
            continue;
        }
        // Asking another client converts synchronously, with Qt's own time limit. A conversion the owner refused
        // or that timed out comes back empty: offering it again as an empty type would only mislead readers.
        QByteArray bytes = data->data(format);
        if (bytes.isEmpty()) {
            continue;
        }
        item.representations.append({format, std::move(bytes)});
    }
    if (item.representations.isEmpty()) {
        return {};
    }
    qCDebug(lcPasteboard) << "read" << item.representations.size() << "representations";
    return {item};
}

void QtPasteboard::clearContents()
{
    if (m_clipboard) {
        m_clipboard->clear(QClipboard::Clipboard);
    }
}

void QtPasteboard::setString(const QString &text, bool transient)
{
    if (!m_clipboard) {
        return;
    }
    auto *data = new QMimeData;
    data->setText(text);
    if (transient) {
        data->setData(passwordManagerHintType, passwordManagerHintSecret);
    }
    m_clipboard->setMimeData(data, QClipboard::Clipboard); // the clipboard owns it now
}

void QtPasteboard::setContents(const PasteboardContents &contents)
{
    if (!m_clipboard) {
        return;
    }
    // The X11 clipboard holds one item; a second one could only be merged into it, so only the first is kept.
    if (contents.size() > 1) {
        qCWarning(lcPasteboard) << "the clipboard holds one item; keeping the first of" << contents.size();
    }
    if (contents.isEmpty() || contents.first().representations.isEmpty()) {
        m_clipboard->clear(QClipboard::Clipboard);
        return;
    }
    auto *data = new QMimeData;
    QImage image;
    for (const auto &[type, bytes] : contents.first().representations) {
        data->setData(type, bytes);
        if (image.isNull() && type.startsWith(QLatin1String("image/"))) {
            image = QImage::fromData(bytes);
        }
    }
    // Other clients get the bytes above under their own types; this process's readers ask for the decoded image.
    if (!image.isNull() && !data->hasFormat(qtImageType)) {
        data->setImageData(image);
    }
    m_clipboard->setMimeData(data, QClipboard::Clipboard); // the clipboard owns it now
}
