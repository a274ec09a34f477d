#include "platform/linux/x11/x11accessibility.h"

#include "platform/linux/x11/x11atoms.h"
#include "platform/linux/x11/x11log.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <coroutine>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace {

struct Property
{
    xcb_atom_t type = XCB_ATOM_NONE;
    QByteArray data;
};

// Reads and deletes `property` of `window`; none when the server gave no reply.
std::optional<Property> takeProperty(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t property)
{
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, UINT32_MAX / 4),
        nullptr);
    if (!reply) {
        return std::nullopt;
    }
    Property result;
    result.type = reply->type;
    result.data =
        QByteArray(static_cast<const char *>(xcb_get_property_value(reply)), xcb_get_property_value_length(reply));
    std::free(reply);
    return result;
}

// A hidden window that receives one selection transfer: the owner's SelectionNotify and the property changes of
// an incremental transfer, picked out of Qt's event stream on the main thread.
class SelectionRequestor : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    SelectionRequestor(xcb_connection_t *connection, xcb_atom_t property)
        : m_connection(connection)
        , m_property(property)
        , m_window(xcb_generate_id(connection))
    {
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        const uint32_t values[] = {1, XCB_EVENT_MASK_PROPERTY_CHANGE};
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, m_window, screen->root, -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        m_deadline.setSingleShot(true);
        connect(&m_deadline, &QTimer::timeout, this, [this] { wake(true); });
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    ~SelectionRequestor() override
    {
        if (QCoreApplication::instance()) {
            QCoreApplication::instance()->removeNativeEventFilter(this);
        }
        xcb_destroy_window(m_connection, m_window);
        xcb_flush(m_connection);
    }

    xcb_window_t window() const { return m_window; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t") {
            return false;
        }
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        switch (event->response_type & ~0x80) {
        case XCB_SELECTION_NOTIFY: {
            const auto *notify = reinterpret_cast<const xcb_selection_notify_event_t *>(event);
            if (notify->requestor != m_window) {
                return false;
            }
            m_notify = *notify;
            m_newValues = 0; // the property writes before the answer are not increments
            eventArrived();
            return true;
        }
        case XCB_PROPERTY_NOTIFY: {
            const auto *change = reinterpret_cast<const xcb_property_notify_event_t *>(event);
            if (change->window != m_window) {
                return false;
            }
            if (change->atom == m_property && change->state == XCB_PROPERTY_NEW_VALUE) {
                ++m_newValues;
                eventArrived();
            }
            return true;
        }
        default:
            return false;
        }
    }

    // Asks the owner of `selection` for `target`; the answer is awaited with answer().
    void request(xcb_atom_t selection, xcb_atom_t target)
    {
        m_notify.reset();
        xcb_convert_selection(m_connection, m_window, selection, target, m_property, XCB_CURRENT_TIME);
        xcb_flush(m_connection);
    }

    // The owner's answer to the last request; none when `deadline` passed first.
    QCoro::Task<std::optional<xcb_selection_notify_event_t>> answer(QDeadlineTimer deadline)
    {
        while (!m_notify) {
            QCoro::Task<bool> waiting = waitForEvent(deadline);
            if (!co_await std::move(waiting)) {
                co_return std::nullopt;
            }
        }
        co_return m_notify;
    }

    // Waits for the next increment of an incremental transfer; false when `deadline` passed first.
    QCoro::Task<bool> nextIncrement(QDeadlineTimer deadline)
    {
        while (m_newValues == 0) {
            QCoro::Task<bool> waiting = waitForEvent(deadline);
            if (!co_await std::move(waiting)) {
                co_return false;
            }
        }
        --m_newValues;
        co_return true;
    }

private:
    // Suspends the calling task until the next event of this transfer or `deadline`; false on the deadline.
    QCoro::Task<bool> waitForEvent(QDeadlineTimer deadline)
    {
        const qint64 remaining = deadline.remainingTime();
        if (remaining <= 0) {
            co_return false;
        }
        EventAwaiter awaiter{*this, remaining};
        const bool arrived = co_await awaiter;
        co_return arrived;
    }

    struct EventAwaiter
    {
        SelectionRequestor &requestor;
        qint64 milliseconds;

        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> waiting)
        {
            requestor.m_waiting = waiting;
            requestor.m_deadline.start(int(milliseconds));
        }
        bool await_resume() const noexcept { return !requestor.m_timedOut; }
    };

    // Resumes the waiting task, if any. Called from the event loop, never from inside the event filter, so the
    // task may end and destroy this object.
    void wake(bool timedOut)
    {
        if (!m_waiting) {
            return;
        }
        m_deadline.stop();
        m_timedOut = timedOut;
        std::exchange(m_waiting, {}).resume();
    }

    void eventArrived()
    {
        QMetaObject::invokeMethod(
            this, [this] { wake(false); }, Qt::QueuedConnection);
    }

    xcb_connection_t *m_connection;
    xcb_atom_t m_property;
    xcb_window_t m_window;
    std::optional<xcb_selection_notify_event_t> m_notify;
    int m_newValues = 0;
    std::coroutine_handle<> m_waiting;
    QTimer m_deadline;
    bool m_timedOut = false;
};

SelectionRead failure(SelectionRead::Outcome outcome, const char *errorValue)
{
    SelectionRead read;
    read.outcome = outcome;
    read.errorValue = QString::fromLatin1(errorValue);
    return read;
}

} // namespace

