#pragma once

#include "backend/wire/profilerecords.h"
#include "backend/wire/promptrecords.h"
#include "backend/wire/skillrecords.h"
#include "backend/wire/usagerecords.h"

#include <QCoroTask>

class APIClient;
class AppState;

// The backend's prompt, skill, target-model, profile, credit and transcription operations. Each is one request
// through the client; failures pass through unchanged.
class PromptService
{
public:
    PromptService(APIClient &api, AppState &appState);
    PromptService(const PromptService &) = delete;
    PromptService &operator=(const PromptService &) = delete;

    // Improves `text` with the given skill (automatic detection when absent) for the given target model ("general"
    // or absent means none), and records the new credit balance.
    QCoro::Task<PromptResponse> generatePrompt(QString text, std::optional<QString> skillSlug,
                                               std::optional<QString> targetModel);
    // Sends one generation request as it is; the caller records the balance.
    QCoro::Task<PromptResponse> requestImprovement(PromptRequest request);

    QCoro::Task<SkillsListResponse> fetchSkills();
    QCoro::Task<TargetModelsResponse> fetchTargetModels();
    QCoro::Task<Skill> getSkill(QString id);
    QCoro::Task<Skill> createSkill(SkillCreateRequest request);
    QCoro::Task<Skill> updateSkill(QString id, SkillUpdateRequest request);
    QCoro::Task<> deleteSkill(QString id);
    QCoro::Task<ProfileResponse> updateProfile(std::optional<QString> fullName,
                                               std::optional<QString> userInstructions);
    // Uploads a recording for transcription and records the new credit balance.
    QCoro::Task<TranscriptionResponse> transcribeAudio(QString filePath);
    QCoro::Task<User> fetchProfile();
    QCoro::Task<CreditsResponse> fetchCredits();

private:
    APIClient &m_api;
    AppState &m_appState;
};
