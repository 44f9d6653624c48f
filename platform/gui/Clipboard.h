#pragma once
#include <QString>

#include <optional>

namespace Platform
{

// The system clipboard as the program's controls use it. Tests install their own service,
// so that no test depends on what another program put on the clipboard.
class ClipboardService
{
public:
    virtual ~ClipboardService() = default;
    // Replaces what the clipboard holds by the text; false when the clipboard cannot be had.
    virtual bool SetText(const QString& text) = 0;
    // The clipboard's Unicode text, or nothing when it offers none.
    virtual std::optional<QString> GetText() = 0;
};

// Installs a service (null: the built-in one over the window system's clipboard); returns
// the previous one. UI thread only, like the clipboard itself.
ClipboardService* SetClipboardService(ClipboardService* service);
ClipboardService& Clipboard();

} // namespace Platform
