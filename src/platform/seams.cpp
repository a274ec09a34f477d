// Out-of-line destructors of the seams that have no other source file.
#include "platform/accessibility.h"
#include "platform/alerts.h"
#include "platform/globalshortcuts.h"
#include "platform/keyboardevents.h"
#include "platform/overlaypanel.h"
#include "platform/pasteboard.h"
#include "platform/workspace.h"

Accessibility::~Accessibility() = default;
Alerts::~Alerts() = default;
GlobalShortcuts::~GlobalShortcuts() = default;
KeyboardEvents::~KeyboardEvents() = default;
OverlayPanel::~OverlayPanel() = default;
Pasteboard::~Pasteboard() = default;
Workspace::~Workspace() = default;
