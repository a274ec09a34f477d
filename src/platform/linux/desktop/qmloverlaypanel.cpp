#include "platform/linux/desktop/qmloverlaypanel.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QQuickItem>
#include <QQuickView>
#include <QScreen>
#include <QSurfaceFormat>

namespace {

Q_LOGGING_CATEGORY(lcOverlay, "lumora.platform.overlay")

const QUrl panelSource(QStringLiteral("qrc:/lumora/desktop/OverlayPanel.qml"));

// The xcb platform reads this window property for the _NET_WM_WINDOW_TYPE it sets; 0x800 is its notification type.
// Window managers neither focus nor place such windows like application windows.
constexpr const char *xcbWindowTypeProperty = "_q_xcb_wm_window_type";
constexpr int xcbNotificationType = 0x800;
// Tells the xcb platform to map the window with a zero user time, so window managers do not activate it.
constexpr const char *showWithoutActivatingProperty = "_q_showWithoutActivating";

QString statusName(OverlayStatus status)
{
    switch (status) {
    case OverlayStatus::Idle:
        return QStringLiteral("idle");
    case OverlayStatus::Processing:
        return QStringLiteral("processing");
    case OverlayStatus::Success:
        return QStringLiteral("success");
    case OverlayStatus::Error:
        return QStringLiteral("error");
    }
    return QStringLiteral("idle");
}

// The screen showing the native pixel `point`. Qt keeps a screen's native origin and scales only its size.
const QScreen *screenAtNativePoint(QPoint point)
{
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect native(screen->geometry().topLeft(), screen->geometry().size() * screen->devicePixelRatio());
        if (native.contains(point)) {
            return screen;
        }
    }
    return nullptr;
}

} // namespace

QmlOverlayPanel::QmlOverlayPanel(WindowLocator activeWindowCentre)
    : m_activeWindowCentre(std::move(activeWindowCentre))
{}

QmlOverlayPanel::~QmlOverlayPanel()
{
    close();
}

std::optional<QRect> QmlOverlayPanel::activeScreenArea()
{
    const std::optional<QPoint> centre = m_activeWindowCentre ? m_activeWindowCentre() : std::nullopt;
    const QScreen *screen = centre ? screenAtNativePoint(*centre) : nullptr;
    if (screen == nullptr) {
        const QWindow *focused = QGuiApplication::focusWindow();
        screen = focused != nullptr ? focused->screen() : QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return std::nullopt;
    }
    return screen->availableGeometry();
}

QQuickView *QmlOverlayPanel::view()
{
    if (m_view) {
        return m_view.get();
    }
    auto view = std::make_unique<QQuickView>();
    view->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                   Qt::WindowTransparentForInput);
    view->setProperty(xcbWindowTypeProperty, xcbNotificationType);
    view->setProperty(showWithoutActivatingProperty, true);
    QSurfaceFormat format = view->format();
    format.setAlphaBufferSize(8);
    view->setFormat(format);
    view->setColor(Qt::transparent);
    view->setResizeMode(QQuickView::SizeRootObjectToView);
    view->setSource(panelSource);
    if (view->status() != QQuickView::Ready || view->rootObject() == nullptr) {
        for (const QQmlError &error : view->errors()) {
            qCWarning(lcOverlay) << "panel not loaded:" << error.toString();
        }
        return nullptr;
    }
    m_view = std::move(view);
    return m_view.get();
}

void QmlOverlayPanel::open(QRect frame, OverlayStatus status, const QString &message)
{
    close();
    QQuickView *panel = view();
    if (panel == nullptr) {
        return;
    }
    panel->rootObject()->setProperty("status", statusName(status));
    panel->rootObject()->setProperty("message", message);
    panel->rootObject()->setOpacity(0.0);
    panel->setGeometry(frame);
    panel->show();
    QMetaObject::invokeMethod(panel->rootObject(), "appear");
    m_isOpen = true;
}

void QmlOverlayPanel::show(OverlayStatus status, const QString &message)
{
    if (!m_isOpen) {
        return;
    }
    m_view->rootObject()->setProperty("status", statusName(status));
    m_view->rootObject()->setProperty("message", message);
}

void QmlOverlayPanel::close()
{
    if (!m_isOpen) {
        return;
    }
    m_view->hide();
    m_isOpen = false;
}

QQuickView *QmlOverlayPanel::window() const
{
    return m_isOpen ? m_view.get() : nullptr;
}
