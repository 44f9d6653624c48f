#pragma once
#include <cstdint>
#include <functional>

class QWidget;

namespace Platform
{
class WizardSheet;
}

// The help behind F1 and the Help buttons of this library's wizards. The help itself
// (where the manual lies, how it opens) belongs to the shell, which installs the handler;
// without one a request does nothing.
namespace WizardHelp
{
// owner: the wizard that asked, to own any message; contextId: the page's help topic.
using Handler = std::function<void(QWidget* owner, uint32_t contextId)>;

// Installs the handler and returns the one it replaces.
Handler SetHandler(Handler handler);
// Sends the sheet's help requests to the installed handler.
void Connect(Platform::WizardSheet& sheet);
} // namespace WizardHelp
