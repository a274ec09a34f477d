#pragma once

#include <QQuickItem>
#include <QString>

// The item named `name` in the visual tree under `item` (itself included); null when there is none. Searches the
// visual tree because a view's controls are not all QObject children of its root.
inline QQuickItem *findQuickItem(QQuickItem *item, const QString &name)
{
    if (item->objectName() == name) {
        return item;
    }
    const QList<QQuickItem *> children = item->childItems();
    for (QQuickItem *each : children) {
        if (QQuickItem *found = findQuickItem(each, name)) {
            return found;
        }
    }
    return nullptr;
}
