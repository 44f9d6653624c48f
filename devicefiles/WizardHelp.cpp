#include "devicefiles/WizardHelp.h"

#include "platform/gui/WizardSheet.h"

#include <QObject>

namespace WizardHelp
{
namespace
{
// UI thread only, as the wizards are.
Handler& Installed()
{
    static Handler handler;
    return handler;
}
} // namespace

Handler SetHandler(Handler handler)
{
    Handler previous = std::move(Installed());
    Installed() = std::move(handler);
    return previous;
}

void Connect(Platform::WizardSheet& sheet)
{
    QObject::connect(&sheet, &Platform::WizardSheet::HelpRequested, &sheet,
                     [&sheet](quint32 contextId)
                     {
                         // A copy: the handler may replace itself while it runs.
                         if (const Handler handler = Installed())
                             handler(&sheet, contextId);
                     });
}
} // namespace WizardHelp
