#include "platform/linux/desktop/alertwindow.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QQuickItem>
#include <QScreen>

namespace {

Q_LOGGING_CATEGORY(lcAlerts, "lumora.platform.alerts")

const QUrl alertSource(QStringLiteral("qrc:/lumora/desktop/AlertDialog.qml"));

} // namespace

AlertWindow::AlertWindow(const AlertSpec &alert)
{
    setObjectName(QStringLiteral("lumoraAlert"));
    setFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModality(Qt::ApplicationModal);
    setTitle(QGuiApplication::applicationDisplayName());
    setResizeMode(QQuickView::SizeViewToRootObject);
    setInitialProperties({{QStringLiteral("messageText"), alert.messageText},
                          {QStringLiteral("informativeText"), alert.informativeText},
                          {QStringLiteral("buttons"), alert.buttons}});
    setSource(alertSource);
    if (!isLoaded()) {
        for (const QQmlError &error : errors()) {
            qCWarning(lcAlerts) << "alert not loaded:" << error.toString();
        }
        return;
    }
    connect(rootObject(), SIGNAL(chosen(int)), this, SLOT(choose(int)));
}

AlertWindow::~AlertWindow() = default;

bool AlertWindow::isLoaded() const
{
    return status() == QQuickView::Ready && rootObject() != nullptr;
}

void AlertWindow::present()
{
    if (!isLoaded()) {
        return;
    }
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        setPosition(frame.topLeft());
    }
    show();
    raise();
    requestActivate();
}

bool AlertWindow::event(QEvent *event)
{
    // Closed by the window manager or by close().
    if (event->type() == QEvent::Close) {
        choose(-1);
    }
    return QQuickView::event(event);
}

void AlertWindow::choose(int index)
{
    if (m_finished) {
        return;
    }
    m_finished = true;
    Q_EMIT finished(index);
}
