// The program started where it cannot open a window: it says so in one line and ends with
// an error code of its own, rather than aborting (and dumping core) inside Qt.
#include "app/GraphicalDisplay.h"
#include "tests/support/TempDir.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

TEST(NoDisplay, TheProgramSaysItNeedsADisplayInOneLineAndEnds)
{
    struct Case
    {
        const char* what;
        const char* display; // DISPLAY, or null for none
    };
    const Case cases[] = {
        {"no display named", nullptr},
        {"a display that is not there", ":59999"},
    };
    for (const Case& c : cases)
    {
        TempDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        if (c.display)
            env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(c.display));
        env.insert(QStringLiteral("VESKADOR_CONFIG_DIR"), home.File(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.File(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.File(QStringLiteral("xdg-config")));
        QProcess program;
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(home.Path());
        program.start(QStringLiteral(VESKADOR_PROGRAM), {});
        ASSERT_TRUE(program.waitForFinished(60000)) << c.what;

        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << c.what;
        EXPECT_EQ(program.exitCode(), GraphicalDisplay::kExitNoDisplay) << c.what;
        const QString said = QString::fromLocal8Bit(program.readAllStandardError());
        EXPECT_EQ(said.count(u'\n'), 1) << c.what << ": " << said.toStdString();
        EXPECT_TRUE(said.startsWith(QStringLiteral("veskador3: needs a graphical display")))
            << c.what << ": " << said.toStdString();
        EXPECT_TRUE(program.readAllStandardOutput().isEmpty()) << c.what;
    }
}
