#include "app/improveflow.h"

#include "app/accessibilitymanager.h"
#include "app/overlaywindowcontroller.h"
#include "backend/apierror.h"
#include "backend/appstate.h"
#include "backend/promptservice.h"
#include "platform/pasteboard.h"
#include "runtime/error.h"
#include "runtime/logger.h"

ImproveFlow::ImproveFlow(AccessibilityManager &accessibility, PromptService &prompts, AppState &appState,
                         OverlayWindowController &overlay, Pasteboard &pasteboard)
    : m_accessibility(accessibility)
    , m_prompts(prompts)
    , m_appState(appState)
    , m_overlay(overlay)
    , m_pasteboard(pasteboard)
{}

PromptRequest ImproveFlow::requestFor(const QString &text, const QString &selectedSkill,
                                      const QString &selectedTargetModel)
{
    const bool automatic = selectedSkill == AppState::automaticSkill;
    return PromptRequest{
        .text = text,
        .skillSlug = automatic ? std::nullopt : std::optional(selectedSkill),
        .autoDetect = automatic,
        .stream = false,
        .targetModel =
            selectedTargetModel == AppState::generalTargetModel ? std::nullopt : std::optional(selectedTargetModel),
    };
}

QCoro::Task<std::optional<QString>> ImproveFlow::captureSelection()
{
    QCoro::Task<std::optional<QString>> reading = m_accessibility.getSelectedText();
    std::optional<QString> text = co_await std::move(reading);
    if (!text) {
        Log::plain(QStringLiteral("Accessibility failed, trying clipboard method..."));
        QCoro::Task<std::optional<QString>> copying = m_accessibility.getSelectedTextViaClipboard();
        text = co_await std::move(copying);
    }
    co_return text;
}

QCoro::Task<> ImproveFlow::improveSelectedText()
{
    if (!m_accessibility.isProcessTrusted()) {
        m_accessibility.checkAccessibilityPermission();
        co_return;
    }
    QCoro::Task<std::optional<QString>> capturing = captureSelection();
    const std::optional<QString> text = co_await std::move(capturing);
    if (!text || text->isEmpty()) {
        m_overlay.showError(QStringLiteral("No text selected"));
        co_return;
    }
    if (!m_appState.isAuthenticated()) {
        m_overlay.showError(QStringLiteral("Please sign in first"));
        co_return;
    }

    m_appState.setIsProcessing(true);
    m_appState.setLastError(std::nullopt);
    m_overlay.showProcessing(QStringLiteral("Improving prompt..."));
    std::optional<QString> errorMessage;
    try {
        QCoro::Task<PromptResponse> sending = m_prompts.requestImprovement(
            requestFor(*text, m_appState.selectedSkill(), m_appState.selectedTargetModel()));
        const PromptResponse response = co_await std::move(sending);
        QCoro::Task<> delivering = deliver(response);
        co_await std::move(delivering);
    } catch (const APIError &error) {
        m_appState.setLastError(error.description());
        errorMessage = error.description();
    } catch (const std::exception &error) {
        m_appState.setLastError(describe(error));
        errorMessage = QStringLiteral("Failed to improve prompt");
    }
    if (errorMessage) {
        m_overlay.showError(*errorMessage);
    }
    m_appState.setIsProcessing(false);
}

// Pastes the improved text over the selection; when trust was lost meanwhile or the paste could not be posted,
// leaves it on the clipboard for the user instead.
QCoro::Task<> ImproveFlow::deliver(PromptResponse response)
{
    m_appState.updateCredits(response.creditsRemaining);
    const bool trusted = m_accessibility.isProcessTrusted();
    if (trusted) {
        QCoro::Task<bool> pasting = m_accessibility.replaceSelectedText(response.improvedText);
        if (co_await std::move(pasting)) {
            m_overlay.showSuccess(QStringLiteral("Done! Using ") + response.skillName);
            co_return;
        }
    } else {
        Log::plain(QStringLiteral("No accessibility permission"));
    }
    m_pasteboard.clearContents();
    m_pasteboard.setString(response.improvedText, false);
    m_overlay.showSuccess(QStringLiteral("Copied to clipboard"));
}
