#include "platform/linux/desktop/quickrenderer.h"

#include <QQuickWindow>

void chooseQuickRenderer()
{
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND")) {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
}
