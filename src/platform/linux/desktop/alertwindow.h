#pragma once

#include <QQuickView>

// moc cannot parse the C++20 concepts that the coroutine headers pull in; it needs none of these declarations.
#ifndef Q_MOC_RUN
#include "platform/alerts.h"
#endif

// One alert as a small QML dialog window: message, informative text and the buttons, the first one the default.
// It reports the button that ended it once, or -1 for Escape or closing the window.
class AlertWindow : public QQuickView
{
    Q_OBJECT

public:
    explicit AlertWindow(const AlertSpec &alert);
    ~AlertWindow() override;

    // False when the view could not be loaded; then it shows nothing.
    bool isLoaded() const;
    // Shows it centred on the primary screen, raised and activated.
    void present();

protected:
    bool event(QEvent *event) override;

Q_SIGNALS:
    void finished(int index);

private Q_SLOTS:
    void choose(int index);

private:
    bool m_finished = false;
};
