#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Runs tools/install-desktop-entry with a data directory of the test's own.
class InstallDesktopEntryTest : public ::testing::Test
{
protected:
    QTemporaryDir directory;
    const QString dataHome = directory.filePath(QStringLiteral("data"));
    const QString entry = dataHome + QStringLiteral("/applications/lumora-prompt.desktop");

    struct Run
    {
        int exitCode = -1;
        QByteArray output;
    };

    Run install(const QString &program)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), directory.filePath(QStringLiteral("config")));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(directory.path());
        process.start(QStringLiteral(INSTALL_DESKTOP_ENTRY), {program});
        EXPECT_TRUE(process.waitForFinished(30'000));
        return {process.exitCode(), process.readAllStandardOutput() + process.readAllStandardError()};
    }

    // An executable standing in for the program, in a folder whose name needs quoting.
    QString fakeProgram()
    {
        const QString folder = directory.filePath(QStringLiteral("my $build"));
        EXPECT_TRUE(QDir().mkpath(folder));
        const QString program = folder + QStringLiteral("/lumora-prompt");
        EXPECT_TRUE(QFile::copy(QStringLiteral("/bin/true"), program));
        return program;
    }

    QByteArray entryText()
    {
        QFile file(entry);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(InstallDesktopEntryTest, InstallsTheEntryWithTheProgramsAbsolutePath)
{
    fakeProgram();
    const Run run = install(QStringLiteral("my $build/lumora-prompt"));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.output.isEmpty()) << run.output.toStdString();

    const QByteArray text = entryText();
    const QByteArray exec = "Exec=\"" + QFile::encodeName(directory.path()) + "/my \\\\$build/lumora-prompt\" %u\n";
    EXPECT_TRUE(text.contains(exec)) << text.toStdString();
    EXPECT_TRUE(text.contains("\nName=Lumora Prompt\n"));
    EXPECT_TRUE(text.contains("\nMimeType=x-scheme-handler/wordloom;\n"));
    EXPECT_EQ(text.count("Exec="), 1);
}

TEST_F(InstallDesktopEntryTest, RunningAgainChangesNothing)
{
    const QString program = fakeProgram();
    ASSERT_EQ(install(program).exitCode, 0);
    const QByteArray first = entryText();
    const QDateTime written = QFileInfo(entry).lastModified();

    const Run again = install(program);
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_TRUE(again.output.isEmpty()) << again.output.toStdString();
    EXPECT_EQ(entryText(), first);
    EXPECT_EQ(QFileInfo(entry).lastModified(), written);
    // No temporary file is left beside the entry.
    EXPECT_TRUE(QDir(dataHome + QStringLiteral("/applications"))
                    .entryList({QStringLiteral(".lumora-prompt*")}, QDir::Files | QDir::Hidden)
                    .isEmpty());
}

TEST_F(InstallDesktopEntryTest, MissingProgramIsRefused)
{
    const Run run = install(directory.filePath(QStringLiteral("nothing-here")));
    EXPECT_NE(run.exitCode, 0);
    EXPECT_FALSE(QFile::exists(entry));
}

TEST_F(InstallDesktopEntryTest, BecomesTheDefaultHandlerOfTheScheme)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty()) {
        GTEST_SKIP() << "xdg-mime is not installed";
    }
    ASSERT_EQ(install(fakeProgram()).exitCode, 0);
    QProcess query;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), directory.filePath(QStringLiteral("config")));
    query.setProcessEnvironment(environment);
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/wordloom")});
    ASSERT_TRUE(query.waitForFinished(30'000));
    EXPECT_EQ(query.readAllStandardOutput().trimmed(), QByteArray("lumora-prompt.desktop"));
}

} // namespace
