#pragma once

#include <QCoroTask>
#include <QStringList>

struct AlertSpec
{
    QString messageText;
    QString informativeText;
    QStringList buttons; // in order; the first is the default
};

// Modal alerts of the program (informational style).
class Alerts
{
public:
    Alerts() = default;
    virtual ~Alerts();
    Alerts(const Alerts &) = delete;
    Alerts &operator=(const Alerts &) = delete;

    // Shows the alert and completes with the index of the button that ended it; -1 when it was closed otherwise.
    // The main loop keeps running while it is open.
    virtual QCoro::Task<int> runModal(AlertSpec alert) = 0;
};
