#include "platform/linux/desktop/qmlalerts.h"

#include "platform/linux/desktop/alertwindow.h"

#include <QCoroSignal>

#include <memory>

QmlAlerts::QmlAlerts() = default;

QmlAlerts::~QmlAlerts() = default;

QCoro::Task<int> QmlAlerts::runModal(AlertSpec alert)
{
    // The coroutine keeps the window: it needs nothing of this object once started.
    auto window = std::make_unique<AlertWindow>(alert);
    if (!window->isLoaded()) {
        co_return -1;
    }
    window->present();
    QCoro::Task<int> chosen = qCoro(window.get(), &AlertWindow::finished);
    const int index = co_await std::move(chosen);
    window->hide();
    // This resumes inside the window's own button or key handling: it goes once that is done.
    window.release()->deleteLater();
    co_return index;
}