X11Accessibility::X11Accessibility(xcb_connection_t *connection, double selectionWaitSeconds)
    : m_connection(connection)
    , m_selectionWaitSeconds(selectionWaitSeconds)
{}

X11Accessibility::~X11Accessibility() = default;

bool X11Accessibility::isProcessTrusted()
{
    return hasXTest();
}

bool X11Accessibility::isProcessTrustedWithPrompt()
{
    // X11 has no consent dialog: the check is the same.
    return hasXTest();
}

QString X11Accessibility::unsupportedReason()
{
    const bool connected = m_connection && !xcb_connection_has_error(m_connection);
    return unsupportedReasonFor(QProcessEnvironment::systemEnvironment(), connected, hasXTest());
}

QString X11Accessibility::unsupportedReasonFor(const QProcessEnvironment &environment, bool hasX11Connection,
                                               bool hasXTest)
{
    if (hasX11Connection && hasXTest) {
        return {};
    }
    if (hasX11Connection) {
        return QStringLiteral("The X server does not offer the XTEST extension, which Lumora Prompt needs to copy "
                              "and paste in other applications.");
    }
    const bool wayland = !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
                         environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QStringLiteral("wayland");
    const bool display = !environment.value(QStringLiteral("DISPLAY")).isEmpty();
    if (wayland && !display) {
        return QStringLiteral("This Wayland session offers no X11 access, and Lumora Prompt does not support "
                              "Wayland-only desktops yet.");
    }
    if (wayland) {
        return QStringLiteral("Lumora Prompt was started as a Wayland client and cannot reach the X11 display; "
                              "this desktop is not supported yet.");
    }
    return QStringLiteral("No X11 display is reachable, so Lumora Prompt cannot read the selection of other "
                          "applications.");
}

bool X11Accessibility::hasXTest() const
{
    if (!m_connection || xcb_connection_has_error(m_connection)) {
        return false;
    }
    const xcb_query_extension_reply_t *xtest = xcb_get_extension_data(m_connection, &xcb_test_id);
    return xtest && xtest->present;
}

QCoro::Task<SelectionRead> X11Accessibility::readSelectedText()
{
    using Outcome = SelectionRead::Outcome;
    if (!m_connection || xcb_connection_has_error(m_connection)) {
        co_return failure(Outcome::NoFocusedElement, "no X11 display");
    }
    xcb_get_selection_owner_reply_t *owner =
        xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, XCB_ATOM_PRIMARY), nullptr);
    const bool owned = owner && owner->owner != XCB_NONE;
    std::free(owner);
    if (!owned) {
        co_return failure(Outcome::NoFocusedElement, "no selection owner");
    }

    const xcb_atom_t incr = internAtom(m_connection, "INCR");
    const xcb_atom_t targets[] = {internAtom(m_connection, "UTF8_STRING"),
                                  internAtom(m_connection, "text/plain;charset=utf-8"), XCB_ATOM_STRING};
    auto requestor = std::make_unique<SelectionRequestor>(m_connection, internAtom(m_connection, "LUMORA_SELECTION"));
    const QDeadlineTimer deadline(qint64(m_selectionWaitSeconds * 1000));

    for (const xcb_atom_t target : targets) {
        if (target == XCB_ATOM_NONE) {
            continue;
        }
        requestor->request(XCB_ATOM_PRIMARY, target);
        QCoro::Task<std::optional<xcb_selection_notify_event_t>> waiting = requestor->answer(deadline);
        const std::optional<xcb_selection_notify_event_t> answer = co_await std::move(waiting);
        if (!answer) {
            qCInfo(lcX11) << "The PRIMARY owner did not answer within" << m_selectionWaitSeconds << "s";
            co_return failure(Outcome::NoSelectedText, "timed out");
        }
        if (answer->property == XCB_NONE) {
            continue; // refused this target; try the next
        }
        std::optional<Property> property = takeProperty(m_connection, requestor->window(), answer->property);
        if (!property) {
            co_return failure(Outcome::NoSelectedText, "no text");
        }
        if (property->type == incr) {
            qCDebug(lcX11) << "The PRIMARY owner answers in increments";
            QByteArray collected;
            while (true) {
                QCoro::Task<bool> increment = requestor->nextIncrement(deadline);
                if (!co_await std::move(increment)) {
                    qCInfo(lcX11) << "An incremental PRIMARY transfer did not finish in time";
                    co_return failure(Outcome::NoSelectedText, "timed out");
                }
                std::optional<Property> chunk = takeProperty(m_connection, requestor->window(), answer->property);
                if (!chunk) {
                    co_return failure(Outcome::NoSelectedText, "no text");
                }
                if (chunk->data.isEmpty()) {
                    break;
                }
                collected += chunk->data;
            }
            property->type = target;
            property->data = collected;
        }
        // Some owners answer with another text type than the one asked for; any of the three is read as such.
        SelectionRead read;
        read.outcome = Outcome::Text;
        if (property->type == XCB_ATOM_STRING) {
            read.text = QString::fromLatin1(property->data);
        } else if (property->type == targets[0] || property->type == targets[1]) {
            read.text = QString::fromUtf8(property->data);
        } else {
            co_return failure(Outcome::NoSelectedText, "no text");
        }
        co_return read;
    }
    co_return failure(Outcome::NoSelectedText, "conversion refused");
}

#include "x11accessibility.moc"
