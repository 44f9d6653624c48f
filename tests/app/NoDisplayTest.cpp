// The program started where it cannot open a window: it says so in one line and ends with
// an error code of its own, rather than aborting (and dumping core) inside Qt. Named on
// the command line alone (-platform, -display), a display is one: the program starts.
#include "app/GraphicalDisplay.h"
#include "app/Veskador3SE.h"
#include "devicefiles/core/UpdateFtpClient.h"
#include "document/SettingsFolders.h"
#include "platform/core/SettingsStore.h"
#include "resources/BuiltInStrings.h"
#include "tests/support/TempDir.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace
{
constexpr int kDeadlineMs = 60000;

// An X server of the test's own on a display number nobody uses (Xvfb picks it and
// says which once it takes connections); ended by its process id.
class OwnXServer
{
public:
    OwnXServer()
    {
        m_server.setProgram(QStringLiteral("Xvfb"));
        m_server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                               QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                               QStringLiteral("1024x768x24")});
        m_server.setStandardErrorFile(QProcess::nullDevice());
        m_server.start();
        QByteArray said;
        while (!said.contains('\n') && m_server.waitForReadyRead(kDeadlineMs))
            said += m_server.readAllStandardOutput();
        bool ok = false;
        const int number = said.trimmed().toInt(&ok);
        if (ok)
            m_display = QStringLiteral(":%1").arg(number);
    }
    ~OwnXServer()
    {
        if (m_server.state() != QProcess::NotRunning)
        {
            m_server.kill();
            m_server.waitForFinished(kDeadlineMs);
        }
    }
    OwnXServer(const OwnXServer&) = delete;
    OwnXServer& operator=(const OwnXServer&) = delete;

    // Empty when the server did not come up.
    const QString& Display() const { return m_display; }

private:
    QProcess m_server;
    QString m_display;
};
} // namespace

TEST(NoDisplay, TheProgramSaysItNeedsADisplayInOneLineAndEndsOrStartsOnTheOneNamed)
{
    RegisterBuiltInStrings(); // the settings' key
    OwnXServer xServer;
    ASSERT_FALSE(xServer.Display().isEmpty()) << "Xvfb did not start";
    struct Case
    {
        const char* what;
        const char* display; // DISPLAY, or null for none
        QStringList arguments;
        bool starts;
    };
    const Case cases[] = {
        {"no display named", nullptr, {}, false},
        {"a display that is not there", ":59999", {}, false},
        {"-display of a display that is not there",
         nullptr,
         {QStringLiteral("-display"), QStringLiteral(":59999")},
         false},
        {"-platform offscreen", nullptr, {QStringLiteral("-platform"), QStringLiteral("offscreen")}, true},
        {"-display of a running X server", nullptr, {QStringLiteral("-display"), xServer.Display()}, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        TempDir home;
        const QString configDir = home.File(QStringLiteral("config"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        if (c.display)
            env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(c.display));
        env.insert(QStringLiteral("VESKADOR_CONFIG_DIR"), configDir);
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.File(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.File(QStringLiteral("xdg-config")));
        // The start-up's update check asks a port of this machine where nothing answers.
        {
            Platform::SettingsStore settings(configDir + QStringLiteral("/registry.json"));
            const QString update = QString::fromLatin1(kUpdateServerSettingsKey);
            ASSERT_TRUE(settings.CreateKey(update));
            ASSERT_TRUE(settings.Write(update, QStringLiteral("FtpServer"), QStringLiteral("127.0.0.1")));
            ASSERT_TRUE(settings.Write(update, QStringLiteral("FtpPort"), uint32_t{1}));
        }
        QProcess program;
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(home.Path());
        program.start(QStringLiteral(VESKADOR_PROGRAM), c.arguments);
        ASSERT_TRUE(program.waitForStarted(kDeadlineMs));

        if (c.starts)
        {
            // Started: the main window, while it is made, writes the default folders into
            // the settings (and then tells that Standard.cnv is missing, and waits).
            const auto projectsFolder = [&]
            {
                return Platform::SettingsStore(configDir + QStringLiteral("/registry.json"))
                    .ReadString(AppSettingsKey(), Settings::kProjectsPath)
                    .value_or(QString());
            };
            QElapsedTimer waited;
            waited.start();
            while (projectsFolder().isEmpty() && waited.elapsed() < kDeadlineMs &&
                   !program.waitForFinished(50))
            {
            }
            EXPECT_EQ(program.state(), QProcess::Running) << "ended with " << program.exitCode() << ": "
                                                          << program.readAllStandardError().toStdString();
            EXPECT_FALSE(projectsFolder().isEmpty());
            if (program.state() != QProcess::NotRunning)
            {
                program.kill();
                ASSERT_TRUE(program.waitForFinished(kDeadlineMs));
            }
            EXPECT_FALSE(program.readAllStandardError().contains("needs a graphical display"));
            continue;
        }
        ASSERT_TRUE(program.waitForFinished(kDeadlineMs));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), GraphicalDisplay::kExitNoDisplay);
        const QString said = QString::fromLocal8Bit(program.readAllStandardError());
        EXPECT_EQ(said.count(u'\n'), 1) << said.toStdString();
        EXPECT_TRUE(said.startsWith(QStringLiteral("veskador3: needs a graphical display")))
            << said.toStdString();
        EXPECT_TRUE(program.readAllStandardOutput().isEmpty());
    }
}
