// The workspace with recorded URL opening and program starts.
#include "platform/linux/desktop/desktopworkspace.h"
#include "qtprinters.h"

#include <gtest/gtest.h>

namespace {

struct Launch
{
    QString program;
    QStringList arguments;

    bool operator==(const Launch &) const = default;
};

void PrintTo(const Launch &launch, std::ostream *out)
{
    *out << launch.program.toStdString() << ' ' << launch.arguments.join(u' ').toStdString();
}

class DesktopWorkspaceTest : public ::testing::Test
{
protected:
    DesktopWorkspace workspace()
    {
        return DesktopWorkspace(
            [this](const QUrl &url) {
                m_opened.append(url);
                return m_succeeds;
            },
            [this](const QString &program, const QStringList &arguments) {
                m_launches.append({program, arguments});
                return m_succeeds;
            },
            [this](const QString &name) {
                return m_installed.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
            });
    }

    QStringList m_installed;
    bool m_succeeds = true;
    QList<QUrl> m_opened;
    QList<Launch> m_launches;
};

TEST_F(DesktopWorkspaceTest, OpenUrlHandsTheUrlOverAndReportsTheOutcome)
{
    const QUrl url(QStringLiteral("https://example.com/pricing"));
    for (const bool succeeds : {true, false}) {
        m_succeeds = succeeds;
        EXPECT_EQ(workspace().openUrl(url), succeeds);
    }
    EXPECT_EQ(m_opened, QList<QUrl>({url, url}));
}

TEST_F(DesktopWorkspaceTest, SettingsPanesOpenTheMatchingGnomeSettingsPanel)
{
    m_installed = {QStringLiteral("gnome-control-center")};
    struct Row
    {
        Workspace::SettingsPane pane;
        const char *panel;
    };
    for (const Row &row : {Row{Workspace::SettingsPane::Accessibility, "privacy"},
                           Row{Workspace::SettingsPane::InputMonitoring, "privacy"},
                           Row{Workspace::SettingsPane::Microphone, "sound"}}) {
        SCOPED_TRACE(row.panel);
        m_launches.clear();
        EXPECT_TRUE(workspace().openSystemSettings(row.pane));
        EXPECT_EQ(m_launches,
                  QList<Launch>({{QStringLiteral("/usr/bin/gnome-control-center"), {QString::fromLatin1(row.panel)}}}));
    }
}

TEST_F(DesktopWorkspaceTest, WithoutASettingsProgramNothingStartsAndTheAnswerIsFalse)
{
    m_installed = {QStringLiteral("systemsettings")};
    EXPECT_FALSE(workspace().openSystemSettings(Workspace::SettingsPane::Accessibility));
    EXPECT_TRUE(m_launches.isEmpty());
}

TEST_F(DesktopWorkspaceTest, ASettingsProgramThatDoesNotStartIsFalse)
{
    m_installed = {QStringLiteral("gnome-control-center")};
    m_succeeds = false;
    EXPECT_FALSE(workspace().openSystemSettings(Workspace::SettingsPane::Microphone));
    EXPECT_EQ(m_launches.size(), 1);
}

} // namespace
