#pragma once

#include "platform/alerts.h"

// Alerts as small QML dialog windows (AlertWindow). Needs a QGuiApplication.
class QmlAlerts : public Alerts
{
public:
    QmlAlerts();
    ~QmlAlerts() override;

    // -1 as well when the dialog cannot be shown.
    QCoro::Task<int> runModal(AlertSpec alert) override;
};
