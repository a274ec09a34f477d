#pragma once

#include <QCoroTask>
#include <QString>

// Starts `task` as a detached task on the calling (main) thread. Nobody awaits it, so a failure it ends with would
// otherwise be lost: it is logged as "[component] <what> failed: <description>".
void startDetached(QCoro::Task<> task, QString component, QString what);

// Starts `task` as a detached task whose failure is deliberately ignored (best-effort work such as a sign-out that
// follows a failed refresh).
void startDetachedIgnoringFailure(QCoro::Task<> task);
