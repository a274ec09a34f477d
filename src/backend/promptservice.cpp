#include "backend/promptservice.h"

#include "backend/apiclient.h"
#include "backend/appstate.h"

namespace {

const QString skillsPath = QStringLiteral("/api/v1/skills");

QString skillPath(const QString &id)
{
    return skillsPath + QLatin1Char('/') + id;
}

} // namespace

PromptService::PromptService(APIClient &api, AppState &appState)
    : m_api(api)
    , m_appState(appState)
{}

QCoro::Task<PromptResponse> PromptService::generatePrompt(QString text, std::optional<QString> skillSlug,
                                                          std::optional<QString> targetModel)
{
    PromptRequest request{
        .text = std::move(text),
        .skillSlug = skillSlug,
        .autoDetect = !skillSlug.has_value(),
        .stream = false,
        .targetModel = targetModel == AppState::generalTargetModel ? std::nullopt : targetModel,
    };
    QCoro::Task<PromptResponse> sending = requestImprovement(std::move(request));
    const PromptResponse response = co_await std::move(sending);
    m_appState.updateCredits(response.creditsRemaining);
    co_return response;
}

QCoro::Task<PromptResponse> PromptService::requestImprovement(PromptRequest request)
{
    return m_api.request<PromptResponse>(QStringLiteral("/api/v1/prompts/generate"), HTTPMethod::Post,
                                         request.toJson());
}

QCoro::Task<SkillsListResponse> PromptService::fetchSkills()
{
    return m_api.request<SkillsListResponse>(skillsPath, HTTPMethod::Get);
}

QCoro::Task<TargetModelsResponse> PromptService::fetchTargetModels()
{
    return m_api.request<TargetModelsResponse>(QStringLiteral("/api/v1/prompts/target-models"), HTTPMethod::Get);
}

QCoro::Task<Skill> PromptService::getSkill(QString id)
{
    return m_api.request<Skill>(skillPath(id), HTTPMethod::Get);
}

QCoro::Task<Skill> PromptService::createSkill(SkillCreateRequest request)
{
    return m_api.request<Skill>(skillsPath, HTTPMethod::Post, request.toJson());
}

QCoro::Task<Skill> PromptService::updateSkill(QString id, SkillUpdateRequest request)
{
    return m_api.request<Skill>(skillPath(id), HTTPMethod::Put, request.toJson());
}

QCoro::Task<> PromptService::deleteSkill(QString id)
{
    return m_api.requestVoid(skillPath(id), HTTPMethod::Delete);
}

QCoro::Task<ProfileResponse> PromptService::updateProfile(std::optional<QString> fullName,
                                                          std::optional<QString> userInstructions)
{
    const ProfileUpdateRequest request{.fullName = std::move(fullName),
                                       .userInstructions = std::move(userInstructions)};
    return m_api.request<ProfileResponse>(QStringLiteral("/api/v1/profile"), HTTPMethod::Patch, request.toJson());
}

QCoro::Task<TranscriptionResponse> PromptService::transcribeAudio(QString filePath)
{
    QCoro::Task<TranscriptionResponse> uploading =
        m_api.uploadAudio(QStringLiteral("/api/v1/audio/transcribe"), std::move(filePath));
    const TranscriptionResponse response = co_await std::move(uploading);
    m_appState.updateCredits(response.creditsRemaining);
    co_return response;
}

QCoro::Task<User> PromptService::fetchProfile()
{
    return m_api.request<User>(QStringLiteral("/api/v1/profile"), HTTPMethod::Get);
}

QCoro::Task<CreditsResponse> PromptService::fetchCredits()
{
    return m_api.request<CreditsResponse>(QStringLiteral("/api/v1/usage/credits"), HTTPMethod::Get);
}
