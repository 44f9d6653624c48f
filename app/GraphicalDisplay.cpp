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

bool PlatformNamed(int argc, char** argv)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
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
    if (!PlatformNamed(argc, argv) && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
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
