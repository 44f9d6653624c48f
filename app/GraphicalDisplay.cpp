#include "app/GraphicalDisplay.h"

#include <QByteArray>
#include <QList>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace GraphicalDisplay
{
namespace
{

constexpr const char* kNoDisplay =
    "veskador3: needs a graphical display (an X or Wayland session); none could be opened\n";

[[noreturn]] void ExitWithoutDisplay()
{
    std::fputs(kNoDisplay, stderr);
    std::fflush(stderr);
    std::_Exit(kExitNoDisplay);
}

// A platform or an X display given to Qt on the command line counts as named.
bool DisplayNamed(int argc, char** argv)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    for (int i = 1; i < argc; ++i)
        for (const char* option : {"-platform", "--platform", "-display", "--display"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    return false;
}

// What Qt says while it opens the display: kept back, and passed on once the display is
// open, so that a failure shows only the program's own line.
struct HeldMessage
{
    QtMsgType type;
    QByteArray category;
    QString text;
};

QList<HeldMessage>& Held()
{
    static QList<HeldMessage> held;
    return held;
}

void HoldOrExit(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg)
        ExitWithoutDisplay();
    Held().append({type, QByteArray(context.category ? context.category : "default"), text});
}

} // namespace

std::unique_ptr<QApplication> OpenApplication(int& argc, char** argv)
{
    if (!DisplayNamed(argc, argv))
        ExitWithoutDisplay();
    const QtMessageHandler previous = qInstallMessageHandler(HoldOrExit);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    for (const HeldMessage& message : Held())
    {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
    Held().clear();
    return app;
}

} // namespace GraphicalDisplay
