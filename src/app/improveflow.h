#pragma once

#include "backend/wire/promptrecords.h"

#include <QCoroTask>

class AccessibilityManager;
class AppState;
class OverlayWindowController;
class Pasteboard;
class PromptService;

// The program's central job: read the selection of the focused application, send it to the backend with the
// chosen skill and target model, and paste the improved prompt over it, reporting progress and outcome in the
// overlay and in AppState.
class ImproveFlow
{
public:
    ImproveFlow(AccessibilityManager &accessibility, PromptService &prompts, AppState &appState,
                OverlayWindowController &overlay, Pasteboard &pasteboard);
    ImproveFlow(const ImproveFlow &) = delete;
    ImproveFlow &operator=(const ImproveFlow &) = delete;

    // Never fails: every outcome is reported through the overlay, AppState and the log.
    QCoro::Task<> improveSelectedText();

    // The generation request for `text` under the current choices: "auto" means automatic detection and
    // "general" no particular model (exact, case-sensitive matches).
    static PromptRequest requestFor(const QString &text, const QString &selectedSkill,
                                    const QString &selectedTargetModel);

private:
    QCoro::Task<std::optional<QString>> captureSelection();
    QCoro::Task<> deliver(PromptResponse response);

    AccessibilityManager &m_accessibility;
    PromptService &m_prompts;
    AppState &m_appState;
    OverlayWindowController &m_overlay;
    Pasteboard &m_pasteboard;
};
